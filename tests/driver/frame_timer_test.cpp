// Frame timing: the wrapping millisecond clock and the frames-per-second windows.
#include <vector>

#include <gtest/gtest.h>

#include "driver/frame_timer.h"

namespace quarvel::driver {
namespace {

struct ManualClock final : platform::Clock {
  std::uint32_t now = 0;
  std::uint32_t milliseconds() override { return now; }
};

TEST(FrameTimer, MeasuresInUnsignedMillisecondsAcrossTheWrap) {
  struct Case {
    std::uint32_t start, stop;
    double seconds;
  };
  const Case cases[] = {{4294967291u, 5, 0.010},        // wrapped once
                        {100, 100, 0.0},                // same millisecond
                        {0, 4294967295u, 4294967.295},  // unsigned, not -1
                        {1000, 1017, 0.017}};
  for (const Case& c : cases) {
    ManualClock clock;
    FrameTimer timer(clock);
    EXPECT_EQ(timer.seconds(), 0.0);  // before the first stop
    clock.now = c.start;
    timer.start();
    clock.now = c.stop;
    timer.stop();
    clock.now += 500;
    timer.start();  // a new frame: seconds() still reports the last one, without the clock
    EXPECT_EQ(timer.seconds(), c.seconds) << c.start << " to " << c.stop;
  }
}

TEST(FpsCounter, ReportsOnTheCallAfterASecondWithoutItsOwnFrame) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> frameMs;
    std::vector<double> reports;
  };
  const Case cases[] = {
      // The sum reaches exactly 1.0 s on the 4th call; the 5th reports 4 / 1.0
      // and drops its own frame, so the next window starts empty.
      {"steady",
       {250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 250},
       {0, 0, 0, 0, 4.0, 0, 0, 0, 0, 4.0, 0}},
      {"uneven", {400, 400, 300, 999, 0}, {0, 0, 0, 3 / 1.1, 0}},
      {"zero-length frames count without time", {0, 0, 1000, 5}, {0, 0, 0, 3.0}},
  };
  for (const Case& c : cases) {
    ManualClock clock;
    FrameTimer timer(clock);
    FpsCounter counter(&timer);
    std::vector<double> got;
    for (std::uint32_t ms : c.frameMs) {
      timer.start();
      clock.now += ms;
      timer.stop();
      got.push_back(counter.tick());
    }
    EXPECT_EQ(got, c.reports) << c.name;
  }
}

}  // namespace
}  // namespace quarvel::driver
