// Frame passes: channel arithmetic, covered ranges, and the in-place blur's smear.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "effects/demo_random.h"
#include "effects/frame_passes.h"

namespace quarvel::effects {
namespace {

struct Image {
  std::uint32_t width, height;
  std::vector<std::uint32_t> pixels;
  display::Bitmap bitmap{};
  std::uint32_t& at(std::uint32_t x, std::uint32_t y) { return pixels[y * width + x]; }
  display::Bitmap& view() { return bitmap = {pixels.data(), width, height}; }
};

// Random pixels with junk in the top byte, which the passes must ignore.
Image noiseImage(std::uint32_t w, std::uint32_t h) {
  Image image{w, h, std::vector<std::uint32_t>(w * h)};
  DemoRandom random;
  for (std::uint32_t& p : image.pixels) p = static_cast<std::uint32_t>(random.next()) * 0x2C3A1u;
  return image;
}

TEST(FramePasses, ChannelArithmeticAndCoverage) {
  EXPECT_EQ(averageColor(0xFFFFFFu, 0x000001u), 0x7F7F80u);
  EXPECT_EQ(averageColor(0xFF00FF00u, 0x01FF0000u), 0x007F7F00u);  // top bytes ignored

  Image fade{4, 1, {0x010203u, 0x00FF00u, 0xFF000000u, 0x02FFFF01u, 0x777777u}};
  fadeFrame(fade.view());  // the fifth pixel lies outside the frame
  EXPECT_EQ(fade.pixels,
            (std::vector<std::uint32_t>{0x000102u, 0x00FE00u, 0, 0xFEFE00u, 0x777777u}));

  Image invert{3, 2, {0xFF8000u, 0xAB123456u, 0, 0, 0, 0}};
  invertFrom(0, 0, invert.view());
  EXPECT_EQ(invert.pixels[0], 0x007FFFu);
  EXPECT_EQ(invert.pixels[1], 0x00EDCBA9u);
  invertFrom(1, 1, invert.view());  // only the bottom-right region
  EXPECT_EQ(invert.pixels,
            (std::vector<std::uint32_t>{0x007FFFu, 0xEDCBA9u, 0xFFFFFFu, 0xFFFFFFu, 0, 0}));
  invertFrom(3, 0, invert.view());
  invertFrom(0, 2, invert.view());
  EXPECT_EQ(invert.pixels[4], 0u);
}

// The blur written the obvious way: one channel at a time, in place, x outer.
void referenceBlur(Image& image) {
  for (std::uint32_t x = 1; x + 1 < image.width; ++x) {
    for (std::uint32_t y = 1; y + 1 < image.height; ++y) {
      std::uint32_t result = 0;
      for (int shift : {16, 8, 0}) {
        std::uint32_t sum = 0;
        for (std::uint32_t yy = y - 1; yy <= y + 1; ++yy) {
          for (std::uint32_t xx = x - 1; xx <= x + 1; ++xx)
            sum += (image.at(xx, yy) >> shift) & 0xFFu;
        }
        result |= std::min(sum / 9, 255u) << shift;
      }
      image.at(x, y) = result;
    }
  }
}

TEST(BlurFrame, MatchesTheInPlaceColumnOrderBlurAndKeepsTheBorder) {
  for (auto [w, h] : {std::pair{3u, 9u}, std::pair{9u, 3u}, std::pair{4u, 4u}, std::pair{37u, 23u},
                      std::pair{2u, 5u}, std::pair{5u, 2u}, std::pair{0u, 0u}}) {
    Image image = noiseImage(w, h);
    const Image original = image;
    Image expected = image;
    for (int pass = 0; pass < 2; ++pass) {  // the second pass strengthens the smear
      referenceBlur(expected);
      blurFrame(image.view());
      EXPECT_EQ(image.pixels, expected.pixels) << w << "x" << h << " pass " << pass;
    }
    for (std::uint32_t i = 0; i < w * h; ++i) {
      const std::uint32_t x = i % w, y = i / w;
      if (x == 0 || y == 0 || x + 1 == w || y + 1 == h) {
        EXPECT_EQ(image.pixels[i], original.pixels[i]) << x << "," << y;
      }
    }
  }
}

TEST(BlurFrame, SmearsTowardsTheBottomRight) {
  Image image{5, 5, std::vector<std::uint32_t>(25, 0)};
  image.at(2, 2) = 0xFFFFFFu;
  blurFrame(image.view());
  // Each pixel sees the already blurred pixels to its left and above.
  EXPECT_EQ(image.at(1, 1), 0x1C1C1Cu);       // 255 / 9 = 28
  EXPECT_EQ(image.at(1, 2), 0x1F1F1Fu);       // (28 + 255) / 9 = 31
  EXPECT_EQ(image.at(2, 1), 0x222222u);       // (28 + 31 + 255) / 9 = 34
  EXPECT_EQ(image.at(2, 2), 0x2A2A2Au);       // (28 + 31 + 31 + 34 + 255) / 9 = 42
  EXPECT_NE(image.at(1, 1), image.at(3, 3));  // not symmetric

  Image uniform{6, 4, std::vector<std::uint32_t>(24, 0x4080C0u)};
  blurFrame(uniform.view());
  EXPECT_EQ(uniform.pixels, std::vector<std::uint32_t>(24, 0x4080C0u));
}

}  // namespace
}  // namespace quarvel::effects
