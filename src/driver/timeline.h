// The timeline: which scene the scene clock selects, and drawing it.
#pragma once

#include "display/bitmap.h"
#include "display/display.h"
#include "driver/demo_state.h"
#include "driver/frame_timer.h"
#include "platform/window_system.h"

namespace quarvel::driver {

enum class Scene { Star, Rays, Blobs, Greetings, End };

// Boundaries at 15, 40, 55 and 80 seconds, compared as floats; each window
// includes its start.
Scene selectScene(float sceneClock);

// Everything a scene draws with or advances, borrowed from the frame loop.
struct Stage {
  platform::WindowSystem& windows;
  display::Display& display;
  display::Bitmap& frame;
  const FrameTimer& timer;
  DemoState& state;
};

// Draws the scene that the clock selects into the framebuffer and advances
// that scene's variables; at the end only posts the quit message.
Scene runTimelineStep(Stage& stage);

}  // namespace quarvel::driver
