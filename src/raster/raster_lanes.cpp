// The depth-tested span fill on kLanes pixels at once, for spans of one depth key.
#include "raster/raster_lanes.h"

#include "lanes/lanes.h"
#include "raster/depth_test.h"

namespace quarvel::raster {

namespace QUARVEL_LANE_TARGET {
namespace lanes = lanes::QUARVEL_LANE_TARGET;

void fillConstantSpan(std::uint32_t* pixels, float* depth, std::size_t count, float key,
                      std::uint32_t colour) {
  using lanes::Floats;
  using lanes::UInts;
  const Floats keys = lanes::splat<Floats>(key);
  const UInts colours = lanes::splat<UInts>(colour);
  std::size_t x = 0;
  for (; x + lanes::kLanes <= count; x += lanes::kLanes) {
    depthTest(keys, depth + x, colours, pixels + x);
  }
  for (; x < count; ++x) depthTest(key, depth + x, colour, pixels + x);
}

}  // namespace QUARVEL_LANE_TARGET

template <>
void fillConstantSpan<lanes::QUARVEL_LANE_TARGET::kLanePath>(std::uint32_t* pixels, float* depth,
                                                             std::size_t count, float key,
                                                             std::uint32_t colour) {
  QUARVEL_LANE_TARGET::fillConstantSpan(pixels, depth, count, key, colour);
}

}  // namespace quarvel::raster
