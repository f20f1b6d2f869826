// The driver's per-run variables that the frame loop and the timeline advance.
#pragma once

namespace quarvel::driver {

struct DemoState {
  float sceneClock = 0.0f;       // seconds of drawn-frame time
  float angle = 0.0f;            // radians; grows by 0.05 after every frame
  float zoomFov = 3.1415927f;    // opening scene's field of view, radians
  double redLevel = 0.0;         // opening scene's red factor
  double drift = 0.0;            // rise of the ray-traced spheres
  double slide = 0.0;            // shift of the greeting meshes
};

}  // namespace quarvel::driver
