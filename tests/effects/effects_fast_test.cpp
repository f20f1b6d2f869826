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

using testing::Words;

// Random pixels, top byte included, which the passes must ignore.
Words noise(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Words pixels(count);
  for (std::uint32_t& p : pixels) p = random();
  return pixels;
}

TEST(FramePassesFast, SameBitsAsTheReference) {
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
      {3, 3}, {5, 4}, {4, 40}, {17, 9}, {37, 23}, {320, 240}, {1024, 5}, {1025, 4}};
  for (auto [w, h] : sizes) {
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    const auto pass = [&, w = w, h = h](auto apply) {
      return [=] {
        Words pixels = noise(std::size_t{w} * h, w * 31 + h);
        display::Bitmap frame{pixels.data(), w, h};
        apply(frame);
        return pixels;
      };
    };
    testing::expectSameOnEveryPath("blur twice " + size, pass([](display::Bitmap& f) {
                                     blurFrame(f);
                                     blurFrame(f);
                                   }));
    testing::expectSameOnEveryPath("fade " + size, pass([](display::Bitmap& f) { fadeFrame(f); }));
    for (auto [x0, y0] : {std::pair{0u, 0u}, {3u, 2u}, {w - 1, h - 1}, {w, 0u}, {0u, h + 7}}) {
      testing::expectSameOnEveryPath(
          "invert from " + std::to_string(x0) + "," + std::to_string(y0) + " " + size,
          pass([x0 = x0, y0 = y0](display::Bitmap& f) { invertFrom(x0, y0, f); }));
    }
  }
}

TEST(BlobsFast, SameBitsAsTheReference) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const int centres[][2] = {{160, 120}, {0, 0}, {319, 239}, {7, 200}, {300, 3}, {-4, 50}, {320, 10}};
  for (auto [w, h] : {std::pair{320u, 240u}, std::pair{23u, 17u}, std::pair{321u, 2u}}) {
    for (const float strength : {11.0f, 1.0f, 2.5f, 0.0f, -3.0f}) {
      const std::string name = std::to_string(w) + "x" + std::to_string(h) + " strength " +
                               std::to_string(strength);
      testing::expectSameOnEveryPath(name, [&, w = w, h = h] {
        std::mt19937 random(w + h);
        std::uniform_real_distribution<float> start(-0.2f, 1.2f);
        std::vector<float> field(std::size_t{w} * h);
        for (float& v : field) v = start(random);
        field[1] = nan;
        field[2] = 0.99000001f;  // exactly the threshold: stays dark
        field[3] = 1e10f;        // too large for an int after * 255
        const display::Bitmap size{nullptr, w, h};
        for (const auto& c : centres) {
          addBlob(static_cast<std::uint32_t>(c[0]), static_cast<std::uint32_t>(c[1]), field.data(),
                  strength, size);
        }
        field[4] = inf;
        Words pixels = noise(field.size(), 3);
        display::Bitmap frame{pixels.data(), w, h};
        thresholdBlobs(field.data(), 0.99f, frame, static_cast<int>(w), static_cast<int>(h));
        Words out;
        testing::appendWords(out, field);
        testing::appendWords(out, pixels);
        return out;
      });
    }
  }
}

TEST(ParticlesFast, SameBitsAsTheReference) {
  // Positions on, across and off every edge (0.49999997 rounds apart in float
  // and double), lives from below 0 to above the saturation point, and NaN.
  const float places[] = {-9.0f, -7.5f, -0.5f, 0.0f, 0.49999997f, 37.3f, 156.0f, 311.5f, 312.0f,
                          312.49998f, 319.0f, 400.0f};
  const float lives[] = {1.0f, 0.0f, -0.5f, 14.0f, 3.7f, 1e30f,
                         std::numeric_limits<float>::quiet_NaN()};
  for (const std::uint8_t mask : {1, 0, 3}) {
    testing::expectSameOnEveryPath("mask " + std::to_string(mask), [&] {
      DemoRandom random;
      ParticleSystem system(std::size(places) * std::size(places) * 2, {0, 0, 0}, random);
      system.channelMask[1] = mask;
      for (std::size_t i = 0; i < system.particles.size(); ++i) {
        Particle& p = system.particles[i];
        p.position = {places[i % std::size(places)], places[i / std::size(places) % std::size(places)] * 0.75f, 0};
        p.life = lives[i % std::size(lives)];
      }
      Words sprite = noise(64, 5);
      display::Bitmap spriteView{sprite.data(), 8, 8};
      Words pixels = noise(320 * 240, 6);
      display::Bitmap frame{pixels.data(), 320, 240};
      system.draw(frame, spriteView);
      return pixels;
    });
  }
}

}  // namespace
}  // namespace quarvel::effects
