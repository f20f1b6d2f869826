// Damaged modules: truncated and bit-flipped files load or are refused, and play safely.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "music/playback.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

namespace xw = xmwriter;

// A module that touches most of the format: every loop mode, both sample widths, envelopes
// with sustain and loops, auto-vibrato, and a spread of effects and volume-column commands.
xw::Module richModule() {
  xw::Module m;
  m.channels = 6;
  m.tempo = 3;
  m.bpm = 150;
  m.orders = {0, 1, 0, 2};
  m.restartPosition = 1;
  const std::uint8_t effects[][2] = {
      {0, 0x47},  {1, 0x08},  {2, 0x04},  {3, 0x10},  {4, 0x8A},  {5, 0x02},  {6, 0x20},
      {7, 0x66},  {8, 0x40},  {9, 0x01},  {10, 0x0F}, {12, 0x30}, {14, 0x93}, {14, 0xC2},
      {14, 0xD1}, {17, 0x21}, {21, 0x04}, {25, 0x31}, {27, 0x82}, {29, 0x21}, {33, 0x13},
      {14, 0x62}, {14, 0x52}, {16, 0x30}, {13, 0x40}, {11, 0x02}};
  for (int p = 0; p < 3; ++p) {
    m.addPattern(static_cast<std::uint16_t>(16 + 8 * p));
    xw::Pattern& pattern = m.patterns.back();
    for (int r = 0; r < pattern.rows; ++r) {
      for (int c = 0; c < m.channels; ++c) {
        const int k = r * 7 + c * 3 + p;
        xw::Cell& cell = pattern.at(r, c, m.channels);
        if (k % 4 == 0) cell.note = static_cast<std::uint8_t>(25 + (k * 5) % 60);
        if (k % 4 == 0) cell.instrument = static_cast<std::uint8_t>(1 + k % 3);
        if (k % 9 == 0) cell.note = xw::kKeyOff;
        const auto& e = effects[k % 26];
        cell.effect = e[0];
        cell.parameter = e[1];
        if (k % 5 == 0) cell.volume = static_cast<std::uint8_t>(0x10 + 0x10 * (k % 15));
      }
    }
  }
  for (int i = 0; i < 3; ++i) {
    xw::Instrument in;
    in.volumeEnvelope.points = {{0, 0}, {4, 64}, {10, 40}, {20, 50}, {40, 0}};
    in.volumeEnvelope.sustain = i == 0;
    in.volumeEnvelope.sustainPoint = 2;
    in.volumeEnvelope.loop = i == 1;
    in.volumeEnvelope.loopStart = 1;
    in.volumeEnvelope.loopEnd = 3;
    in.panningEnvelope.points = {{0, 32}, {8, 0}, {16, 64}};
    in.panningEnvelope.loop = true;
    in.panningEnvelope.loopEnd = 2;
    in.vibratoType = static_cast<std::uint8_t>(i);
    in.vibratoDepth = 6;
    in.vibratoRate = 20;
    in.vibratoSweep = static_cast<std::uint8_t>(i * 8);
    in.fadeout = static_cast<std::uint16_t>(0x200 * (i + 1));
    for (int s = 0; s < 2; ++s) {
      xw::Sample sample;
      sample.sixteenBit = (i + s) % 2 == 1;
      const int count = 200 + 150 * s + 50 * i;
      for (int v = 0; v < count; ++v) {
        const int range = sample.sixteenBit ? 20000 : 100;
        sample.values.push_back(((v * 37) % (2 * range)) - range);
      }
      sample.loop = static_cast<xw::Loop>((i + s) % 3);
      sample.loopStart = static_cast<std::uint32_t>(count / 4);
      sample.loopLength = static_cast<std::uint32_t>(count / 2);
      sample.relativeNote = static_cast<std::int8_t>(s * 12 - 6);
      sample.finetune = static_cast<std::int8_t>(i * 40 - 40);
      in.samples.push_back(sample);
    }
    for (int k = 0; k < 96; ++k) in.keymap[k] = static_cast<std::uint8_t>(k < 48 ? 0 : 1);
    m.instruments.push_back(in);
  }
  return m;
}

// Loads `bytes` and, when that works, renders `blocks` blocks. Gives whether it loaded.
bool loadAndPlay(const std::vector<std::uint8_t>& bytes, int blocks) {
  testing::SongPtr song = testing::loadBytes(bytes);
  if (!song) return false;
  preparePlayback(song.get());
  for (int i = 0; i < blocks; ++i) mixBlock();
  return true;
}

TEST(Robustness, IntactFixtureLoadsAndPlaysWithSound) {
  const std::vector<std::uint8_t> bytes = xw::write(richModule());
  testing::SongPtr song = testing::loadBytes(bytes);
  ASSERT_NE(song, nullptr);
  preparePlayback(song.get());
  std::int64_t energy = 0;
  for (int i = 0; i < 150; ++i) {
    const std::uint32_t block = blockIndex();
    mixBlock();
    const std::int16_t* pcm = pcmBlock(block);
    for (int k = 0; k < 884 * 2; ++k) energy += pcm[k] < 0 ? -pcm[k] : pcm[k];
  }
  EXPECT_GT(energy, 0);
}

TEST(Robustness, TruncatedFilesAreRefused) {
  const std::vector<std::uint8_t> bytes = xw::write(richModule());
  for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 4) {
    const std::vector<std::uint8_t> cut(bytes.begin(),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(loadAndPlay(cut, 10)) << length;
  }
}

TEST(Robustness, BitFlippedFilesLoadOrAreRefusedAndPlaySafely) {
  const std::vector<std::uint8_t> bytes = xw::write(richModule());
  std::uint32_t state = 12345;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  int loaded = 0;
  for (int variant = 0; variant < 300; ++variant) {
    std::vector<std::uint8_t> damaged = bytes;
    const int flips = 1 + variant % 4;
    for (int f = 0; f < flips; ++f) {
      // Half of the flips hit the header, pattern and instrument fields near the front.
      const std::size_t span = variant % 2 == 0 ? 1200 : damaged.size();
      damaged[next() % span] ^= static_cast<std::uint8_t>(1u << (next() % 8));
    }
    if (loadAndPlay(damaged, 100)) ++loaded;
  }
  EXPECT_GT(loaded, 0);
}

TEST(Robustness, HostileHeaderValues) {
  xw::Layout layout;
  const std::vector<std::uint8_t> bytes = xw::write(richModule(), &layout);
  struct Patch {
    std::size_t at;
    std::uint8_t value;
  };
  const std::vector<std::vector<Patch>> patches = {
      {{64, 0xFF}, {65, 0xFF}},                          // song length 65535
      {{64, 0}, {65, 0}},                                // no orders
      {{66, 0xFF}},                                      // restart position far out
      {{68, 0}},                                         // no channels
      {{70, 0xFF}, {71, 0xFF}},                          // pattern count 65535
      {{72, 0xFF}},                                      // 255 instruments
      {{76, 0}},                                         // speed 0
      {{78, 0}, {79, 0}},                                // BPM 0
      {{78, 0xFF}, {79, 0xFF}},                          // BPM 65535
      {{80, 0xFF}},                                      // order names pattern 255
      {{60, 0xFF}, {61, 0xFF}, {62, 0xFF}, {63, 0x7F}},  // header size far beyond the file
      {{layout.patternHeaders[0] + 5, 0xFF}, {layout.patternHeaders[0] + 6, 0xFF}},  // rows
      {{layout.instrumentHeaders[0] + 225, 0xFF}},  // volume points 255
      {{layout.instrumentHeaders[0] + 227, 0xFF}},  // sustain point 255
      {{layout.instrumentHeaders[0] + 229, 0x00}},  // loop end 0 before loop start 1
      {{layout.instrumentHeaders[0] + 235, 0xFF}},  // vibrato type 255
      {{layout.sampleHeaders[0][0] + 4, 0xFF}, {layout.sampleHeaders[0][0] + 7, 0x7F}},
      {{layout.sampleHeaders[0][0] + 8, 0xFF}, {layout.sampleHeaders[0][0] + 11, 0xFF}},
      {{layout.sampleHeaders[1][1] + 14, 0xFF}},  // every type bit
  };
  for (const auto& patch : patches) {
    std::vector<std::uint8_t> damaged = bytes;
    for (const Patch& p : patch) damaged[p.at] = p.value;
    loadAndPlay(damaged, 60);
  }
}

// A file tempo of 55336 BPM once made every output frame a tick: 32 channels of tick work per
// frame, far slower than real time. The loader caps it at the fastest tempo the effect sets.
TEST(Robustness, FileTempoBeyondTheEffectRangeIsCapped) {
  xw::Module m = testing::basicModule(32, 64);
  m.tempo = 10280;  // the row never ends within the test: song.tick counts every tick
  m.bpm = 55336;
  m.orders = {0, 0, 0, 0, 0, 0};
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->defaultBpm, 255);
  ASSERT_TRUE(preparePlayback(song.get()));
  EXPECT_EQ(song->samplesPerTick, 432);
  const std::uint32_t blocks = (2 * 44100 + blockFrames() - 1) / blockFrames();
  for (std::uint32_t i = 0; i < blocks; ++i) mixBlock();
  EXPECT_EQ(song->row, 0);
  EXPECT_LE(song->tick, 205);  // two seconds at 432 frames per tick

  m.bpm = 255;  // the limit itself is kept
  EXPECT_EQ(testing::loadModule(m)->defaultBpm, 255);
  m.bpm = 256;
  EXPECT_EQ(testing::loadModule(m)->defaultBpm, 255);
}

}  // namespace
}  // namespace quarvel::music
