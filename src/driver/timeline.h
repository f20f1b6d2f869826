// The timeline: which scene the scene clock selects, and drawing it.
#pragma once

#include <array>
#include <span>

#include "display/bitmap.h"
#include "display/display.h"
#include "driver/demo_state.h"
#include "driver/frame_timer.h"
#include "effects/blobs.h"
#include "effects/particle_system.h"
#include "mesh/mesh.h"
#include "platform/window_system.h"
#include "raster/mesh_renderer.h"

namespace quarvel::driver {

enum class Scene { Star, Rays, Blobs, Greetings, End };

// Boundaries at 15, 40, 55 and 80 seconds, compared as floats; each window
// includes its start.
Scene selectScene(float sceneClock);

// The greeting lists in loading order.
enum Greeting { kPlonix, kHv, kWendup, kTolvenaq, kGreetingCount };

// Everything a scene draws with or advances, borrowed from the frame loop.
struct Stage {
  platform::WindowSystem& windows;
  display::Display& display;
  display::Bitmap& frame;  // views the display's framebuffer
  const FrameTimer& timer;
  DemoState& state;
  raster::MeshRenderer& renderer;
  const mesh::MeshList& star;
  const std::array<mesh::MeshList, kGreetingCount>& greetings;
  std::span<effects::BlobPoint> blobPoints;
  effects::BlobField& blobField;
  const display::Bitmap& sprite;
  effects::ParticleSystem& particles;
};

// Draws the scene that the clock selects into the framebuffer and advances
// that scene's variables; at the end only posts the quit message.
Scene runTimelineStep(Stage& stage);

}  // namespace quarvel::driver
