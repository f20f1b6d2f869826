// The 2D passes' per-value rules: blob share and cap, grey level, fade, inversion.
//
// Written once for one value and for lanes of values; the reference and every
// lane target include this header.
#pragma once

#include <cmath>
#include <cstdint>

#include "lanes/ops.h"
#include "lanes/target.h"

namespace quarvel::effects::QUARVEL_LANE_TARGET {

using lanes::QUARVEL_LANE_TARGET::asBytes;
using lanes::QUARVEL_LANE_TARGET::asUnsigned;
using lanes::QUARVEL_LANE_TARGET::narrow;
using lanes::QUARVEL_LANE_TARGET::truncate;
using lanes::QUARVEL_LANE_TARGET::widen;

// The distance sqrt(dx^2 + dy^2) in double of a pixel from a blob centre, from
// the horizontal offset `dx` (modulo 2^32) and the squared vertical distance
// `dy2`. Offsets wrap and their squares equal those of the signed offsets, so
// a centre just off the field works too; the square is taken as an int32.
[[gnu::always_inline]] inline double blobDistance(std::uint32_t dx, std::uint32_t dy2) {
  const auto d2 = static_cast<std::int32_t>(dx * dx + dy2);
  return std::sqrt(static_cast<double>(d2));
}

// A centre's share of a pixel at `distance`, in double; infinite at the centre.
template <class D>
[[gnu::always_inline]] inline D blobShare(double strength, D distance) {
  return strength / distance;
}

// A field value plus a share: the sum in double, rounded to float and capped
// at 1.
template <class F, class D>
[[gnu::always_inline]] inline F addShare(F value, D share) {
  const F sum = narrow(widen(value) + share);
  return sum > 1.0f ? 1.0f : sum;
}

// The low byte of trunc(v * 255); products too large for an int32 never
// occur (the field is capped at 1) and give 255 instead.
template <class F>
[[gnu::always_inline]] inline auto greyLevel(F v) {
  const F scaled = v * 255.0f;
  const auto fits = (scaled < 2147483648.0f) & (scaled > -2147483648.0f);
  return fits ? asUnsigned(truncate(scaled)) & 0xFFu : 0xFFu;
}

// The pixel of grey level g.
template <class U>
[[gnu::always_inline]] inline U greyPixel(U g) {
  return (g << 16) | (g << 8) | g;
}

// One fade step: each channel c becomes c - 1, and 0 and 1 both become 0; the
// top byte becomes 0. Byte by byte, c + (c != 0 ? -1 : 0).
template <class U>
[[gnu::always_inline]] inline U fadePixel(U p) {
  const auto bytes = asBytes(p);
  // A true comparison is the all-ones byte, -1.
  const auto faded = bytes + __builtin_bit_cast(decltype(bytes), bytes != 0);
  return __builtin_bit_cast(U, faded) & 0xFFFFFFu;
}

// Each channel c becomes 255 - c (its eight bits flipped); the top byte becomes 0.
template <class U>
[[gnu::always_inline]] inline U invertPixel(U p) {
  return ~p & 0xFFFFFFu;
}

}  // namespace quarvel::effects::QUARVEL_LANE_TARGET
