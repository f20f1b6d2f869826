// Music rendering speed: a dense 32-channel module through the block renderer.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "music/engine_state.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "xmwriter/xm_writer.h"

namespace {

using namespace quarvel::music;
namespace xw = quarvel::xmwriter;

// Every channel busy: notes every other row (so partner voices fade out under ramps), volume
// slides and vibrato (gain and step changes every tick), forward and ping-pong loops.
xw::Module denseModule() {
  xw::Module m;
  m.channels = 32;
  m.tempo = 4;
  m.bpm = 140;
  m.orders = {0};
  m.addPattern(64);
  for (int r = 0; r < 64; ++r) {
    for (int c = 0; c < 32; ++c) {
      xw::Cell& cell = m.patterns[0].at(r, c, 32);
      if ((r + c) % 2 == 0) {
        cell.note = static_cast<std::uint8_t>(30 + (r * 7 + c * 5) % 40);
        cell.instrument = static_cast<std::uint8_t>(1 + c % 2);
        cell.volume = static_cast<std::uint8_t>(0x30 + (c % 4) * 0x08);
      } else {
        cell.effect = c % 3 == 0 ? 4 : 10;
        cell.parameter = c % 3 == 0 ? 0x46 : 0x21;
      }
    }
  }
  for (int i = 0; i < 2; ++i) {
    xw::Instrument in;
    xw::Sample s;
    s.sixteenBit = true;
    for (int v = 0; v < 4000; ++v) s.values.push_back((v * 97) % 16000 - 8000);
    s.loop = i == 0 ? xw::Loop::kForward : xw::Loop::kPingPong;
    s.loopStart = 1000;
    s.loopLength = 2000;
    s.panning = static_cast<std::uint8_t>(64 + 128 * i);
    in.samples.push_back(s);
    in.volumeEnvelope.points = {{0, 64}, {10, 48}, {30, 56}};
    in.volumeEnvelope.loop = true;
    in.volumeEnvelope.loopStart = 1;
    in.volumeEnvelope.loopEnd = 2;
    in.panningEnvelope.points = {{0, 20}, {16, 44}};
    in.vibratoDepth = 4;
    in.vibratoRate = 12;
    m.instruments.push_back(in);
  }
  return m;
}

std::vector<std::uint8_t>& moduleBytes() {
  static std::vector<std::uint8_t> bytes = xw::write(denseModule());
  return bytes;
}

void* openModuleBytes(const char*) {
  const std::vector<std::uint8_t>& bytes = moduleBytes();
  auto* file =
      new MemoryFile{static_cast<std::int32_t>(bytes.size()), 0, new std::uint8_t[bytes.size()]};
  std::memcpy(file->data, bytes.data(), bytes.size());
  return file;
}

void RenderDenseModule(benchmark::State& state) {
  FileOps ops = memoryFileOps();
  ops.open = openModuleBytes;
  installFileOps(ops);
  Song* song = loadSong("dense");
  installMemoryFileOps();
  if (song == nullptr) {
    state.SkipWithError("the dense module did not load");
    return;
  }
  preparePlayback(song);
  for (int i = 0; i < 100; ++i) mixBlock();  // warm up: every channel has started
  int busy = 0;
  for (const Voice& v : engineState().voices) busy += v.sample != nullptr ? 1 : 0;
  double audioSeconds = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) mixBlock();
    benchmark::DoNotOptimize(pcmRing().samples[0]);
    audioSeconds += 100.0 * blockFrames() / 44100.0;
  }
  state.counters["audio_s_per_cpu_s"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
  state.counters["busy_voices"] = busy;
  freeSong(song);
}
BENCHMARK(RenderDenseModule)->Unit(benchmark::kMillisecond);

}  // namespace
