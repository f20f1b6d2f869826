// The mixer's step for one frame or for lanes of frames: interpolation and the gain-weighted sum.
#pragma once

#include "lanes/target.h"

namespace quarvel::music::QUARVEL_LANE_TARGET {

// A 32-bit position fraction halved (so that it converts as a signed value)
// and scaled to [0, 1).
inline constexpr float kFractionScale = 0x1p-31f;

// The fraction t of a halved fraction already converted to float.
template <class F>
[[gnu::always_inline]] inline F fractionOf(F halfFraction) {
  return halfFraction * kFractionScale;
}

// The value between the sample values a and b at fraction t.
template <class F>
[[gnu::always_inline]] inline F interpolateBetween(F a, F b, F t) {
  return a + (b - a) * t;
}

// A mix sum after adding a value weighted by its channel's gain.
template <class F>
[[gnu::always_inline]] inline F addWeighted(F sum, F value, F gain) {
  return sum + value * gain;
}

}  // namespace quarvel::music::QUARVEL_LANE_TARGET
