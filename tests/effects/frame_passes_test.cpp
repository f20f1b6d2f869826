// Frame passes: channel arithmetic, covered ranges, and the in-place blur's smear.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "effects/demo_random.h"
#include "effects/frame_passes.h"

namespace quarvel::effects {
namespace {

// An owned pixel buffer; `view` is refreshed on every use so copies stay independent.
struct Image {
  Image(std::uint32_t w, std::uint32_t h, std::uint32_t fill = 0)
      : width(w), height(h), pixels(w * h, fill) {}
  std::uint32_t& at(std::uint32_t x, std::uint32_t y) { return pixels[y * width + x]; }
  display::Bitmap& view() {
    bitmap = {pixels.data(), width, height};
    return bitmap;
  }
  std::uint32_t width;
  std::uint32_t height;
  std::vector<std::uint32_t> pixels;
  display::Bitmap bitmap;
};

// Random pixels including junk in the top byte, which the passes must ignore.
Image noiseImage(std::uint32_t w, std::uint32_t h) {
  Image image(w, h);
  DemoRandom random;
  for (std::uint32_t& p : image.pixels) {
    p = static_cast<std::uint32_t>(random.next()) << 17 ^ static_cast<std::uint32_t>(random.next());
  }
  return image;
}

TEST(AverageColor, RoundsEachChannelDownWithoutCarry) {
  EXPECT_EQ(averageColor(0xFFFFFFu, 0x000001u), 0x7F7F80u);
  EXPECT_EQ(averageColor(0x000001u, 0xFFFFFFu), 0x7F7F80u);
  EXPECT_EQ(averageColor(0x010101u, 0x000000u), 0x000000u);
  EXPECT_EQ(averageColor(0x102030u, 0x102030u), 0x102030u);
  // Top bytes carry no colour and never leak into red.
  EXPECT_EQ(averageColor(0xFF00FF00u, 0x01FF0000u), 0x007F7F00u);
}

TEST(FadeFrame, StepsEachChannelDownAndStopsAtZero) {
  Image image(4, 1);
  image.pixels = {0x010203u, 0x00FF00u, 0xFF000000u, 0x02FFFF01u};
    fadeFrame(image.view());
  EXPECT_EQ(image.pixels[0], 0x000102u);
  EXPECT_EQ(image.pixels[1], 0x00FE00u);
  EXPECT_EQ(image.pixels[2], 0x000000u);
  EXPECT_EQ(image.pixels[3], 0x00FEFE00u);
}

TEST(FadeFrame, CoversEveryPixelAndNoMore) {
  std::vector<std::uint32_t> buffer(3 * 2 + 1, 0x808080u);
  display::Bitmap view{buffer.data(), 3, 2};
  fadeFrame(view);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(buffer[i], 0x7F7F7Fu) << i;
  EXPECT_EQ(buffer[6], 0x808080u);
}

TEST(InvertFrom, InvertsChannelsAndClearsTopByte) {
  Image image(2, 1);
  image.pixels = {0xFF8000u, 0xAB123456u};
    invertFrom(0, 0, image.view());
  EXPECT_EQ(image.pixels[0], 0x007FFFu);
  EXPECT_EQ(image.pixels[1], 0x00EDCBA9u);
}

TEST(InvertFrom, TouchesOnlyTheBottomRightRegion) {
  Image image(3, 4, 0x000000u);
  invertFrom(1, 2, image.view());
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 3; ++x) {
      const bool inside = x >= 1 && y >= 2;
      EXPECT_EQ(image.at(x, y), inside ? 0xFFFFFFu : 0u) << x << "," << y;
    }
  }
  Image untouched(3, 4, 0x123456u);
  invertFrom(3, 0, untouched.view());
  invertFrom(0, 4, untouched.view());
  invertFrom(0xFFFFFFFFu, 0xFFFFFFFFu, untouched.view());
  for (std::uint32_t p : untouched.pixels) EXPECT_EQ(p, 0x123456u);
}

// The blur written the obvious way: one channel at a time, in place, x outer.
void referenceBlur(Image& image) {
  const std::uint32_t w = image.width;
  const std::uint32_t h = image.height;
  for (std::uint32_t x = 1; x + 1 < w; ++x) {
    for (std::uint32_t y = 1; y + 1 < h; ++y) {
      std::uint32_t result = 0;
      for (int shift : {16, 8, 0}) {
        int sum = 0;
        for (std::uint32_t yy = y - 1; yy <= y + 1; ++yy) {
          for (std::uint32_t xx = x - 1; xx <= x + 1; ++xx) {
            sum += static_cast<int>((image.at(xx, yy) >> shift) & 0xFFu);
          }
        }
        int value = sum / 9;
        if (value > 255) value = 255;
        result |= static_cast<std::uint32_t>(value) << shift;
      }
      image.at(x, y) = result;
    }
  }
}

TEST(BlurFrame, MatchesTheInPlaceColumnOrderBlur) {
  for (auto [w, h] : {std::pair{3u, 9u}, std::pair{9u, 3u}, std::pair{4u, 4u}, std::pair{5u, 6u}}) {
    Image image = noiseImage(w, h);
    Image expected = image;
    referenceBlur(expected);
    blurFrame(image.view());
    EXPECT_EQ(image.pixels, expected.pixels) << w << "x" << h;
  }
  Image image = noiseImage(37, 23);
  Image expected = image;
  referenceBlur(expected);
  blurFrame(image.view());
  EXPECT_EQ(image.pixels, expected.pixels);
  // A second pass strengthens the smear, still in the same order.
  referenceBlur(expected);
  blurFrame(image.view());
  EXPECT_EQ(image.pixels, expected.pixels);
}

TEST(BlurFrame, SmearsTowardsTheBottomRight) {
  Image image(5, 5, 0);
  image.at(2, 2) = 0xFFFFFFu;
  blurFrame(image.view());
  // Worked by hand: each pixel sees the already blurred pixels to its left and above.
  EXPECT_EQ(image.at(1, 1), 0x1C1C1Cu);  // 255 / 9 = 28
  EXPECT_EQ(image.at(1, 2), 0x1F1F1Fu);  // (28 + 255) / 9 = 31
  EXPECT_EQ(image.at(1, 3), 0x1F1F1Fu);  // (31 + 255) / 9 = 31
  EXPECT_EQ(image.at(2, 1), 0x222222u);  // (28 + 31 + 255) / 9 = 34
  EXPECT_EQ(image.at(2, 2), 0x2A2A2Au);  // (28 + 31 + 31 + 34 + 255) / 9 = 42
  // A symmetric blur would give (1, 1) and (3, 3) the same value.
  EXPECT_NE(image.at(1, 1), image.at(3, 3));
}

TEST(BlurFrame, KeepsUniformImagesAndTheBorder) {
  Image uniform(6, 4, 0x4080C0u);
  blurFrame(uniform.view());
  for (std::uint32_t p : uniform.pixels) EXPECT_EQ(p, 0x4080C0u);

  Image image = noiseImage(8, 6);
  const Image before = image;
  blurFrame(image.view());
  for (std::uint32_t y = 0; y < 6; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) {
      if (x == 0 || y == 0 || x == 7 || y == 5) {
        EXPECT_EQ(image.pixels[y * 8 + x], before.pixels[y * 8 + x]) << x << "," << y;
      } else {
        EXPECT_EQ(image.pixels[y * 8 + x] >> 24, 0u) << "top byte written as 0";
      }
    }
  }
}

TEST(BlurFrame, LeavesFramesThinnerThanThreeAlone) {
  for (auto [w, h] : {std::pair{2u, 5u}, std::pair{5u, 2u}, std::pair{0u, 0u}}) {
    Image image = noiseImage(w, h);
    const Image before = image;
    blurFrame(image.view());
    EXPECT_EQ(image.pixels, before.pixels) << w << "x" << h;
  }
  Image smallest = noiseImage(3, 3);
  Image expected = smallest;
  referenceBlur(expected);
  blurFrame(smallest.view());
  EXPECT_EQ(smallest.pixels, expected.pixels);
}

}  // namespace
}  // namespace quarvel::effects
