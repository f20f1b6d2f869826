// The particle sprite's intensity table.
#include <array>
#include <cstdint>

#include <gtest/gtest.h>

#include "effects/particle_sprite.h"

namespace quarvel::effects {
namespace {

TEST(ParticleSprite, MatchesTheIntensityTable) {
  // clang-format off
  constexpr std::uint32_t kTable[8][8] = {
      {0,  0,  0,   0,   0,  0,  0, 0},
      {0,  0, 34,  39,  39, 34,  0, 0},
      {0, 34, 47,  63,  63, 47, 34, 0},
      {0, 39, 63, 141, 141, 63, 39, 0},
      {0, 39, 63, 141, 141, 63, 39, 0},
      {0, 34, 47,  63,  63, 47, 34, 0},
      {0,  0, 34,  39,  39, 34,  0, 0},
      {0,  0,  0,   0,   0,  0,  0, 0},
  };
  // clang-format on
  std::array<std::uint32_t, 64> pixels;
  pixels.fill(0xDEADBEEFu);
  display::Bitmap sprite{pixels.data(), 8, 8};
  ASSERT_TRUE(fillParticleSprite(sprite));
  for (std::uint32_t j = 0; j < 8; ++j) {
    for (std::uint32_t i = 0; i < 8; ++i) {
      EXPECT_EQ(pixels[j * 8 + i], kTable[j][i] * 0x010101u) << "column " << i << " row " << j;
    }
  }
  display::Bitmap wrongSize{pixels.data(), 4, 16};
  EXPECT_FALSE(fillParticleSprite(wrongSize));
}

}  // namespace
}  // namespace quarvel::effects
