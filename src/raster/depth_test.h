// The span fill's rule for one pixel, written once for one pixel and for lanes of pixels.
#pragma once

#include "lanes/ops.h"
#include "lanes/target.h"

namespace quarvel::raster::QUARVEL_LANE_TARGET {

// A key strictly less than the stored key takes the pixel: `pixel` becomes
// `colour` and `stored` the key. A NaN on either side fails, and so does an
// equal key, so the first of two equal surfaces stays.
template <class F, class U>
[[gnu::always_inline]] inline void depthTest(F key, F& stored, U colour, U& pixel) {
  const auto nearer = key < stored;
  stored = nearer ? key : stored;
  pixel = nearer ? colour : pixel;
}

}  // namespace quarvel::raster::QUARVEL_LANE_TARGET
