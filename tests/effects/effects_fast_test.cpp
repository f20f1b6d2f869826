// The 2D passes' fast paths against the reference: blur, fade, invert, blobs and particles.
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "effects/blobs.h"
#include "effects/frame_passes.h"
#include "effects/particle_system.h"
#include "support/vector_paths.h"

namespace quarvel::effects {
namespace {

using testing::noise;
using testing::Words;

TEST(FramePassesFast, SameBitsAsTheReference) {
  // Sizes around the lane widths, the demo's frame, and the widest blur the
  // fast path takes and one beyond; inversions from inside, the edges and outside.
  const struct {
    std::uint32_t w, h, x0, y0;
  } cases[] = {{3, 3, 0, 0},     {5, 4, 3, 2},       {4, 40, 3, 39},
               {17, 9, 17, 0},   {37, 23, 0, 30},    {320, 240, 0, 0},
               {320, 240, 5, 7}, {1024, 5, 1000, 1}, {1025, 4, 0, 0}};
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + " from " +
                             std::to_string(c.x0) + "," + std::to_string(c.y0);
    testing::expectSameOnEveryPath(name, [&] {
      Words pixels = noise(std::size_t{c.w} * c.h, c.w * 31 + c.h);
      display::Bitmap frame{pixels.data(), c.w, c.h};
      blurFrame(frame);
      Words out = pixels;
      blurFrame(frame);  // the demo blurs twice: the second pass reads the first's smear
      fadeFrame(frame);
      testing::appendWords(out, pixels);
      invertFrom(c.x0, c.y0, frame);
      testing::appendWords(out, pixels);
      return out;
    });
  }
}

TEST(BlobsFast, SameBitsAsTheReference) {
  // Centres at the corners, just outside and wrapped around (negative).
  const int centres[][2] = {{160, 120}, {0, 0},   {319, 239}, {7, 200},
                            {300, 3},   {-4, 50}, {320, 10}};
  const struct {
    std::uint32_t w, h;
    float strength;
  } cases[] = {{320, 240, 11}, {320, 240, 2.5f}, {23, 17, 1}, {321, 2, 3}, {16, 16, 0}, {9, 5, -3}};
  for (const auto& c : cases) {
    const std::string name =
        std::to_string(c.w) + "x" + std::to_string(c.h) + " strength " + std::to_string(c.strength);
    testing::expectSameOnEveryPath(name, [&] {
      std::mt19937 random(c.w + c.h);
      std::uniform_real_distribution<float> start(-0.2f, 1.2f);
      std::vector<float> field(std::size_t{c.w} * c.h);
      for (float& v : field) v = start(random);
      field[1] = std::numeric_limits<float>::quiet_NaN();
      field[2] = 0.99000001f;  // exactly the threshold: stays dark
      const display::Bitmap size{nullptr, c.w, c.h};
      for (const auto& xy : centres) {
        addBlob(static_cast<std::uint32_t>(xy[0]), static_cast<std::uint32_t>(xy[1]), field.data(),
                c.strength, size);
      }
      field[3] = 1e10f;  // too large for an int once times 255
      field[4] = std::numeric_limits<float>::infinity();
      Words pixels = noise(field.size(), 3);
      display::Bitmap frame{pixels.data(), c.w, c.h};
      thresholdBlobs(field.data(), 0.99f, frame, static_cast<int>(c.w), static_cast<int>(c.h));
      Words out = pixels;
      testing::appendWords(out, field);
      return out;
    });
  }
}

TEST(ParticlesFast, SameBitsAsTheReference) {
  // Places on, across and off every edge (0.49999997 rounds apart in float and
  // in double), lives from below 0 to past saturation, and NaN.
  const float places[] = {-9.0f,  -7.5f,  -0.5f,  0.0f,       0.49999997f, 37.3f,
                          156.0f, 311.5f, 312.0f, 312.49998f, 319.0f,      400.0f};
  const float lives[] = {
      1.0f, 0.0f, -0.5f, 14.0f, 3.7f, 1e30f, std::numeric_limits<float>::quiet_NaN()};
  const std::size_t n = std::size(places);
  testing::expectSameOnEveryPath("fountain", [&] {
    DemoRandom random;
    ParticleSystem system(n * n * 2, {0, 0, 0}, random);
    system.channelMask[0] = 3;  // masks scale channels before the factors
    system.channelMask[1] = 0;
    for (std::size_t i = 0; i < system.particles.size(); ++i) {
      system.particles[i].position = {places[i % n], places[i / n % n] * 0.75f, 0};
      system.particles[i].life = lives[i % std::size(lives)];
    }
    Words sprite = noise(64, 5);
    display::Bitmap spriteView{sprite.data(), 8, 8};
    Words pixels = noise(320 * 240, 6);
    display::Bitmap frame{pixels.data(), 320, 240};
    system.draw(frame, spriteView);
    return pixels;
  });
}

}  // namespace
}  // namespace quarvel::effects
