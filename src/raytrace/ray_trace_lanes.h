// The ray tracer's vector kernel: one table of it for each lane target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "lanes/vector_path.h"
#include "raytrace/ray.h"
#include "raytrace/ray_scene.h"

namespace quarvel::raytrace {

// A RayScene as the kernels read it: plain arrays, owned by the caller.
struct SceneView {
  const Sphere* spheres;
  std::size_t sphereCount;  // below 2^31
  const Light* lights;
  std::size_t lightCount;
};

// Traces rays[0 .. count) into pixels[0 .. count) exactly as the reference
// frame pass does: a hit pixel gets the primary colour, averaged with the
// reflected one when the bounce hits; a miss leaves its pixel alone. The rare
// pixel whose specular highlight cannot be settled without the library's pow
// is left untouched and its index (from 0) stored in `undecided`, which has
// room for `count` entries; returns how many were stored.
// Whether traceRun may run on a scene: sphere indices must fit its int32 lanes.
inline bool takesScene(std::size_t sphereCount) {
  return sphereCount < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

using TraceRun = std::size_t (*)(const Ray* rays, std::size_t count, const SceneView& scene,
                                 std::uint32_t* pixels, std::size_t* undecided);

// The ray tracer's kernels on one lane target; a null entry runs the reference code.
struct RayTraceKernels {
  TraceRun traceRun;  // see traceRun below; may run where takesScene holds
};

// The table of `path`: all null for Reference and for targets this build lacks.
RayTraceKernels rayTraceKernels(lanes::VectorPath path);

// The table of the target the program chose at start-up (lanes::vectorPath()).
inline RayTraceKernels chosenRayTraceKernels() {
  return rayTraceKernels(lanes::vectorPath());
}

template <lanes::VectorPath Path>
std::size_t traceRun(const Ray* rays, std::size_t count, const SceneView& scene,
                     std::uint32_t* pixels, std::size_t* undecided);

template <>
std::size_t traceRun<lanes::VectorPath::Scalar>(const Ray*, std::size_t, const SceneView&,
                                                std::uint32_t*, std::size_t*);
template <>
std::size_t traceRun<lanes::VectorPath::Sse2>(const Ray*, std::size_t, const SceneView&,
                                              std::uint32_t*, std::size_t*);
template <>
std::size_t traceRun<lanes::VectorPath::Avx2>(const Ray*, std::size_t, const SceneView&,
                                              std::uint32_t*, std::size_t*);
template <>
std::size_t traceRun<lanes::VectorPath::Avx512>(const Ray*, std::size_t, const SceneView&,
                                                std::uint32_t*, std::size_t*);
template <>
std::size_t traceRun<lanes::VectorPath::Neon>(const Ray*, std::size_t, const SceneView&,
                                              std::uint32_t*, std::size_t*);
template <>
std::size_t traceRun<lanes::VectorPath::Simd128>(const Ray*, std::size_t, const SceneView&,
                                                 std::uint32_t*, std::size_t*);

}  // namespace quarvel::raytrace
