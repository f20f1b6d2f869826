// The dense benchmark module: synthesised samples and generated patterns.
#include "densegen/dense_module.h"

#include <cmath>
#include <cstdint>

namespace quarvel::densegen {
namespace {

using xmwriter::Loop;

constexpr int kChannels = 32;
constexpr int kPatterns = 8;
constexpr int kRows = 64;

// Small deterministic generator: the module must not depend on the library's random engines.
struct Lcg {
  std::uint32_t state = 12345;
  std::uint32_t next(std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

xmwriter::Sample waveSample(int length, bool sixteenBit, Loop loop, int loopStart, int harmonics,
                            double decay) {
  xmwriter::Sample s;
  s.sixteenBit = sixteenBit;
  const double peak = sixteenBit ? 24000.0 : 100.0;
  constexpr double kPi = 3.14159265358979323846;
  for (int i = 0; i < length; ++i) {
    double v = 0.0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(2.0 * kPi * h * i / 64.0) / h;
    v *= std::exp(-decay * i / length);
    s.values.push_back(static_cast<std::int32_t>(std::lround(peak * 0.5 * v)));
  }
  s.loop = loop;
  if (loop != Loop::kNone) {
    s.loopStart = static_cast<std::uint32_t>(loopStart);
    s.loopLength = static_cast<std::uint32_t>(length - loopStart);
  }
  return s;
}

xmwriter::Sample noiseSample(int length, Lcg& random) {
  xmwriter::Sample s;
  s.sixteenBit = true;
  for (int i = 0; i < length; ++i) {
    const double envelope = 1.0 - static_cast<double>(i) / length;
    const double noise = static_cast<double>(random.next(2001)) - 1000.0;
    s.values.push_back(static_cast<std::int32_t>(std::lround(noise * 20.0 * envelope)));
  }
  return s;
}

std::vector<xmwriter::Instrument> instruments(Lcg& random) {
  std::vector<xmwriter::Sample> samples = {
      waveSample(2048, true, Loop::kForward, 0, 6, 0.0),      // bass: long forward loop
      waveSample(4000, true, Loop::kPingPong, 1000, 3, 0.5),  // pad: ping-pong
      waveSample(512, false, Loop::kForward, 448, 4, 0.0),    // lead: 64-value loop, 8-bit
      noiseSample(6000, random),                              // drum: one-shot
      waveSample(3000, false, Loop::kNone, 0, 5, 3.0),        // pluck: one-shot, 8-bit
      waveSample(1024, true, Loop::kPingPong, 960, 2, 0.0)};  // string: short ping-pong
  std::vector<xmwriter::Instrument> result;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    xmwriter::Instrument in;
    samples[i].panning = static_cast<std::uint8_t>(32 + 40 * i);
    samples[i].relativeNote = static_cast<std::int8_t>(i == 3 ? 24 : 12);
    in.samples.push_back(samples[i]);
    if (i % 2 == 0) {
      in.volumeEnvelope.points = {{0, 64}, {8, 40}, {24, 52}, {40, 30}};
      in.volumeEnvelope.loop = true;
      in.volumeEnvelope.loopStart = 1;
      in.volumeEnvelope.loopEnd = 2;
      in.panningEnvelope.points = {{0, 16}, {20, 48}};
    }
    in.vibratoDepth = static_cast<std::uint8_t>(i == 5 ? 6 : 0);
    in.vibratoRate = 10;
    in.fadeout = 400;
    result.push_back(in);
  }
  return result;
}

xmwriter::Cell effectCell(Lcg& random) {
  static constexpr std::uint8_t kEffects[][2] = {
      {0x0A, 0x02}, {0x0A, 0x20}, {0x04, 0x46}, {0x04, 0x83}, {0x00, 0x37},
      {0x01, 0x04}, {0x02, 0x04}, {0x08, 0x40}, {0x08, 0xC0}, {0x06, 0x01}};
  const auto& e = kEffects[random.next(10)];
  xmwriter::Cell cell;
  cell.effect = e[0];
  cell.parameter = e[1];
  return cell;
}

}  // namespace

xmwriter::Module denseModule() {
  Lcg random;
  xmwriter::Module m;
  m.name = "dense benchmark";
  m.channels = kChannels;
  m.tempo = 6;
  m.bpm = 125;
  m.instruments = instruments(random);
  for (int p = 0; p < kPatterns; ++p) {
    m.orders.push_back(static_cast<std::uint8_t>(p));
    m.addPattern(kRows);
    for (int c = 0; c < kChannels; ++c) {
      const int instrument = c % 6;
      const int every = 2 + (c + p) % 3;
      for (int r = 0; r < kRows; ++r) {
        xmwriter::Cell& cell = m.patterns[p].at(r, c, kChannels);
        if (r % every == c % every) {
          // Octaves 1 to 6 give steps from about a tenth to several values per frame.
          cell.note = xmwriter::note(1 + static_cast<int>(random.next(6)),
                                     static_cast<int>(random.next(12)));
          cell.instrument = static_cast<std::uint8_t>(instrument + 1);
          cell.volume = static_cast<std::uint8_t>(0x20 + random.next(0x31));
          if (random.next(4) == 0) cell.effect = 3, cell.parameter = 0x20;  // slide to it
        } else {
          cell = effectCell(random);
        }
      }
    }
  }
  return m;
}

}  // namespace quarvel::densegen
