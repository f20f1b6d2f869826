// The ray tracer's fast frame pass: skips rays that provably miss, traces the rest in vector lanes.
#pragma once

#include <cstdint>

#include "display/bitmap.h"
#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace_lanes.h"

namespace quarvel::raytrace {

// Does what traceFrame's reference loop does, bit for bit, with the given
// kernels. Returns false, having written nothing, when the table has no kernel
// or the scene does not suit it.
bool traceFrameFast(const RayTraceKernels& kernels, const CameraRayTable& rays,
                    const RayScene& scene, display::Bitmap& frame);

// One step of the reference frame pass: traces `ray` and, if it hits, sets
// `pixel` to its colour (averaged with the bounce's when that hits too).
void tracePixel(const Ray& ray, const RayScene& scene, std::uint32_t& pixel);

}  // namespace quarvel::raytrace
