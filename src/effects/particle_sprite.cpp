// The 8 x 8 grey particle sprite.
#include "effects/particle_sprite.h"

#include <cmath>

namespace quarvel::effects {

bool fillParticleSprite(display::Bitmap& sprite) {
  if (sprite.pixels == nullptr || sprite.width != kParticleSpriteSize ||
      sprite.height != kParticleSpriteSize) {
    return false;
  }
  for (std::uint32_t j = 0; j < kParticleSpriteSize; ++j) {
    for (std::uint32_t i = 0; i < kParticleSpriteSize; ++i) {
      const double di = static_cast<double>(i) - 3.5;
      const double dj = static_cast<double>(j) - 3.5;
      const double d = std::sqrt(di * di + dj * dj);
      auto v = static_cast<std::uint32_t>(100.0 / d);  // d >= sqrt(0.5): no centre pixel
      if (v < 33) v = 0;
      sprite.pixels[j * kParticleSpriteSize + i] = (v << 16) | (v << 8) | v;
    }
  }
  return true;
}

}  // namespace quarvel::effects
