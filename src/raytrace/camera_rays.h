// The fixed camera: one ready-made primary ray per framebuffer pixel.
#pragma once

#include <vector>

#include "raytrace/ray.h"

namespace quarvel::raytrace {

// Rays in framebuffer order: index = row * width + column, rows from the top.
// Contiguous and owning; copies are deep.
using CameraRayTable = std::vector<Ray>;

inline constexpr float kCameraFov = 0.7853982f;  // horizontal field of view, radians
inline constexpr int kCameraWidth = 320;
inline constexpr int kCameraHeight = 240;

// Builds width * height rays from the eye at the origin looking along +z
// (+x right, +y up), for the horizontal field of view `fov` in radians. The
// image plane spans x in [-1, 1) and starts at y = height / width, stepped in
// double precision by accumulation (no half-pixel offset); each (x, y, f) is
// rounded to float and normalised. width <= 0 or height <= 0 gives an empty table.
CameraRayTable buildCameraRays(float fov, int width, int height);

// The demo's one table (kCameraFov, 320 x 240, 76,800 rays), read-only.
// It is built on first use, and the library forces that first use during
// static initialisation, so it is ready before main and safe to call from any
// code, including other static initialisers. Released after main returns.
const CameraRayTable& cameraRayTable();

}  // namespace quarvel::raytrace
