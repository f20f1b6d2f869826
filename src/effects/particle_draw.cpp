// Drawing the particle fountain: the additive sprite stamp, plain and in vector lanes.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "effects/effects_lanes.h"
#include "effects/particle_system.h"

namespace quarvel::effects {

void ParticleSystem::draw(display::Bitmap& target, const display::Bitmap& sprite) const {
  draw(chosenEffectKernels(), target, sprite);
}

void ParticleSystem::draw(const EffectKernels& kernels, display::Bitmap& target,
                          const display::Bitmap& sprite) const {
  if (active == 0) return;
  const auto lastX = static_cast<float>(target.width) - 1;
  const auto lastY = static_cast<float>(target.height) - 1;
  for (std::uint32_t i = 0; i < particles.size(); ++i) {
    const Particle& p = particles[i];
    const bool green = i % 10 == 0;
    const float red = green ? static_cast<float>(0.2 * p.life) : p.life;
    const float greenFactor = green ? static_cast<float>(0.8 * p.life) : p.life;
    const float blue = green ? static_cast<float>(0.3 * p.life) : p.life;
    // The fast stamp covers the usual particle: finite life, all eight
    // columns on the frame. The plain loops below do every other one.
    const float factors[3] = {red, greenFactor, blue};
    if (kernels.stamp != nullptr &&
        EffectKernels::takesStamp(sprite.width, sprite.height, factors) &&
        kernels.stamp(p.position.x, p.position.y, factors, channelMask, sprite.pixels,
                      target.pixels, target.width, target.height)) {
      continue;
    }
    for (std::uint32_t sx = 0; sx < sprite.width; ++sx) {
      const float x = p.position.x + static_cast<float>(sx);
      if (!(x >= 0 && x <= lastX)) continue;
      for (std::uint32_t sy = 0; sy < sprite.height; ++sy) {
        const float y = p.position.y + static_cast<float>(sy);
        if (!(y >= 0 && y <= lastY)) continue;
        const std::uint32_t s = sprite.pixels[sy * sprite.width + sx];
        plotAdditive(x, y, shade(s, red, greenFactor, blue), target);
      }
    }
  }
}

void plotAdditive(float x, float y, std::uint32_t colour, display::Bitmap& target) {
  const double fx = std::trunc(x + 0.5);
  const double fy = std::trunc(y + 0.5);
  if (!(fx >= 0 && fy >= 0 && fx < target.width && fy < target.height)) return;
  std::uint32_t& pixel =
      target.pixels[static_cast<std::size_t>(fy) * target.width + static_cast<std::size_t>(fx)];
  const auto add = [&](int shift) {
    const std::uint32_t sum = ((pixel >> shift) & 255) + (((colour >> shift) & 255) >> 1);
    return std::min<std::uint32_t>(sum, 255) << shift;
  };
  pixel = add(16) | add(8) | add(0);
}

}  // namespace quarvel::effects
