// The frame pass of the ray tracer on kLanes rays at once, operation for operation as
// ray_trace.cpp.
#include "raytrace/ray_trace_lanes.h"

#include <cfloat>

#include "lanes/lanes.h"

namespace quarvel::raytrace::QUARVEL_LANE_TARGET {
namespace lanes = lanes::QUARVEL_LANE_TARGET;

using lanes::Doubles;
using lanes::Floats;
using lanes::Ints;
using lanes::kLanes;
using lanes::narrow;
using lanes::splat;
using lanes::widen;

// The shading constants of the reference, with the same types.
constexpr float kDiffuseWeight = 230.0f;
constexpr double kSpecularWeight = 100.0;
constexpr float kAmbient = 25.0f;
constexpr float kChannelCeiling = 255.0f;
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

// b and the discriminant of the reference's ray-sphere roots.
struct Discriminant {
  Floats b;
  Floats disc;
};

inline Discriminant discriminant(const Vecs& o, const Vecs& d, const Sphere& sphere) {
  const Vecs c = splatVec(sphere.centre);
  const Floats b = dot(d, subtract(o, c));
  const Floats cTerm = dot(o, o) + dot(c, c) - sphere.radiusSquared - 2.0f * dot(c, o);
  return {b, b * b - cTerm};
}

// The roots -b -+ sqrt(disc), in double and rounded to float. Lanes with a
// negative disc get NaN, which their callers never use.
inline Floats nearRoot(const Discriminant& q) {
  return narrow(-widen(q.b) - lanes::squareRoot(widen(q.disc)));
}
inline Floats farRoot(const Discriminant& q) {
  return narrow(-widen(q.b) + lanes::squareRoot(widen(q.disc)));
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

inline Ints channelByte(Floats accumulator) {
  Floats v = accumulator + kAmbient;
  v = v < kChannelCeiling ? v : splat<Floats>(kChannelCeiling);
  v = v < 0.0f ? splat<Floats>(0.0f) : v;
  return lanes::truncate(v);
}

struct Colours {
  Ints red, green, blue;  // 0..255 per lane
};

inline Colours channelBytes(Floats red, Floats green, Floats blue) {
  return {channelByte(red), channelByte(green), channelByte(blue)};
}

// Bounds on the specular term 100 * pow(sp, 20), without calling pow. sp^20
// by five multiplications in double is within 2^-48 of the true power (plus
// 2^-1000 where it underflows); with a C library whose pow is accurate to
// 2^-41 (glibc is within one unit in the last place, 2^-52), the library's
// result lies between the two bounds, and so does the reference's term.
struct Specular {
  Doubles low;
  Doubles high;
};

inline Specular specularBounds(Floats sp) {
  const Doubles x = widen(sp);
  const Doubles x2 = x * x;
  const Doubles x4 = x2 * x2;
  const Doubles x8 = x4 * x4;
  const Doubles x16 = x8 * x8;
  const Doubles x20 = x16 * x4;
  constexpr double kMargin = 0x1p-40;
  constexpr double kUnderflow = 0x1p-1000;
  Doubles low = x20 * (1.0 - kMargin) - kUnderflow;
  low = low < 0.0 ? splat<Doubles>(0.0) : low;
  // pow(0, 20) is exactly 0.
  const auto zero = widen(sp == 0.0f);
  const Doubles high = zero ? splat<Doubles>(0.0) : x20 * (1.0 + kMargin) + kUnderflow;
  return {kSpecularWeight * low, kSpecularWeight * high};
}

inline Floats accumulate(Floats acc, Floats diffuseTerm, Doubles specular) {
  return narrow(widen(acc) + (widen(diffuseTerm) + specular));
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
  out.reflected = subtract(d, scaleVec(n, 2.0f * dot(n, d)));

  const Floats zero = splat<Floats>(0.0f);
  Floats low[3] = {zero, zero, zero};
  Floats high[3] = {zero, zero, zero};
  for (std::size_t i = 0; i < scene.lightCount; ++i) {
    const Light& light = scene.lights[i];
    const Vecs l = normalize(subtract(splatVec(light.position), p));
    const Ints lit = out.hit & ~isOccluded(p, l, scene, hits.index, out.hit);
    if (!lanes::anyLane(lit)) continue;
    const Floats nl = dot(n, l);
    const Floats dTerm = nl >= 0.0f ? nl : zero;
    Floats sp = dot(subtract(l, scaleVec(n, 2.0f * nl)), d);
    sp = sp < 0.0f ? zero : sp;
    const Specular specular = specularBounds(sp);
    const float colour[3] = {light.colour.x, light.colour.y, light.colour.z};
    for (int c = 0; c < 3; ++c) {
      const Floats diffuse = kDiffuseWeight * dTerm * colour[c];
      low[c] = lit ? accumulate(low[c], diffuse, specular.low) : low[c];
      high[c] = lit ? accumulate(high[c], diffuse, specular.high) : high[c];
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
    const Floats nl = dot(n, l);
    const Floats dTerm = nl >= 0.0f ? nl : 0.0f;
    red = lit ? red + kDiffuseWeight * dTerm * light.colour.x : red;
    green = lit ? green + kDiffuseWeight * dTerm * light.colour.y : green;
    blue = lit ? blue + kDiffuseWeight * dTerm * light.colour.z : blue;
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
