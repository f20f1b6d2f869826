// The frame pass of the ray tracer on kLanes rays at once, operation for operation as
// ray_trace.cpp.
#include "raytrace/ray_trace_lanes.h"

#include <cfloat>

#include "lanes/lanes.h"
#include "raytrace/shading.h"

namespace quarvel::raytrace::QUARVEL_LANE_TARGET {
namespace lanes = lanes::QUARVEL_LANE_TARGET;

using lanes::Doubles;
using lanes::Floats;
using lanes::Ints;
using lanes::kLanes;
using lanes::narrow;
using lanes::splat;
using lanes::widen;

constexpr float kNoHit = FLT_MAX;

struct Vecs {
  Floats x, y, z;
};

inline Vecs splatVec(const math::Vec3& v) {
  return {splat<Floats>(v.x), splat<Floats>(v.y), splat<Floats>(v.z)};
}
inline Vecs add(const Vecs& a, const Vecs& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vecs subtract(const Vecs& a, const Vecs& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vecs scaleVec(const Vecs& v, Floats s) {
  return {s * v.x, s * v.y, s * v.z};
}
inline Floats dot(const Vecs& a, const Vecs& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vecs normalize(const Vecs& v) {
  const Floats length = lanes::squareRoot(v.x * v.x + v.y * v.y + v.z * v.z);
  const Floats inverse = 1.0f / length;
  return {inverse * v.x, inverse * v.y, inverse * v.z};
}
inline Vecs select(Ints mask, const Vecs& a, const Vecs& b) {
  return {mask ? a.x : b.x, mask ? a.y : b.y, mask ? a.z : b.z};
}

inline Discriminant<Floats> discriminant(const Vecs& o, const Vecs& d, const Sphere& sphere) {
  return sphereDiscriminant(o, d, splatVec(sphere.centre), sphere.radiusSquared);
}

struct Hits {
  Ints hit;
  Floats t;
  Ints index;  // -1 where nothing was hit
};

// Lanes outside `active` report no hit.
inline Hits findNearestHit(const Vecs& o, const Vecs& d, const SceneView& scene, Ints excluded,
                           Ints active) {
  Floats best = splat<Floats>(kNoHit);
  Ints index = splat<Ints>(-1);
  for (std::size_t i = 0; i < scene.sphereCount; ++i) {
    const auto k = static_cast<std::int32_t>(i);
    const Discriminant q = discriminant(o, d, scene.spheres[i]);
    const Ints meets = active & (excluded != k) & (q.disc >= 0.0f);
    if (!lanes::anyLane(meets)) continue;  // no root is needed: skip the square roots
    const Floats tNear = nearRoot(q);
    const Floats tFar = farRoot(q);
    const Ints nearAhead = tNear >= 0.0f;
    const Ints farAhead = tFar >= 0.0f;
    const Floats candidate = nearAhead ? tNear : tFar;
    const Ints accept = meets & (nearAhead | farAhead) & (candidate < best);
    best = accept ? candidate : best;
    index = accept ? splat<Ints>(k) : index;
  }
  return {best != kNoHit, best, index};
}

inline Ints isOccluded(const Vecs& o, const Vecs& d, const SceneView& scene, Ints excluded,
                       Ints active) {
  Ints occluded = splat<Ints>(0);
  for (std::size_t i = 0; i < scene.sphereCount; ++i) {
    const Discriminant q = discriminant(o, d, scene.spheres[i]);
    const Ints meets = active & (excluded != static_cast<std::int32_t>(i)) & (q.disc >= 0.0f);
    if (!lanes::anyLane(meets)) continue;
    occluded |= meets & (farRoot(q) >= 0.0f);
  }
  return occluded;
}

inline Vecs centreOf(Ints index, const SceneView& scene) {
  Vecs c = splatVec({0.0f, 0.0f, 0.0f});
  for (std::size_t i = 0; i < scene.sphereCount; ++i) {
    c = select(index == static_cast<std::int32_t>(i), splatVec(scene.spheres[i].centre), c);
  }
  return c;
}

struct Colours {
  Ints red, green, blue;  // 0..255 per lane
};

inline Colours channelBytes(Floats red, Floats green, Floats blue) {
  return {channelByte(red), channelByte(green), channelByte(blue)};
}

struct Primary {
  Ints hit;
  Ints undecided;  // hit lanes whose colour the specular bounds leave open
  Ints index;
  Colours colour;
  Vecs point;      // the reflected ray's origin
  Vecs reflected;  // and direction
};

// Every channel sum of the reference rounds and clamps monotonically, so the
// channel bytes computed with the low and the high specular bounds enclose the
// reference's; where they agree the colour is exact.
inline Primary tracePrimary(const Vecs& o, const Vecs& d, Ints active, const SceneView& scene) {
  const Hits hits = findNearestHit(o, d, scene, splat<Ints>(-1), active);
  Primary out;
  out.hit = hits.hit;
  if (!lanes::anyLane(out.hit)) return out;
  out.index = hits.index;
  const Vecs p = scaleVec(d, hits.t);  // the eye is the origin: nothing to add
  const Vecs n = normalize(subtract(p, centreOf(hits.index, scene)));
  out.point = p;
  out.reflected = reflect(d, n);

  const Floats zero = splat<Floats>(0.0f);
  Floats low[3] = {zero, zero, zero};
  Floats high[3] = {zero, zero, zero};
  for (std::size_t i = 0; i < scene.lightCount; ++i) {
    const Light& light = scene.lights[i];
    const Vecs l = normalize(subtract(splatVec(light.position), p));
    const Ints lit = out.hit & ~isOccluded(p, l, scene, hits.index, out.hit);
    if (!lanes::anyLane(lit)) continue;
    const Floats nl = dot(n, l);
    const Floats dTerm = diffuse(nl);
    const SpecularBounds<Doubles> specular = specularBounds(highlight(l, n, nl, d));
    const float colour[3] = {light.colour.x, light.colour.y, light.colour.z};
    for (int c = 0; c < 3; ++c) {
      const Floats share = diffuseLight(dTerm, colour[c]);
      low[c] = lit ? accumulate(low[c], share, specular.low) : low[c];
      high[c] = lit ? accumulate(high[c], share, specular.high) : high[c];
    }
  }
  out.colour = channelBytes(low[0], low[1], low[2]);
  const Colours upper = channelBytes(high[0], high[1], high[2]);
  out.undecided = out.hit & ((out.colour.red != upper.red) | (out.colour.green != upper.green) |
                             (out.colour.blue != upper.blue));
  return out;
}

struct Reflected {
  Ints hit;
  Colours colour;
};

inline Reflected traceReflected(const Primary& from, const SceneView& scene) {
  const Hits hits = findNearestHit(from.point, from.reflected, scene, from.index, from.hit);
  Reflected out;
  out.hit = hits.hit & from.hit;
  if (!lanes::anyLane(out.hit)) return out;
  const Vecs p = add(from.point, scaleVec(from.reflected, hits.t));
  const Vecs n = normalize(subtract(p, centreOf(hits.index, scene)));

  Floats red = splat<Floats>(0.0f);
  Floats green = red;
  Floats blue = red;
  for (std::size_t i = 0; i < scene.lightCount; ++i) {
    const Light& light = scene.lights[i];
    const Vecs l = normalize(subtract(splatVec(light.position), p));
    const Ints lit = out.hit & ~isOccluded(p, l, scene, hits.index, out.hit);
    const Floats dTerm = diffuse(dot(n, l));
    red = lit ? red + diffuseLight(dTerm, light.colour.x) : red;
    green = lit ? green + diffuseLight(dTerm, light.colour.y) : green;
    blue = lit ? blue + diffuseLight(dTerm, light.colour.z) : blue;
  }
  out.colour = channelBytes(red, green, blue);
  return out;
}

inline Ints pack(const Colours& c) {
  return (c.red << 16) | (c.green << 8) | c.blue;
}

// Up to kLanes rays; lanes at or beyond `count` are inactive. Returns a bit
// per lane whose pixel was left for the caller to trace.
std::uint32_t traceLanes(const Ray* rays, std::size_t count, const SceneView& scene,
                         std::uint32_t* pixels) {
  float coordinates[6][kLanes];
  if (count < kLanes) std::memset(coordinates, 0, sizeof coordinates);  // idle lanes
  for (std::size_t lane = 0; lane < count; ++lane) {
    const Ray& ray = rays[lane];
    coordinates[0][lane] = ray.origin.x;
    coordinates[1][lane] = ray.origin.y;
    coordinates[2][lane] = ray.origin.z;
    coordinates[3][lane] = ray.direction.x;
    coordinates[4][lane] = ray.direction.y;
    coordinates[5][lane] = ray.direction.z;
  }
  const Vecs o{lanes::load<Floats>(coordinates[0]), lanes::load<Floats>(coordinates[1]),
               lanes::load<Floats>(coordinates[2])};
  const Vecs d{lanes::load<Floats>(coordinates[3]), lanes::load<Floats>(coordinates[4]),
               lanes::load<Floats>(coordinates[5])};
  const Ints active = lanes::laneNumbers() < static_cast<std::int32_t>(count);

  const Primary primary = tracePrimary(o, d, active, scene);
  if (!lanes::anyLane(primary.hit)) return 0;
  const Reflected bounce = traceReflected(primary, scene);
  // averageColor channel by channel; both colours have a zero top byte.
  const Colours mixed{(primary.colour.red + bounce.colour.red) >> 1,
                      (primary.colour.green + bounce.colour.green) >> 1,
                      (primary.colour.blue + bounce.colour.blue) >> 1};
  const Ints colour = bounce.hit ? pack(mixed) : pack(primary.colour);

  std::int32_t merged[kLanes];
  if (count < kLanes) std::memset(merged, 0, sizeof merged);
  std::memcpy(merged, pixels, count * sizeof(std::uint32_t));
  const Ints write = primary.hit & ~primary.undecided;
  lanes::store(merged, write ? colour : lanes::load<Ints>(merged));
  std::memcpy(pixels, merged, count * sizeof(std::uint32_t));

  std::uint32_t undecided = 0;
  for (int lane = 0; lane < kLanes; ++lane) {
    if (primary.undecided[lane] != 0) undecided |= 1u << lane;
  }
  return undecided;
}

}  // namespace quarvel::raytrace::QUARVEL_LANE_TARGET

namespace quarvel::raytrace {

template <>
std::size_t traceRun<lanes::QUARVEL_LANE_TARGET::kLanePath>(const Ray* rays, std::size_t count,
                                                            const SceneView& scene,
                                                            std::uint32_t* pixels,
                                                            std::size_t* undecided) {
  using namespace QUARVEL_LANE_TARGET;
  std::size_t left = 0;
  for (std::size_t first = 0; first < count; first += kLanes) {
    const std::size_t n = count - first < kLanes ? count - first : kLanes;
    const std::uint32_t lanes = traceLanes(rays + first, n, scene, pixels + first);
    for (std::size_t lane = 0; lane < n; ++lane) {
      if ((lanes >> lane & 1u) != 0) undecided[left++] = first + lane;
    }
  }
  return left;
}

}  // namespace quarvel::raytrace
