// Ray-sphere intersection and shading: exact rounding points, no per-ray allocation.
#include "raytrace/ray_trace.h"

#include <algorithm>
#include <cmath>

#include "effects/frame_passes.h"
#include "lanes/vector_path.h"
#include "raytrace/ray_trace_fast.h"

namespace quarvel::raytrace {

using math::add;
using math::dot;
using math::normalize;
using math::scaleVec;
using math::subtract;
using math::Vec3;

namespace {

constexpr float kDiffuseWeight = 230.0f;
constexpr double kSpecularWeight = 100.0;
constexpr double kSpecularExponent = 20.0;
constexpr float kAmbient = 25.0f;
constexpr float kChannelCeiling = 255.0f;
constexpr float kNoHit = std::numeric_limits<float>::max();

struct Roots {
  bool meets;  // the line meets the sphere (disc >= 0)
  float tNear;
  float tFar;
};

// The roots of |O + tD - C|^2 = r2 for unit D, with c in the expanded form
// |O|^2 + |C|^2 - r2 - 2 C.O evaluated left to right. The root is taken in
// double and each distance rounded to float.
inline Roots sphereRoots(const Ray& ray, const Sphere& sphere) {
  const Vec3 o = ray.origin;
  const Vec3 c = sphere.centre;
  const float b = dot(ray.direction, subtract(o, c));
  const float cTerm = dot(o, o) + dot(c, c) - sphere.radiusSquared - 2.0f * dot(c, o);
  const float disc = b * b - cTerm;
  if (!(disc >= 0.0f)) return {false, 0.0f, 0.0f};
  const double root = std::sqrt(static_cast<double>(disc));
  const double minusB = -static_cast<double>(b);
  return {true, static_cast<float>(minusB - root), static_cast<float>(minusB + root)};
}

// Channel value: accumulator plus ambient, at most 255, truncated. Negative
// sums never occur in the demo (light colours are >= 0); they give 0 rather
// than a value that does not fit a byte.
inline std::uint32_t channelByte(float accumulator) {
  float v = accumulator + kAmbient;
  if (!(v < kChannelCeiling)) v = kChannelCeiling;
  if (v < 0.0f) v = 0.0f;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
}

inline std::uint32_t packColour(float red, float green, float blue) {
  return (channelByte(red) << 16) | (channelByte(green) << 8) | channelByte(blue);
}

// The diffuse term d = max(0, N.L) as the accumulators use it (NaN gives 0).
inline float diffuse(float nl) {
  return nl >= 0.0f ? nl : 0.0f;
}

// The channel sum acc + (230 d colour + specular): the inner sum in double
// because the specular term is a double, the total rounded to float.
inline float accumulate(float acc, float diffuseTerm, double specular) {
  return static_cast<float>(static_cast<double>(acc) +
                            (static_cast<double>(diffuseTerm) + specular));
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
  const Ray reflected{p, subtract(d, scaleVec(n, 2.0f * dot(n, d)))};

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
    float sp = dot(subtract(l, scaleVec(n, 2.0f * nl)), d);
    if (sp < 0.0f) sp = 0.0f;
    const double specular = kSpecularWeight * std::pow(static_cast<double>(sp), kSpecularExponent);
    red = accumulate(red, kDiffuseWeight * dTerm * light.colour.x, specular);
    green = accumulate(green, kDiffuseWeight * dTerm * light.colour.y, specular);
    blue = accumulate(blue, kDiffuseWeight * dTerm * light.colour.z, specular);
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
    red = red + kDiffuseWeight * dTerm * light.colour.x;
    green = green + kDiffuseWeight * dTerm * light.colour.y;
    blue = blue + kDiffuseWeight * dTerm * light.colour.z;
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
  const lanes::VectorPath path = lanes::vectorPath();
  if (path != lanes::VectorPath::Reference && traceFrameFast(path, rays, scene, frame)) return;
  // The reference: every ray in order through the scalar functions above.
  const std::size_t pixelCount = std::size_t{frame.width} * frame.height;
  const std::size_t count = std::min(rays.size(), pixelCount);
  for (std::size_t i = 0; i < count; ++i) tracePixel(rays[i], scene, frame.pixels[i]);
}

}  // namespace quarvel::raytrace
