// Music rendering speed: the mixer's reference and vector paths side by side, and the block
// renderer on a dense 32-channel module and on the demo's own soundtrack.
#include <cstring>
#include <ctime>
#include <vector>

#include <benchmark/benchmark.h>

#include "densegen/dense_module.h"
#include "lanes/vector_path.h"
#include "music/engine_state.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/mix_kernels.h"
#include "music/playback.h"
#include "music/voice.h"

namespace {

using namespace quarvel::music;
using quarvel::lanes::VectorPath;

constexpr double kRate = 44100.0;

// The kernels of `path`; null (and the benchmark skipped) when the build or processor lacks it.
const MixKernels* kernelsOf(benchmark::State& state, VectorPath path) {
  if (!quarvel::lanes::canRun(path)) {
    state.SkipWithError("this build or processor does not run this path");
    return nullptr;
  }
  return &mixKernels(path);
}

// Reports the process CPU time since `start` against the audio rendered: the share of one core
// that playing it in real time takes (core_percent) and the speed against real time.
void reportAudio(benchmark::State& state, std::clock_t start, double audioSeconds) {
  const double cpuSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  if (cpuSeconds <= 0.0 || audioSeconds <= 0.0) return;
  state.counters["core_percent"] = 100.0 * cpuSeconds / audioSeconds;
  state.counters["x_realtime"] = audioSeconds / cpuSeconds;
}

// A sample of `length` values with its guard values, looping from `loopStart` to the end.
struct BenchSample {
  std::vector<std::int16_t> values;
  Sample sample{};
  BenchSample(std::uint32_t length, std::uint8_t mode, std::uint32_t loopStart) {
    for (std::uint32_t i = 0; i < length + kSampleGuardValues; ++i) {
      values.push_back(static_cast<std::int16_t>((i * 7919) % 20000 - 10000));
    }
    sample.data = values.data();
    sample.length = length;
    sample.loopMode = mode;
    sample.loopStart = loopStart;
    sample.loopLength = length - loopStart;
  }
};

// mixVoices alone: 64 voices over looping samples, steps from 0.3 to 3.9, gains changed on a
// quarter of the voices every block so ramps run, and every eighth voice silent.
void MixVoices(benchmark::State& state, VectorPath path) {
  const MixKernels* kernels = kernelsOf(state, path);
  if (kernels == nullptr) return;
  const BenchSample samples[] = {
      {4000, kLoopForward, 1000}, {3000, kLoopPingPong, 500}, {600, kLoopForward, 536}};
  EngineState& engine = engineState();
  engine.rampFrames = 128;
  for (int i = 0; i < kVoiceCount; ++i) {
    Voice& v = engine.voices[i];
    v = Voice{};
    v.index = i;
    v.sample = &samples[i % 3].sample;
    v.direction = kForward;
    v.stepInteger = static_cast<std::uint32_t>(i % 4);
    v.stepFraction = 0x4CCCCCCCu + static_cast<std::uint32_t>(i) * 0x1234567u;
    v.leftGain = i % 8 == 7 ? 0 : 40 + i;
    v.rightGain = i % 8 == 7 ? 0 : 200 - i;
  }
  std::vector<float> mix(884 * 2);
  std::int32_t block = 0;
  double audioSeconds = 0.0;
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    for (int i = block % 4; i < kVoiceCount; i += 4) {
      if (engine.voices[i].leftGain != 0) engine.voices[i].leftGain ^= 16;
    }
    std::memset(mix.data(), 0, mix.size() * sizeof(float));
    mixVoicesWith(*kernels, mix.data(), 884);
    benchmark::DoNotOptimize(mix.data());
    ++block;
    audioSeconds += 884 / kRate;
  }
  reportAudio(state, start, audioSeconds);
  for (Voice& v : engine.voices) v.sample = nullptr;
}
BENCHMARK_CAPTURE(MixVoices, reference, VectorPath::Reference);
BENCHMARK_CAPTURE(MixVoices, sse2, VectorPath::Sse2);
BENCHMARK_CAPTURE(MixVoices, avx2, VectorPath::Avx2);
BENCHMARK_CAPTURE(MixVoices, avx512, VectorPath::Avx512);
BENCHMARK_CAPTURE(MixVoices, scalar, VectorPath::Scalar);
BENCHMARK_CAPTURE(MixVoices, neon, VectorPath::Neon);
BENCHMARK_CAPTURE(MixVoices, simd128, VectorPath::Simd128);

std::vector<std::uint8_t>& denseModuleBytes() {
  static std::vector<std::uint8_t> bytes =
      quarvel::xmwriter::write(quarvel::densegen::denseModule());
  return bytes;
}

void* openDenseModule(const char*) {
  const std::vector<std::uint8_t>& bytes = denseModuleBytes();
  auto* file =
      new MemoryFile{static_cast<std::int32_t>(bytes.size()), 0, new std::uint8_t[bytes.size()]};
  std::memcpy(file->data, bytes.data(), bytes.size());
  return file;
}

Song* loadDenseModule() {
  FileOps ops = memoryFileOps();
  ops.open = openDenseModule;
  installFileOps(ops);
  Song* song = loadSong("dense");
  installMemoryFileOps();
  return song;
}

Song* loadSoundtrack() {
  installMemoryFileOps();
  return loadSong(QUARVEL_SOUNDTRACK);
}

// mixBlock over the song's first minute, from its start each round.
void MixBlocks(benchmark::State& state, Song* (*load)(), VectorPath path) {
  const MixKernels* kernels = kernelsOf(state, path);
  if (kernels == nullptr) return;
  Song* song = load();
  if (song == nullptr) {
    state.SkipWithError("the module did not load");
    return;
  }
  double audioSeconds = 0.0;
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    preparePlayback(song);
    const std::uint32_t blocks = static_cast<std::uint32_t>(60.0 * kRate) / blockFrames();
    for (std::uint32_t i = 0; i < blocks; ++i) mixBlockWith(*kernels);
    benchmark::DoNotOptimize(pcmRing().samples[0]);
    audioSeconds += blocks * blockFrames() / kRate;
  }
  reportAudio(state, start, audioSeconds);
  freeSong(song);
}
BENCHMARK_CAPTURE(MixBlocks, dense_reference, loadDenseModule, VectorPath::Reference)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, dense_sse2, loadDenseModule, VectorPath::Sse2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, dense_avx2, loadDenseModule, VectorPath::Avx2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, dense_avx512, loadDenseModule, VectorPath::Avx512)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, soundtrack_reference, loadSoundtrack, VectorPath::Reference)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, soundtrack_sse2, loadSoundtrack, VectorPath::Sse2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, soundtrack_avx2, loadSoundtrack, VectorPath::Avx2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MixBlocks, soundtrack_avx512, loadSoundtrack, VectorPath::Avx512)
    ->Unit(benchmark::kMillisecond);

}  // namespace
