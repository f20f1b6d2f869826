// The particle fountain: birth, motion, ageing and the additive sprite stamp.
#include "effects/particle_system.h"

#include <algorithm>
#include <cmath>

namespace quarvel::effects {
namespace {

// The single-precision pi, widened: the steps and headings are formed in
// double from it.
constexpr double kPi = 3.1415927410125732;
constexpr double kTwoDegrees = kPi / 90;
constexpr double kOneDegree = kPi / 180;
constexpr double kRebirthAngles[8] = {0,          kPi / 2,        kPi,     3 * kPi / 2,
                                      7 * kPi / 4, kPi / 4, 3 * kPi / 4, 5 * kPi / 4};

// 1 / (rand() % n + 1) - 1 / (rand() % n + 1) - rand() % m + rand() % m, with
// the four calls made in that order. The integer quotients add a rare extra unit.
int randomSpeed(DemoRandom& random, int n, int m) {
  const int a = 1 / (random.next() % n + 1);
  const int b = 1 / (random.next() % n + 1);
  const int c = random.next() % m;
  const int d = random.next() % m;
  return a - b - c + d;
}

std::uint32_t scaleChannel(std::uint32_t value, std::uint8_t mask, float factor) {
  const float scaled = static_cast<float>(value * mask) * factor;
  return static_cast<std::uint32_t>(std::clamp(scaled, 0.0f, 255.0f));
}

}  // namespace

ParticleSystem::ParticleSystem(std::uint32_t particleCount, math::Vec3 start, DemoRandom& random)
    : particles(particleCount), origin(start), count(particleCount), random_(&random) {
  for (Particle& p : particles) {
    p.position = origin;
    p.life = static_cast<float>(initialLife);
    const int vx = randomSpeed(random, 100, 15);
    const int vy = randomSpeed(random, 100, 15);
    p.velocity = {static_cast<float>(vx), static_cast<float>(vy), 0.0f};
    p.heading = 0.0f;
  }
}

void ParticleSystem::move(double dt) {
  if (active == 0) return;
  // The ellipse's half-axes are float products; the swirl, the sums and the dt
  // product stay in double, so each position is rounded once, when stored.
  const float halfWidth = 80 * (5 - swing);
  const float halfHeight = 24 * swing;
  for (Particle& p : particles) {
    const double heading = p.heading;
    const double swirlX = halfWidth * std::cos(heading);
    const double swirlY = halfHeight * std::sin(heading);
    p.position.x = static_cast<float>(p.position.x + dt * (p.velocity.x + swirlX));
    p.position.y = static_cast<float>(p.position.y + dt * (p.velocity.y + swirlY));
    p.heading = static_cast<float>(p.heading + kTwoDegrees);
  }
  swing -= swingRate;
  if (swing < 0) {
    swing = 0;
    swingRate = -swingRate;
  } else if (swing > 5) {
    swing = 5;
    swingRate = -swingRate;
  }
}

void ParticleSystem::age(double dt) {
  if (active == 0) return;
  const double decay = dt * 5;
  for (Particle& p : particles) {
    p.life = static_cast<float>(p.life - decay);
    if (p.life >= 0) continue;  // a life of exactly 0 lives one more step
    p.position.x = origin.x;
    p.position.y = origin.y;
    const int bonus = 1 / (random_->next() % 1000 + 1);
    p.life = static_cast<float>(bonus + random_->next() % 15);
    const int vx = randomSpeed(*random_, 10, 50);
    const int vy = randomSpeed(*random_, 10, 50);
    p.velocity.x = static_cast<float>(vx);
    p.velocity.y = static_cast<float>(vy);
    p.heading = static_cast<float>(spin + kRebirthAngles[random_->next() % 8]);
  }
  spin = static_cast<float>(spin + kOneDegree);
}

std::uint32_t ParticleSystem::shade(std::uint32_t s, float red, float green, float blue) const {
  return scaleChannel((s >> 16) & 255, channelMask[0], red) << 16 |
         scaleChannel((s >> 8) & 255, channelMask[1], green) << 8 |
         scaleChannel(s & 255, channelMask[2], blue);
}

void ParticleSystem::draw(display::Bitmap& target, const display::Bitmap& sprite) const {
  if (active == 0) return;
  const auto lastX = static_cast<float>(target.width) - 1;
  const auto lastY = static_cast<float>(target.height) - 1;
  for (std::uint32_t i = 0; i < particles.size(); ++i) {
    const Particle& p = particles[i];
    const bool green = i % 10 == 0;
    const float red = green ? static_cast<float>(0.2 * p.life) : p.life;
    const float greenFactor = green ? static_cast<float>(0.8 * p.life) : p.life;
    const float blue = green ? static_cast<float>(0.3 * p.life) : p.life;
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
