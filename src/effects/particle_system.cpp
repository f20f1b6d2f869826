// The particle fountain: birth, motion, ageing and the additive sprite stamp.
#include "effects/particle_system.h"

#include <algorithm>

#include "math/elementary.h"

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
    const double swirlX = halfWidth * math::cos(heading);
    const double swirlY = halfHeight * math::sin(heading);
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

}  // namespace quarvel::effects
