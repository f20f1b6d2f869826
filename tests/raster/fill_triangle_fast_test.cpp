// The triangle fill's fast path against the reference: random triangles, flat and slanted.
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "raster/fill_triangle.h"
#include "support/vector_paths.h"

namespace quarvel::raster {
namespace {

TEST(FillTriangleFast, SameBitsAsTheReference) {
  const float inf = std::numeric_limits<float>::infinity();
  // Depths of whole triangles parallel to the screen (one key per span), including
  // -inf, whose key is -0, and 0, whose key is -inf.
  const float flat[] = {-0.5f, -0.25f, -0.9999f, -inf, 0.0f};
  for (int variant = 0; variant < 3; ++variant) {
    testing::expectSameOnEveryPath("variant " + std::to_string(variant), [&] {
      std::mt19937 random(variant);
      std::uniform_real_distribution<float> position(-2.0f, 41.0f), depth(-1.0f, -0.1f),
          stored(-4.0f, 1.0f);
      std::vector<std::uint32_t> pixels(40 * 40, 0);
      std::vector<float> depths(pixels.size());
      for (float& d : depths) d = variant == 0 ? 0.0f : stored(random);  // positive: keys lose
      display::Bitmap target{pixels.data(), 40, 40};
      for (std::uint32_t n = 0; n < 300; ++n) {
        math::Vec4 v[3];
        const float z = n % 2 == 0 ? flat[n / 2 % std::size(flat)] : 0;
        for (math::Vec4& p : v) {
          // Inside the target up to the exclusive right and bottom edges.
          p = {std::clamp(position(random), 0.0f, 39.0f), std::clamp(position(random), 0.0f, 39.0f),
               n % 2 == 0 ? z : depth(random), 1};
        }
        fillTriangle(v[0], v[1], v[2], target, depths.data(), n + 1);
      }
      testing::Words out = pixels;
      testing::appendWords(out, depths);
      return out;
    });
  }
}

}  // namespace
}  // namespace quarvel::raster
