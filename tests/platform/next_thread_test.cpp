// The choice of the next thread that the headless and the browser schedulers share.
#include "platform/next_thread.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quarvel::platform {
namespace {

TEST(NextThread, EarliestWaitingDeadlineTiesToTheFirstStarted) {
  struct Case {
    const char* name;
    std::vector<bool> waiting;
    std::vector<double> deadline;
    int expected;
  };
  const std::vector<Case> cases = {
      {"no threads", {}, {}, -1},
      {"none waits", {false, false}, {1, 2}, -1},
      {"the only one", {true}, {7.5}, 0},
      {"earliest wins over order", {true, true, true}, {30, 10, 20}, 1},
      {"a tie goes to the first", {true, true, true}, {20, 10, 10}, 1},
      {"a tie at the start", {true, true}, {5, 5}, 0},
      {"a running thread's deadline does not count", {false, true, true}, {1, 9, 8}, 2},
      {"the last one", {true, true, true, true}, {4, 4, 4, 3.999}, 3},
      {"past deadlines are earliest too", {true, true}, {-2, 0}, 0},
  };
  for (const Case& c : cases) {
    const int got = nextThread(
        c.waiting.size(), [&](std::size_t i) { return static_cast<bool>(c.waiting[i]); },
        [&](std::size_t i) { return c.deadline[i]; });
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(NextThread, ComparesWholeTickDeadlinesExactly) {
  // Virtual time in ticks beyond what a double holds exactly.
  const std::vector<std::uint64_t> deadline = {(1ull << 60) + 1, 1ull << 60, (1ull << 60) + 1};
  const int got = nextThread(
      deadline.size(), [](std::size_t) { return true; },
      [&](std::size_t i) { return deadline[i]; });
  EXPECT_EQ(got, 1);
}

}  // namespace
}  // namespace quarvel::platform
