// The particle fountain: the order of random draws, rebirth, swing and spin, and the sprite stamp.
#include <array>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "effects/particle_sprite.h"
#include "effects/particle_system.h"

namespace quarvel::effects {
namespace {

// The generator's formula, written out independently of DemoRandom.
struct Sequence {
  std::uint32_t state = 1;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

int speed(Sequence& s, int n, int m) {
  const int a = s.next();
  const int b = s.next();
  const int c = s.next();
  const int d = s.next();
  return 1 / (a % n + 1) - 1 / (b % n + 1) - c % m + d % m;
}

class ParticleTest : public ::testing::Test {
 protected:
  void SetUp() override { ParticleSystem::swing = 1.0f; }
  void TearDown() override { ParticleSystem::swing = 1.0f; }
};

TEST_F(ParticleTest, ConstructionDrawsEightNumbersPerParticleInOrder) {
  DemoRandom random;
  random.next();  // the system draws from wherever the shared sequence stands
  ParticleSystem system(3, {160, 120, 0}, random);
  Sequence expected;
  expected.next();
  for (const Particle& p : system.particles) {
    EXPECT_EQ(p.position.x, 160.0f);
    EXPECT_EQ(p.position.y, 120.0f);
    EXPECT_EQ(p.life, 1.0f);
    EXPECT_EQ(p.heading, 0.0f);
    EXPECT_EQ(p.velocity.x, static_cast<float>(speed(expected, 100, 15)));
    EXPECT_EQ(p.velocity.y, static_cast<float>(speed(expected, 100, 15)));
  }
  EXPECT_EQ(random.next(), expected.next());
}

TEST_F(ParticleTest, RebirthOnlyBelowZeroWithTheHeadingTable) {
  DemoRandom random;
  ParticleSystem system(1, {10, 20, 0}, random);
  Particle& p = system.particles[0];
  p.life = 0.5f;
  p.position = {99, 98, 0};
  system.age(0.1);  // 0.5 - 0.5 is exactly 0: not yet reborn
  EXPECT_EQ(p.life, 0.0f);
  EXPECT_EQ(p.position.x, 99.0f);

  Sequence expected;
  for (int i = 0; i < 8; ++i) expected.next();  // the construction's draws
  system.spin = 0.25f;
  system.age(0.001);
  const int bonus = 1 / (expected.next() % 1000 + 1);
  EXPECT_EQ(p.life, static_cast<float>(bonus + expected.next() % 15));
  EXPECT_EQ(p.velocity.x, static_cast<float>(speed(expected, 10, 50)));
  EXPECT_EQ(p.velocity.y, static_cast<float>(speed(expected, 10, 50)));
  const double pi = 3.1415927410125732;
  const double angles[8] = {0, pi / 2, pi, 3 * pi / 2, 7 * pi / 4, pi / 4, 3 * pi / 4, 5 * pi / 4};
  EXPECT_EQ(p.heading, static_cast<float>(0.25f + angles[expected.next() % 8]));
  EXPECT_EQ(p.position.x, 10.0f);
  EXPECT_EQ(p.position.y, 20.0f);
  // Spin turned by one degree after each age.
  EXPECT_EQ(system.spin, static_cast<float>(0.25f + pi / 180));
}

TEST_F(ParticleTest, SwingAndSpinMoveEvenWithoutParticlesAndBounceAtTheirBounds) {
  DemoRandom random;
  ParticleSystem system(0, {0, 0, 0}, random);
  system.age(0.1);
  EXPECT_EQ(system.spin, static_cast<float>(3.1415927410125732 / 180));
  for (int i = 0; i < 50; ++i) system.move(0.016);
  // 1.0 falls by 0.02 per call; float steps reach 0 and turn round.
  EXPECT_GE(ParticleSystem::swing, 0.0f);
  EXPECT_LT(ParticleSystem::swing, 0.05f);
  for (int i = 0; i < 400; ++i) system.move(0.016);
  EXPECT_LE(ParticleSystem::swing, 5.0f);
  EXPECT_GT(system.swingRate, 0.0f);  // rising again after the bottom, before the top
  for (int i = 0; i < 300; ++i) system.move(0.016);
  EXPECT_LT(system.swingRate, 0.0f);  // turned at 5
}

TEST_F(ParticleTest, InactiveSystemDoesNothing) {
  DemoRandom random;
  ParticleSystem system(5, {100, 100, 0}, random);
  system.active = 0;
  const std::vector<Particle> before = system.particles;
  system.move(1.0);
  system.age(1.0);
  EXPECT_EQ(ParticleSystem::swing, 1.0f);
  EXPECT_EQ(system.spin, 0.0f);
  EXPECT_EQ(system.particles[0].position.x, before[0].position.x);
  EXPECT_EQ(system.particles[0].life, before[0].life);
  std::vector<std::uint32_t> pixels(16 * 16, 0);
  display::Bitmap target{pixels.data(), 16, 16};
  std::array<std::uint32_t, 64> spritePixels{};
  display::Bitmap sprite{spritePixels.data(), 8, 8};
  fillParticleSprite(sprite);
  system.draw(target, sprite);
  EXPECT_EQ(pixels, std::vector<std::uint32_t>(16 * 16, 0));
}

TEST_F(ParticleTest, MoveAddsTheSwirlScaledByTheFrameTime) {
  DemoRandom random;
  ParticleSystem system(1, {0, 0, 0}, random);
  Particle& p = system.particles[0];
  p.velocity = {10, -4, 0};
  p.heading = 0;
  system.move(0.5);
  // swing 1: x gains 0.5 * (10 + 80 * 4 * cos 0), y gains 0.5 * (-4 + 24 * sin 0).
  EXPECT_EQ(p.position.x, 165.0f);
  EXPECT_EQ(p.position.y, -2.0f);
  EXPECT_EQ(p.heading, static_cast<float>(3.1415927410125732 / 90));
  // Half-axes 80 (5 - swing) and 24 swing in float; the swirl, the sums and
  // the dt product in double; x and y rounded once when stored. Rounding the
  // swirl or the sum to float, or a float cosine, gives the neighbouring floats.
  ParticleSystem::swing = 0x1.eb855p+0f;
  p.position = {0x1.58599p+5f, 0x1.1e67eap-2f, 0};
  p.velocity = {47, 31, 0};
  p.heading = 0x1.1dd13p+5f;
  system.move(0.016);
  EXPECT_EQ(p.position.x, 0x1.520cc2p+5f);
  EXPECT_EQ(p.position.y, 0x1.8d1b1ep-4f);
}

TEST_F(ParticleTest, ShadeAndPlotSaturate) {
  DemoRandom random;
  ParticleSystem system(0, {0, 0, 0}, random);
  EXPECT_EQ(system.shade(0x8D8D8D, 14.0f, 1.0f, 0.0f), 0xFF8D00u);
  EXPECT_EQ(system.shade(0x222222, 0.5f, 0.5f, 0.5f), 0x111111u);
  std::uint32_t pixel = 0x01909090;
  display::Bitmap one{&pixel, 1, 1};
  plotAdditive(0.0f, 0.0f, 0xFEFEFE, one);
  EXPECT_EQ(pixel, 0xFFFFFFu);  // half of 0xFE is 0x7F; sums saturate; top byte cleared
  plotAdditive(0.6f, 0.0f, 0xFFFFFF, one);  // rounds to column 1: outside, ignored
  EXPECT_EQ(pixel, 0xFFFFFFu);
}

TEST_F(ParticleTest, SpriteStampStaysInsideAndReachesTheLastColumn) {
  DemoRandom random;
  ParticleSystem system(1, {0, 0, 0}, random);
  std::array<std::uint32_t, 64> spritePixels{};
  spritePixels.fill(0x404040);
  display::Bitmap sprite{spritePixels.data(), 8, 8};
  std::vector<std::uint32_t> pixels(10 * 4, 0);
  display::Bitmap target{pixels.data(), 10, 4};
  Particle& p = system.particles[0];
  p.life = 1.0f;
  p.position = {5.0f, -2.0f, 0};  // columns 5..12 and rows -2..5 of which 5..9 and 0..3 land
  system.draw(target, sprite);
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 10; ++x) {
      // The first particle is tinted: 0.2, 0.8 and 0.3 of 0x40, halved.
      const std::uint32_t expected = x >= 5 ? (6u << 16 | 25u << 8 | 9u) : 0u;
      EXPECT_EQ(pixels[y * 10 + x], expected) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace quarvel::effects
