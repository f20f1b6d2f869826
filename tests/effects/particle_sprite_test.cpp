// The particle sprite's intensity table.
#include <array>
#include <cstdint>

#include <gtest/gtest.h>

#include "effects/particle_sprite.h"

namespace quarvel::effects {
namespace {

TEST(ParticleSprite, MatchesTheIntensityTable) {
  constexpr std::array<std::array<std::uint32_t, 8>, 8> kTable{{
      {0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 34, 39, 39, 34, 0, 0},
      {0, 34, 47, 63, 63, 47, 34, 0},
      {0, 39, 63, 141, 141, 63, 39, 0},
      {0, 39, 63, 141, 141, 63, 39, 0},
      {0, 34, 47, 63, 63, 47, 34, 0},
      {0, 0, 34, 39, 39, 34, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0},
  }};
  std::array<std::uint32_t, 64> pixels;
  pixels.fill(0xDEADBEEFu);
  display::Bitmap sprite{pixels.data(), 8, 8};
  ASSERT_TRUE(fillParticleSprite(sprite));
  for (std::uint32_t j = 0; j < 8; ++j) {
    for (std::uint32_t i = 0; i < 8; ++i) {
      const std::uint32_t v = kTable[j][i];
      EXPECT_EQ(pixels[j * 8 + i], (v << 16) | (v << 8) | v) << "column " << i << " row " << j;
    }
  }
}

TEST(ParticleSprite, RefusesOtherSizes) {
  std::array<std::uint32_t, 81> pixels;
  pixels.fill(5u);
  display::Bitmap wrong{pixels.data(), 9, 9};
  EXPECT_FALSE(fillParticleSprite(wrong));
  display::Bitmap empty{nullptr, 8, 8};
  EXPECT_FALSE(fillParticleSprite(empty));
  for (std::uint32_t p : pixels) EXPECT_EQ(p, 5u);
}

}  // namespace
}  // namespace quarvel::effects
