// The ray tracer's rules: ray-sphere roots, diffuse and specular shading, channel bytes.
//
// Written once for one ray (float, double, math::Vec3) and for lanes of rays;
// the reference and every lane target include this header.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "lanes/ops.h"
#include "lanes/target.h"
#include "math/elementary.h"

namespace quarvel::raytrace::QUARVEL_LANE_TARGET {

using lanes::QUARVEL_LANE_TARGET::narrow;
using lanes::QUARVEL_LANE_TARGET::squareRoot;
using lanes::QUARVEL_LANE_TARGET::truncate;
using lanes::QUARVEL_LANE_TARGET::widen;
using lanes::QUARVEL_LANE_TARGET::widenMask;

inline constexpr float kDiffuseWeight = 230.0f;
inline constexpr double kSpecularWeight = 100.0;
inline constexpr double kSpecularExponent = 20.0;
inline constexpr float kAmbient = 25.0f;
inline constexpr float kChannelCeiling = 255.0f;

// |O|^2 + |C|^2 - r2 - 2 C.O, left to right: the constant term of
// |O + tD - C|^2 = r2 in the expanded form that every path uses.
template <class V>
[[gnu::always_inline]] inline auto sphereConstantTerm(const V& o, const V& c, float radiusSquared) {
  return dot(o, o) + dot(c, c) - radiusSquared - 2.0f * dot(c, o);
}

template <class F>
struct Discriminant {
  F b;     // D.(O - C)
  F disc;  // b^2 - c; the line meets the sphere where disc >= 0
};

// For a unit direction `d`.
template <class V>
[[gnu::always_inline]] inline auto sphereDiscriminant(const V& o, const V& d, const V& c,
                                                      float radiusSquared) {
  const auto b = dot(d, subtract(o, c));
  const auto cTerm = sphereConstantTerm(o, c, radiusSquared);
  return Discriminant<std::remove_const_t<decltype(b)>>{b, b * b - cTerm};
}

// The roots -b -+ sqrt(disc), taken in double and rounded to float; NaN where
// disc < 0.
template <class F>
[[gnu::always_inline]] inline F nearRoot(const Discriminant<F>& q) {
  return narrow(-widen(q.b) - squareRoot(widen(q.disc)));
}
template <class F>
[[gnu::always_inline]] inline F farRoot(const Discriminant<F>& q) {
  return narrow(-widen(q.b) + squareRoot(widen(q.disc)));
}

// The surface's direction of reflection for incoming `d` and normal `n`.
template <class V>
[[gnu::always_inline]] inline V reflect(const V& d, const V& n) {
  return subtract(d, scaleVec(n, 2.0f * dot(n, d)));
}

// The diffuse factor d = max(0, N.L) (NaN gives 0).
template <class F>
[[gnu::always_inline]] inline F diffuse(F nl) {
  return nl >= 0.0f ? nl : 0.0f;
}

// One light's diffuse share of a channel of colour weight `colour`.
template <class F>
[[gnu::always_inline]] inline F diffuseLight(F diffuseFactor, float colour) {
  return kDiffuseWeight * diffuseFactor * colour;
}

// max(0, R.D) for the light direction `l` mirrored about `n` (nl = N.L).
template <class V, class F>
[[gnu::always_inline]] inline F highlight(const V& l, const V& n, F nl, const V& d) {
  const F sp = dot(subtract(l, scaleVec(n, 2.0f * nl)), d);
  return sp < 0.0f ? 0.0f : sp;
}

// The specular term 100 * sp^20 of a highlight `sp`: the one call of pow.
[[gnu::always_inline]] inline double specularTerm(float sp) {
  return kSpecularWeight * math::pow(static_cast<double>(sp), kSpecularExponent);
}

// Bounds on specularTerm without calling pow. sp^20 by five multiplications in
// double is within 2^-48 of the true power (plus 2^-1000 where it underflows);
// math::pow, correctly rounded (within 2^-53), lies between the two bounds.
template <class D>
struct SpecularBounds {
  D low;
  D high;
};

template <class F>
[[gnu::always_inline]] inline auto specularBounds(F sp) {
  const auto x = widen(sp);
  const auto x2 = x * x;
  const auto x4 = x2 * x2;
  const auto x8 = x4 * x4;
  const auto x16 = x8 * x8;
  const auto x20 = x16 * x4;
  constexpr double kMargin = 0x1p-40;
  constexpr double kUnderflow = 0x1p-1000;
  auto low = x20 * (1.0 - kMargin) - kUnderflow;
  low = low < 0.0 ? 0.0 : low;
  // pow(0, 20) is exactly 0.
  const auto high = widenMask(sp == 0.0f) ? 0.0 : x20 * (1.0 + kMargin) + kUnderflow;
  return SpecularBounds<std::remove_const_t<decltype(x)>>{kSpecularWeight * low,
                                                          kSpecularWeight * high};
}

// The channel sum acc + (diffuse + specular): the inner sum in double because
// the specular term is a double, the total rounded to float.
template <class F, class D>
[[gnu::always_inline]] inline F accumulate(F acc, F diffuseShare, D specular) {
  return narrow(widen(acc) + (widen(diffuseShare) + specular));
}

// Channel value: accumulator plus ambient, at most 255, truncated. Negative
// sums never occur in the demo (light colours are >= 0); they give 0 rather
// than a value that does not fit a byte.
template <class F>
[[gnu::always_inline]] inline auto channelByte(F accumulator) {
  F v = accumulator + kAmbient;
  v = v < kChannelCeiling ? v : kChannelCeiling;
  v = v < 0.0f ? 0.0f : v;
  return truncate(v);
}

}  // namespace quarvel::raytrace::QUARVEL_LANE_TARGET
