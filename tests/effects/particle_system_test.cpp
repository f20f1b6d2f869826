// The particle fountain: the sprite's size, rebirth, motion and its rounding, swing and spin,
// and the sprite stamp, plain and on every vector path.
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "effects/effects_lanes.h"
#include "effects/particle_sprite.h"
#include "effects/particle_system.h"
#include "support/vector_paths.h"

namespace quarvel::effects {
namespace {

class Particles : public ::testing::Test {
 protected:
  void SetUp() override { ParticleSystem::swing = 1.0f; }
  DemoRandom random;
};

TEST(ParticleSprite, OnlyAnEightByEightSprite) {
  std::vector<std::uint32_t> pixels(64);
  display::Bitmap wrongSize{pixels.data(), 4, 16};
  EXPECT_FALSE(fillParticleSprite(wrongSize));
}

TEST_F(Particles, RebirthOnlyOnceLifeFallsBelowZero) {
  ParticleSystem system(1, {10, 20, 0}, random);
  system.particles[0] = {{99, 98, 0}, {}, 0.5f, 0};
  system.age(0.1);  // 0.5 - 5 * 0.1 is exactly 0: not yet reborn
  EXPECT_TRUE(system.particles[0].life == 0 && system.particles[0].position.x == 99);
  system.age(0.001);
  EXPECT_TRUE(system.particles[0].position.x == 10 && system.particles[0].position.y == 20);
}

TEST_F(Particles, MoveRoundsOnlyWhenStoring) {
  struct Case {
    const char* name;
    float swing, x, y, heading, vx, vy;
    double dt;
    float wantX, wantY, wantHeading;
  };
  const Case cases[] = {
      // x gains 0.5 (10 + 80 * 4 cos 0), y gains 0.5 (-4 + 24 sin 0); heading + 2 degrees.
      {"heading 0", 1, 0, 0, 0, 10, -4, 0.5, 165, -2, 0x1.1df46ap-5f},
      // cos of the float pi / 2 is -4.37e-8: x moves by 0.5 * 320 of it.
      {"heading pi/2", 1, 0, 0, 0x1.921fb6p+0f, 0, 0, 0.5, -0x1.d558f4p-18f, 12, 0x1.9b0f5ap+0f},
      // Half-axes in float, the rest in double: rounding the swirl or the sum
      // to float, or a float cosine, gives the neighbouring floats.
      {"rounded once", 0x1.eb855p+0f, 0x1.58599p+5f, 0x1.1e67eap-2f, 0x1.1dd13p+5f, 47, 31, 0.016,
       0x1.520cc2p+5f, 0x1.8d1b1ep-4f, 0x1.1e18aep+5f},
  };
  for (const Case& c : cases) {
    ParticleSystem system(1, {0, 0, 0}, random);
    ParticleSystem::swing = c.swing;
    Particle& p = system.particles[0];
    p = {{c.x, c.y, 0}, {c.vx, c.vy, 0}, 1, c.heading};
    system.move(c.dt);
    EXPECT_TRUE(p.position.x == c.wantX && p.position.y == c.wantY && p.heading == c.wantHeading)
        << c.name << ": " << p.position.x << " " << p.position.y << " " << p.heading;
  }
}

TEST_F(Particles, SwingAndSpinTurnEvenWithoutParticlesButNotWhenInactive) {
  ParticleSystem system(0, {0, 0, 0}, random);
  system.age(0.1);
  EXPECT_EQ(system.spin, 0x1.1df46ap-6f);
  // 1.0 falls by the float 0.02 per move: 50 moves leave 0x1.ap-22, the 51st turns at 0.
  const int moves[] = {50, 51, 52, 302, 553};
  const float swing[] = {0x1.ap-22f, 0, 0.02f, 5, 0},
              rate[] = {0.02f, -0.02f, -0.02f, 0.02f, -0.02f};
  for (int i = 0, done = 0; i < 5; ++i) {
    for (; done < moves[i]; ++done) system.move(0.016);
    EXPECT_TRUE(ParticleSystem::swing == swing[i] && system.swingRate == rate[i]) << moves[i];
  }
  ParticleSystem idle(1, {0, 0, 0}, random);
  idle.active = 0;
  ParticleSystem::swing = 1;
  idle.move(1.0);
  idle.age(1.0);
  std::uint32_t pixel = 0;
  display::Bitmap target{&pixel, 1, 1};
  std::vector<std::uint32_t> white(64, 0xFFFFFF);
  idle.draw(target, {white.data(), 8, 8});
  EXPECT_TRUE(ParticleSystem::swing == 1 && idle.spin == 0 && idle.particles[0].life == 1);
  EXPECT_TRUE(idle.particles[0].position.x == 0 && pixel == 0);
}

TEST_F(Particles, ShadeAndPlotSaturate) {
  ParticleSystem system(0, {0, 0, 0}, random);
  EXPECT_EQ(system.shade(0x8D8D8D, 14.0f, 1.0f, 0.0f), 0xFF8D00u);
  EXPECT_EQ(system.shade(0x222222, -1.0f, 0.5f, 2.0f), 0x001144u);  // clamped to 0..255
  system.channelMask[0] = 2;
  system.channelMask[2] = 3;
  EXPECT_EQ(system.shade(0x102030, 1.0f, 1.0f, 1.0f), 0x202090u);  // masks before the factor
  std::vector<std::uint32_t> pixels{0x01909090, 0x101010, 0x101010, 0x101010};
  display::Bitmap square{pixels.data(), 2, 2};
  plotAdditive(0.0f, 0.0f, 0xFEFEFE, square);   // half of 0xFE is 0x7F; saturated; top byte 0
  plotAdditive(0.5f, 0.49f, 0x020406, square);  // trunc(x + 0.5): column 1, row 0
  plotAdditive(-0.6f, 1.4f, 0x204060, square);  // trunc(-0.1) is column 0
  plotAdditive(1.6f, 0.0f, 0xFFFFFF, square);   // column 2: outside, ignored
  plotAdditive(1.4f, -0.6f, 0x0A0A0A, square);  // trunc(-0.1) is row 0
  EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0xFFFFFF, 0x161718, 0x203040, 0x101010}));
}

TEST_F(Particles, SpriteStampSkipsNegativeAndPastTheLastColumnAndTintsEveryTenth) {
  ParticleSystem system(2, {0, 0, 0}, random);
  std::vector<std::uint32_t> spritePixels(64, 0x404040);
  std::vector<std::uint32_t> pixels(10 * 4, 0);
  display::Bitmap target{pixels.data(), 10, 4};
  // Particle 0, tinted (0.2, 0.8, 0.3 of 64, halved: 6, 25, 9): X from -0.4,
  // whose first column is skipped though it would round to 0; columns 1..7.
  system.particles[0].life = 1;
  system.particles[0].position = {-0.4f, -2, 0};
  // Particle 1, untinted with life 2 (128, halved): X 2.6 .. 9.6; 9.6 is past
  // the last column and skipped, 8.6 lands on it; rows 0..3 of 0..7.
  system.particles[1].life = 2;
  system.particles[1].position = {2.6f, 0, 0};
  system.draw(target, {spritePixels.data(), 8, 8});
  const std::uint32_t expectedRow[10] = {0,        0x061909, 0x061909, 0x465949, 0x465949,
                                         0x465949, 0x465949, 0x465949, 0x404040, 0x404040};
  for (std::uint32_t i = 0; i < pixels.size(); ++i) {
    EXPECT_EQ(pixels[i], expectedRow[i % 10]) << i % 10 << "," << i / 10;
  }
}

using ParticlesOnEveryTarget = testing::LaneTargetTest;

TEST_P(ParticlesOnEveryTarget, SameBitsAsTheReference) {
  // Places on, across and off every edge (0.49999997 rounds apart in float and
  // in double), lives from below 0 to past saturation, and NaN.
  const float places[] = {-9.0f,  -7.5f,  -0.5f,  0.0f,       0.49999997f, 37.3f,
                          156.0f, 311.5f, 312.0f, 312.49998f, 319.0f,      400.0f};
  const float lives[] = {
      1.0f, 0.0f, -0.5f, 14.0f, 3.7f, 1e30f, std::numeric_limits<float>::quiet_NaN()};
  const std::size_t n = std::size(places);
  expectSameAsReference("fountain", [&](lanes::VectorPath path) {
    DemoRandom random;
    ParticleSystem system(n * n * 2, {0, 0, 0}, random);
    system.channelMask[0] = 3;  // masks scale channels before the factors
    system.channelMask[1] = 0;
    for (std::size_t i = 0; i < system.particles.size(); ++i) {
      system.particles[i].position = {places[i % n], places[i / n % n] * 0.75f, 0};
      system.particles[i].life = lives[i % std::size(lives)];
    }
    testing::Words sprite = testing::noise(64, 5);
    display::Bitmap spriteView{sprite.data(), 8, 8};
    testing::Words pixels = testing::noise(320 * 240, 6);
    display::Bitmap frame{pixels.data(), 320, 240};
    system.draw(effectKernels(path), frame, spriteView);
    return pixels;
  });
}
INSTANTIATE_TEST_SUITE_P(Targets, ParticlesOnEveryTarget, testing::laneTargets(),
                         testing::targetName);

}  // namespace
}  // namespace quarvel::effects
