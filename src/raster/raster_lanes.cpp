// The depth-tested span fill on kLanes pixels at once, for spans of one depth key.
#include "raster/raster_lanes.h"

#include "math/lanes.h"

namespace quarvel::raster {

template <>
void fillConstantSpan<math::kLanePath>(std::uint32_t* pixels, float* depth, std::size_t count,
                                       float key, std::uint32_t colour) {
  using math::Floats;
  using math::UInts;
  const Floats keys = math::splat<Floats>(key);
  const UInts colours = math::splat<UInts>(colour);
  std::size_t x = 0;
  for (; x + math::kLanes <= count; x += math::kLanes) {
    const Floats stored = math::load<Floats>(depth + x);
    const auto nearer = keys < stored;  // NaN on either side fails, as in the span loop
    math::store(depth + x, nearer ? keys : stored);
    math::store(pixels + x, nearer ? colours : math::load<UInts>(pixels + x));
  }
  for (; x < count; ++x) {
    if (key < depth[x]) {
      pixels[x] = colour;
      depth[x] = key;
    }
  }
}

}  // namespace quarvel::raster
