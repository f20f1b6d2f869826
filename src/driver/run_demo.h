// The demo from start-up to shutdown over one platform backend.
#pragma once

#include "driver/demo_options.h"
#include "driver/timeline.h"
#include "platform/platform.h"

namespace quarvel::driver {

// Told about every drawn frame, after it was presented (tools use it for
// statistics; the demo itself passes none).
class FrameObserver {
 public:
  virtual ~FrameObserver() = default;
  virtual void frameDrawn(Scene scene) = 0;
};

// Builds every object in order, runs the message-driven frame loop until the
// quit message arrives (end of the timeline, Escape, or the window closed),
// tears everything down in reverse order and returns 0. The display and the
// data files' folders come from `options`; by default the display is full
// screen at scale 1 and data files are opened by bare name from the current
// directory. A display that cannot be set up ends the process with exit code
// -1 instead.
int runDemo(const platform::Platform& platform, FrameObserver* observer = nullptr,
            const DemoOptions& options = {});

}  // namespace quarvel::driver
