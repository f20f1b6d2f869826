// Ray-sphere intersection and shading: exact rounding points, no per-ray allocation.
#include "raytrace/ray_trace.h"

#include <algorithm>
#include <cmath>

#include "effects/frame_passes.h"
#include "raytrace/ray_trace_fast.h"
#include "raytrace/shading.h"

namespace quarvel::raytrace {

using math::add;
using math::dot;
using math::normalize;
using math::scaleVec;
using math::subtract;
using math::Vec3;

// The rules' baseline copy: this file is the reference.
using namespace baseline;

namespace {

constexpr float kNoHit = std::numeric_limits<float>::max();

struct Roots {
  bool meets;  // the line meets the sphere (disc >= 0)
  float tNear;
  float tFar;
};

inline Roots sphereRoots(const Ray& ray, const Sphere& sphere) {
  const Discriminant<float> q =
      sphereDiscriminant(ray.origin, ray.direction, sphere.centre, sphere.radiusSquared);
  if (!(q.disc >= 0.0f)) return {false, 0.0f, 0.0f};
  return {true, nearRoot(q), farRoot(q)};
}

inline std::uint32_t packColour(float red, float green, float blue) {
  const auto byte = [](float accumulator) {
    return static_cast<std::uint32_t>(channelByte(accumulator));
  };
  return (byte(red) << 16) | (byte(green) << 8) | byte(blue);
}

}  // namespace

std::optional<SphereHit> findNearestHit(const Ray& ray, std::span<const Sphere> spheres,
                                        std::size_t excluded) {
  float best = kNoHit;
  std::size_t bestIndex = kNoSphere;
  for (std::size_t i = 0; i < spheres.size(); ++i) {
    if (i == excluded) continue;
    const Roots roots = sphereRoots(ray, spheres[i]);
    if (!roots.meets) continue;
    float candidate;
    if (roots.tNear >= 0.0f) {
      candidate = roots.tNear;
    } else if (roots.tFar >= 0.0f) {
      // The ray starts inside this sphere (the demo never does this). Its far
      // wall is the first surface ahead, and the shadow test already counts
      // such a sphere as blocking, so both tests agree on what is in the way.
      candidate = roots.tFar;
    } else {
      continue;
    }
    if (candidate < best) {
      best = candidate;
      bestIndex = i;
    }
  }
  if (best == kNoHit) return std::nullopt;
  return SphereHit{best, bestIndex};
}

bool isOccluded(const Ray& shadowRay, std::span<const Sphere> spheres, std::size_t excluded) {
  for (std::size_t i = 0; i < spheres.size(); ++i) {
    if (i == excluded) continue;
    const Roots roots = sphereRoots(shadowRay, spheres[i]);
    if (roots.meets && roots.tFar >= 0.0f) return true;
  }
  return false;
}

std::optional<PrimaryHit> tracePrimary(const Ray& ray, const RayScene& scene) {
  const std::optional<SphereHit> hit = findNearestHit(ray, scene.spheres, kNoSphere);
  if (!hit) return std::nullopt;
  const Vec3 d = ray.direction;
  const Vec3 p = scaleVec(d, hit->t);  // the eye is the origin: nothing to add
  const Vec3 n = normalize(subtract(p, scene.spheres[hit->index].centre));
  const Ray reflected{p, reflect(d, n)};

  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  for (const Light& light : scene.lights) {
    const Vec3 l = normalize(subtract(light.position, p));
    // Shadow rays start exactly on the surface; only the exclusion keeps the
    // hit sphere from shadowing itself.
    if (isOccluded({p, l}, scene.spheres, hit->index)) continue;
    const float nl = dot(n, l);
    const float dTerm = diffuse(nl);
    const double specular = specularTerm(highlight(l, n, nl, d));
    red = accumulate(red, diffuseLight(dTerm, light.colour.x), specular);
    green = accumulate(green, diffuseLight(dTerm, light.colour.y), specular);
    blue = accumulate(blue, diffuseLight(dTerm, light.colour.z), specular);
  }
  return PrimaryHit{packColour(red, green, blue), hit->index, reflected};
}

std::optional<ReflectedHit> traceReflected(const Ray& ray, const RayScene& scene,
                                           std::size_t excluded) {
  const std::optional<SphereHit> hit = findNearestHit(ray, scene.spheres, excluded);
  if (!hit) return std::nullopt;
  const Vec3 p = add(ray.origin, scaleVec(ray.direction, hit->t));
  const Vec3 n = normalize(subtract(p, scene.spheres[hit->index].centre));

  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  for (const Light& light : scene.lights) {
    const Vec3 l = normalize(subtract(light.position, p));
    if (isOccluded({p, l}, scene.spheres, hit->index)) continue;
    const float dTerm = diffuse(dot(n, l));
    red = red + diffuseLight(dTerm, light.colour.x);
    green = green + diffuseLight(dTerm, light.colour.y);
    blue = blue + diffuseLight(dTerm, light.colour.z);
  }
  return ReflectedHit{packColour(red, green, blue), hit->index};
}

void tracePixel(const Ray& ray, const RayScene& scene, std::uint32_t& pixel) {
  const std::optional<PrimaryHit> primary = tracePrimary(ray, scene);
  if (!primary) return;
  const std::optional<ReflectedHit> bounce =
      traceReflected(primary->reflected, scene, primary->sphere);
  pixel = bounce ? effects::averageColor(primary->colour, bounce->colour) : primary->colour;
}

void traceFrame(const CameraRayTable& rays, const RayScene& scene, display::Bitmap& frame) {
  traceFrame(chosenRayTraceKernels(), rays, scene, frame);
}

void traceFrame(const RayTraceKernels& kernels, const CameraRayTable& rays, const RayScene& scene,
                display::Bitmap& frame) {
  if (traceFrameFast(kernels, rays, scene, frame)) return;
  // The reference: every ray in order through the scalar functions above.
  const std::size_t pixelCount = std::size_t{frame.width} * frame.height;
  const std::size_t count = std::min(rays.size(), pixelCount);
  for (std::size_t i = 0; i < count; ++i) tracePixel(rays[i], scene, frame.pixels[i]);
}

}  // namespace quarvel::raytrace
