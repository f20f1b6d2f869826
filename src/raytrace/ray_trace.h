// Ray-sphere intersection, shadowed diffuse and specular shading, one reflected bounce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "display/bitmap.h"
#include "raytrace/camera_rays.h"
#include "raytrace/ray.h"
#include "raytrace/ray_scene.h"

namespace quarvel::raytrace {

// The excluded index meaning "exclude no sphere"; differs from every real index.
inline constexpr std::size_t kNoSphere = std::numeric_limits<std::size_t>::max();

struct SphereHit {
  float t;            // distance along the unit direction, >= 0
  std::size_t index;  // index of the sphere in the scene's sequence
};

// Nearest sphere along the ray at a non-negative distance, skipping `excluded`.
// Ties keep the lower index. A ray starting inside a sphere hits its far wall.
std::optional<SphereHit> findNearestHit(const Ray& ray, std::span<const Sphere> spheres,
                                        std::size_t excluded);

// True if any sphere other than `excluded` meets the ray's line at or ahead of
// its origin, however far away (even beyond the light).
bool isOccluded(const Ray& shadowRay, std::span<const Sphere> spheres, std::size_t excluded);

struct PrimaryHit {
  std::uint32_t colour;  // 0x00RRGGBB
  std::size_t sphere;    // index of the hit sphere
  Ray reflected;         // starts at the hit point; not renormalised
};

// Shades a camera ray. Its origin must be the eye at (0, 0, 0).
std::optional<PrimaryHit> tracePrimary(const Ray& ray, const RayScene& scene);

struct ReflectedHit {
  std::uint32_t colour;  // 0x00RRGGBB
  std::size_t sphere;
};

// Shades a reflected ray (no specular term, no further bounce), never hitting `excluded`.
std::optional<ReflectedHit> traceReflected(const Ray& ray, const RayScene& scene,
                                           std::size_t excluded);

// Traces ray i of `rays` into pixel i of `frame` (row-major) for every ray that
// has a pixel: a hit pixel gets the primary colour, averaged with the reflected
// colour when the bounce hits too; a miss leaves the pixel untouched.
void traceFrame(const CameraRayTable& rays, const RayScene& scene, display::Bitmap& frame);

struct RayTraceKernels;

// traceFrame on the given kernels (the reference where the entry is null), for
// comparing targets side by side; the plain form uses the program's choice.
void traceFrame(const RayTraceKernels& kernels, const CameraRayTable& rays, const RayScene& scene,
                display::Bitmap& frame);

}  // namespace quarvel::raytrace
