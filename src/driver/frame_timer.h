// Frame timing: a stopwatch over the millisecond clock and a frames-per-second counter.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace quarvel::driver {

// Measures one drawn frame. The clock wraps at 2^32 ms; a single wrap between
// start() and stop() still gives the true duration.
class FrameTimer {
 public:
  explicit FrameTimer(platform::Clock& clock) : clock_(&clock) {}
  virtual ~FrameTimer() = default;

  void start() { startMs = clock_->milliseconds(); }
  void stop() {
    const std::uint32_t d = clock_->milliseconds() - startMs;  // unsigned: wraps correctly
    elapsed = static_cast<double>(d) * 0.001;
  }
  // Seconds measured by the last stop(); between start() and stop() this is
  // still the previous frame's duration. Does not read the clock.
  double seconds() const { return elapsed; }

  std::uint32_t startMs = 0;
  double elapsed = 0.0;

 private:
  platform::Clock* clock_;
};

// Sums frame durations; once at least a second is summed, the next tick()
// reports the mean rate over that window and starts an empty one. The
// reporting call's own frame is not counted.
class FpsCounter {
 public:
  explicit FpsCounter(const FrameTimer* timer) : timer_(timer) {}
  virtual ~FpsCounter() = default;

  // 0.0 on most calls; frames per second on the call that closes a window.
  double tick() {
    if (accumulated < 1.0) {
      accumulated = timer_->seconds() + accumulated;
      frames = frames + 1;
      return 0.0;
    }
    const double result = static_cast<double>(frames) / accumulated;
    frames = 0;
    accumulated = 0.0;
    return result;
  }

  std::uint32_t frames = 0;
  double accumulated = 0.0;

 private:
  const FrameTimer* timer_;
};

}  // namespace quarvel::driver
