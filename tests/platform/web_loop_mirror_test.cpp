// What the browser's sound device copies of the loop, and when.
#include "platform/web/loop_mirror.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarvel::platform::web {
namespace {

struct Step {
  const char* name;
  std::uint64_t played;
  std::vector<LoopPart> expected;  // {offset, count, playsAt}
};

// A 100-frame loop rewritten in blocks of at most 10 frames: at each query
// the frames up to a block behind the previous query's position are copied,
// to play again a lap later.
TEST(LoopMirror, CopiesWhatTheFillerRewroteByTheLastQuery) {
  const std::vector<Step> steps = {
      {"first query: nothing rewritten yet", 5, {}},
      {"less than a block behind the last position", 20, {}},
      {"a block behind the last position", 30, {{0, 10, 100}}},
      {"the same position again", 30, {{10, 10, 110}}},
      {"nothing new behind it", 57, {}},
      {"odd count", 95, {{20, 27, 120}}},
      {"up to the loop's end", 130, {{47, 38, 147}}},
      {"wraps past the end: two parts", 160, {{85, 15, 185}, {0, 20, 200}}},
      {"a stall of three laps", 500, {{20, 30, 220}}},
      {"then only the last lap is copied", 505, {{90, 10, 490}, {0, 90, 500}}},
      {"less than a block since", 520, {}},
      {"and on from there", 530, {{90, 10, 590}, {0, 10, 600}}},
  };
  LoopMirror mirror(100, 10);
  for (const Step& step : steps) {
    const LoopParts parts = mirror.advance(step.played);
    const std::vector<LoopPart> got(parts.part.begin(), parts.part.begin() + parts.count);
    EXPECT_TRUE(got == step.expected) << step.name;
  }
}

// With the music's loop and queries 97 to 396 frames apart: every frame of
// every lap reaches the copy once, in order, only once the filler has
// rewritten it, and the copy stays nearly a lap ahead of the position.
TEST(LoopMirror, KeepsTheCopyNearlyALapAheadWithRewrittenMusic) {
  constexpr std::uint64_t kLoop = 884 * 100;
  LoopMirror mirror(kLoop, 1024);
  std::uint64_t next = kLoop;  // the copy starts out with the first lap
  std::uint64_t previous = 0;
  for (std::uint64_t played = 0; played < 10 * kLoop; played += 97 + played % 300) {
    const LoopParts parts = mirror.advance(played);
    for (int i = 0; i < parts.count; ++i) {
      const LoopPart& part = parts.part[static_cast<std::size_t>(i)];
      ASSERT_EQ(part.playsAt, next) << "at " << played;
      ASSERT_EQ(part.offset, part.playsAt % kLoop) << "at " << played;
      ASSERT_LE(part.playsAt + part.count, previous / 884 * 884 + kLoop) << "at " << played;
      next += part.count;
    }
    if (played > 3000) {
      ASSERT_GE(next + 2 * 1024 + 396, played + kLoop) << "at " << played;
    }
    previous = played;
  }
}

}  // namespace
}  // namespace quarvel::platform::web
