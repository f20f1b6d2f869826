// Frame timing: the wrapping clock and the frames-per-second windows.
#include <cmath>

#include <gtest/gtest.h>

#include "driver/frame_timer.h"
#include "driver/timeline.h"

namespace quarvel::driver {
namespace {

struct ManualClock final : platform::Clock {
  std::uint32_t now = 0;
  std::uint32_t milliseconds() override { return now; }
};

TEST(FrameTimer, MeasuresAcrossAClockWrap) {
  ManualClock clock;
  FrameTimer timer(clock);
  EXPECT_EQ(timer.seconds(), 0.0);  // before the first stop
  clock.now = 4294967291u;
  timer.start();
  clock.now = 5;
  timer.stop();
  EXPECT_EQ(timer.seconds(), 10 * 0.001);
}

TEST(FrameTimer, SameMillisecondMeasuresZeroAndSecondsDoesNotReadTheClock) {
  ManualClock clock;
  FrameTimer timer(clock);
  clock.now = 100;
  timer.start();
  timer.stop();
  EXPECT_EQ(timer.seconds(), 0.0);
  clock.now = 117;
  timer.stop();
  timer.start();  // a new frame has started: seconds() still reports the last one
  clock.now = 500;
  EXPECT_EQ(timer.seconds(), 17 * 0.001);
}

TEST(FpsCounter, ReportsOnTheCallAfterASecondAndStartsAnEmptyWindow) {
  ManualClock clock;
  FrameTimer timer(clock);
  FpsCounter counter(&timer);
  std::vector<double> results;
  for (int i = 0; i < 11; ++i) {
    timer.start();
    clock.now += 250;
    timer.stop();
    results.push_back(counter.tick());
  }
  // The sum reaches exactly 1.0 s on the 4th call; the 5th reports and drops its own frame.
  EXPECT_EQ(results, (std::vector<double>{0, 0, 0, 0, 4.0, 0, 0, 0, 0, 4.0, 0}));
}

TEST(FpsCounter, ZeroLengthFramesCountWithoutTime) {
  ManualClock clock;
  FrameTimer timer(clock);
  FpsCounter counter(&timer);
  timer.start();
  timer.stop();
  EXPECT_EQ(counter.tick(), 0.0);
  EXPECT_EQ(counter.frames, 1u);
  EXPECT_EQ(counter.accumulated, 0.0);
}

TEST(Timeline, SceneBoundariesIncludeTheirStart) {
  EXPECT_EQ(selectScene(0.0f), Scene::Star);
  EXPECT_EQ(selectScene(std::nextafter(15.0f, 0.0f)), Scene::Star);
  EXPECT_EQ(selectScene(15.0f), Scene::Rays);
  EXPECT_EQ(selectScene(std::nextafter(40.0f, 0.0f)), Scene::Rays);
  EXPECT_EQ(selectScene(40.0f), Scene::Blobs);
  EXPECT_EQ(selectScene(55.0f), Scene::Greetings);
  EXPECT_EQ(selectScene(std::nextafter(80.0f, 0.0f)), Scene::Greetings);
  EXPECT_EQ(selectScene(80.0f), Scene::End);
  EXPECT_EQ(selectScene(1e9f), Scene::End);
}

}  // namespace
}  // namespace quarvel::driver
