// The span fill's rule for one pixel, written once for one pixel and for lanes of pixels.
#pragma once

#include <cstdint>
#include <type_traits>

#include "lanes/ops.h"
#include "lanes/target.h"

namespace quarvel::raster::QUARVEL_LANE_TARGET {

// A key strictly less than the stored key takes the pixel: `*pixel` becomes
// `colour` and `*stored` the key, for one pixel or for lanes of pixels at
// these addresses. A NaN on either side fails, and so does an equal key, so
// the first of two equal surfaces stays.
template <class F, class U>
[[gnu::always_inline]] inline void depthTest(F key, float* stored, U colour, std::uint32_t* pixel) {
  using lanes::QUARVEL_LANE_TARGET::load;
  using lanes::QUARVEL_LANE_TARGET::store;
  const F old = load<F>(stored);
  const auto nearer = key < old;
  if constexpr (std::is_arithmetic_v<F>) {
    // One pixel: a branch, so that a lost test writes nothing.
    if (nearer) {
      *stored = key;
      *pixel = colour;
    }
  } else {
    store(stored, nearer ? key : old);
    store(pixel, nearer ? colour : load<U>(pixel));
  }
}

}  // namespace quarvel::raster::QUARVEL_LANE_TARGET
