// Cost of the 2D passes: a whole blob frame, and the blur, fade and invert on their own.
#include <array>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/blobs.h"
#include "effects/demo_random.h"
#include "effects/effects_lanes.h"
#include "effects/frame_passes.h"
#include "effects/particle_sprite.h"
#include "effects/particle_system.h"
#include "vector_paths.h"

namespace {

using namespace quarvel;

std::vector<std::uint32_t> noiseFrame() {
  std::vector<std::uint32_t> pixels(76800);
  effects::DemoRandom random;
  for (std::uint32_t& p : pixels) {
    p = static_cast<std::uint32_t>(random.next()) << 9 ^ static_cast<std::uint32_t>(random.next());
  }
  return pixels;
}

// Clear, ten centres into the field, move, threshold and blur: one blob frame.
void BM_BlobFrame(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels(76800, 0);
  display::Bitmap frame{pixels.data(), 320, 240};
  effects::DemoRandom random;
  std::array<effects::BlobPoint, effects::kBlobPointCount> points{};
  effects::fillBlobPoints(points, random);
  effects::BlobField field;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), 0u);
    field.clear();
    for (const effects::BlobPoint& p : points) {
      effects::addBlob(kernels, effects::blobCentre(p.x), effects::blobCentre(p.y), field.data(),
                       p.strength, frame);
    }
    for (effects::BlobPoint& p : points) effects::moveBlobPoint(p, 320.0f, 240.0f);
    effects::thresholdBlobs(kernels, field.data(), 0.99f, frame, 320, 240);
    effects::blurFrame(kernels, frame);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_BlobFrame)->Apply(bench::everyVectorPath)->Unit(benchmark::kMillisecond);

void BM_AddBlob(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels(76800, 0);
  display::Bitmap frame{pixels.data(), 320, 240};
  effects::BlobField field;
  for (auto _ : state) {
    effects::addBlob(kernels, 160, 120, field.data(), 3.0f, frame);
    benchmark::DoNotOptimize(field.data());
  }
}
BENCHMARK(BM_AddBlob)->Apply(bench::everyVectorPath)->Unit(benchmark::kMicrosecond);

void BM_BlurFrame(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels = noiseFrame();
  display::Bitmap frame{pixels.data(), 320, 240};
  for (auto _ : state) {
    effects::blurFrame(kernels, frame);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_BlurFrame)->Apply(bench::everyVectorPath)->Unit(benchmark::kMicrosecond);

void BM_FadeFrame(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels = noiseFrame();
  display::Bitmap frame{pixels.data(), 320, 240};
  for (auto _ : state) {
    effects::fadeFrame(kernels, frame);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_FadeFrame)->Apply(bench::everyVectorPath)->Unit(benchmark::kMicrosecond);

void BM_InvertFrame(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels = noiseFrame();
  display::Bitmap frame{pixels.data(), 320, 240};
  for (auto _ : state) {
    effects::invertFrom(kernels, 0, 0, frame);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_InvertFrame)->Apply(bench::everyVectorPath)->Unit(benchmark::kMicrosecond);

// The fountain as the greetings scene draws it, 300 frames in: 1000 sprites.
void BM_ParticleDraw(benchmark::State& state) {
  const effects::EffectKernels kernels = effects::effectKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels(76800, 0);
  display::Bitmap frame{pixels.data(), 320, 240};
  std::uint32_t spritePixels[64];
  display::Bitmap sprite{spritePixels, 8, 8};
  effects::fillParticleSprite(sprite);
  effects::DemoRandom random;
  effects::ParticleSystem particles(1000, {160.0f, 120.0f, 0.0f}, random);
  for (int i = 0; i < 300; ++i) {
    particles.move(1.0 / 60);
    particles.age(1.0 / 60);
  }
  for (auto _ : state) {
    particles.draw(kernels, frame, sprite);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_ParticleDraw)->Apply(bench::everyVectorPath)->Unit(benchmark::kMicrosecond);

}  // namespace
