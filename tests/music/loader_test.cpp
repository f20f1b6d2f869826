// Module loading: sample decoding, loops and guards, packed patterns, refusals.
#include <gtest/gtest.h>

#include "music/loader.h"
#include "music/song.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

using testing::basicModule;
using testing::loadBytes;
using testing::loadModule;
namespace xw = xmwriter;

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

xw::Module withSample(const xw::Sample& sample) {
  xw::Module m = basicModule();
  m.instruments[0].samples = {sample};
  return m;
}

xw::Sample ramp(std::size_t count, bool sixteenBit, xw::Loop loop, std::uint32_t loopStart,
                std::uint32_t loopLength) {
  xw::Sample s;
  for (std::size_t i = 0; i < count; ++i) s.values.push_back(static_cast<std::int32_t>(i) * 3 - 50);
  s.sixteenBit = sixteenBit;
  s.loop = loop;
  s.loopStart = loopStart;
  s.loopLength = loopLength;
  return s;
}

const Sample& firstSample(const Song& song) {
  return *song.instruments[0].samples[0];
}

TEST(Loader, EightBitDeltasBecomeTheHighByteOfSixteenBitValues) {
  xw::Sample s;
  s.values = {1, 2, 3};  // written as deltas 1, 1, 1
  auto song = loadModule(withSample(s));
  ASSERT_NE(song, nullptr);
  const Sample& a = firstSample(*song);
  EXPECT_EQ(a.bits, 16);
  ASSERT_EQ(a.length, 3u);
  EXPECT_EQ(a.data[0], 256);
  EXPECT_EQ(a.data[1], 512);
  EXPECT_EQ(a.data[2], 768);

  s.values = {-1, 0};  // bytes 255, 1
  song = loadModule(withSample(s));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).data[0], -256);
  EXPECT_EQ(firstSample(*song).data[1], 0);
}

TEST(Loader, SixteenBitSamplesAreHalvedAndDecodeWithWrappingSums) {
  xw::Sample s = ramp(500, true, xw::Loop::kForward, 100, 200);
  s.values[1] = 32767;
  s.values[2] = -32768;  // delta -65535 wraps to +1 in 16 bits
  auto song = loadModule(withSample(s));
  ASSERT_NE(song, nullptr);
  const Sample& a = firstSample(*song);
  EXPECT_EQ(a.length, 500u);
  EXPECT_EQ(a.loopStart, 100u);
  EXPECT_EQ(a.loopLength, 200u);
  EXPECT_EQ(a.loopMode, kLoopForward);
  for (std::size_t i = 0; i < 500; ++i) {
    if (i != 300) {
      ASSERT_EQ(a.data[i], s.values[i]) << i;
    }
  }
  EXPECT_EQ(a.data[300], a.data[100]);  // the guard behind the loop replaces the value there
}

TEST(Loader, GuardValueRepeatsTheLoopForEachMode) {
  const xw::Sample base = ramp(40, false, xw::Loop::kForward, 10, 20);
  auto song = loadModule(withSample(base));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).data[30], firstSample(*song).data[10]);
  EXPECT_NE(firstSample(*song).data[30], firstSample(*song).data[29]);

  xw::Sample pingPong = base;
  pingPong.loop = xw::Loop::kPingPong;
  song = loadModule(withSample(pingPong));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).loopMode, kLoopPingPong);
  EXPECT_EQ(firstSample(*song).data[30], firstSample(*song).data[29]);

  xw::Sample once = ramp(40, false, xw::Loop::kNone, 0, 0);
  song = loadModule(withSample(once));
  ASSERT_NE(song, nullptr);
  const Sample& a = firstSample(*song);
  EXPECT_EQ(a.loopMode, kLoopNone);
  EXPECT_EQ(a.loopStart, 0u);
  EXPECT_EQ(a.loopLength, 40u);
  for (std::uint32_t i = 0; i < kSampleGuardValues; ++i) EXPECT_EQ(a.data[40 + i], 0);
}

TEST(Loader, TypeThreeIsPingPong) {
  xw::Layout layout;
  std::vector<std::uint8_t> bytes =
      xw::write(withSample(ramp(40, false, xw::Loop::kForward, 10, 20)), &layout);
  bytes[layout.sampleHeaders[0][0] + 14] = 3;
  auto song = loadBytes(bytes);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).loopMode, kLoopPingPong);
}

TEST(Loader, LoopOfLengthZeroPlaysTheWholeSampleOnce) {
  // 1000 bytes of 16-bit data, loop start 200 bytes, loop length 0, type 0x11.
  auto song = loadModule(withSample(ramp(500, true, xw::Loop::kForward, 100, 0)));
  ASSERT_NE(song, nullptr);
  const Sample& a = firstSample(*song);
  EXPECT_EQ(a.length, 500u);
  EXPECT_EQ(a.loopMode, kLoopNone);
  EXPECT_EQ(a.loopStart, 0u);
  EXPECT_EQ(a.loopLength, 500u);
}

TEST(Loader, LoopsBeyondTheDataAreCut) {
  auto song = loadModule(withSample(ramp(40, false, xw::Loop::kForward, 30, 100)));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).loopStart, 30u);
  EXPECT_EQ(firstSample(*song).loopLength, 10u);
  EXPECT_EQ(firstSample(*song).data[40], firstSample(*song).data[30]);

  song = loadModule(withSample(ramp(40, false, xw::Loop::kPingPong, 40, 5)));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(firstSample(*song).loopMode, kLoopNone);
  EXPECT_EQ(firstSample(*song).loopLength, 40u);
}

TEST(Loader, OddSixteenBitByteCountSkipsTheStrayByte) {
  xw::Module m = basicModule();
  m.instruments[0].samples = {ramp(10, true, xw::Loop::kNone, 0, 0),
                              ramp(6, false, xw::Loop::kNone, 0, 0)};
  xw::Layout layout;
  std::vector<std::uint8_t> bytes = xw::write(m, &layout);
  // Grow the first sample's data by one byte and declare 21 bytes.
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(layout.sampleData[0][1]), 0x7F);
  put32(bytes, layout.sampleHeaders[0][0], 21);
  auto song = loadBytes(bytes);
  ASSERT_NE(song, nullptr);
  const Instrument& in = song->instruments[0];
  EXPECT_EQ(in.samples[0]->length, 10u);
  ASSERT_EQ(in.samples[1]->length, 6u);
  EXPECT_EQ(in.samples[1]->data[5], (5 * 3 - 50) * 256);
}

TEST(Loader, PackedCellsMapKeyOffAndOutOfRangeInstruments) {
  xw::Module m = basicModule(2, 4);
  xw::Pattern& p = m.patterns[0];
  p.at(0, 0, 2) = {97, 1, 0, 0, 0};
  p.at(0, 1, 2) = {49, 200, 0x40, 0x0C, 0x20};  // all fields set: written unpacked
  p.at(3, 1, 2) = {0, 0, 0, 0x0F, 0x03};
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  const NoteCell* cells = song->patterns[0].cells;
  EXPECT_EQ(cells[0].note, 255);
  EXPECT_EQ(cells[0].instrument, 1);
  EXPECT_EQ(cells[1].note, 49);
  EXPECT_EQ(cells[1].instrument, 0);
  EXPECT_EQ(cells[1].volume, 0x40);
  EXPECT_EQ(cells[1].effect, 0x0C);
  EXPECT_EQ(cells[1].parameter, 0x20);
  EXPECT_EQ(cells[7].effect, 0x0F);
  EXPECT_EQ(cells[7].parameter, 0x03);
  EXPECT_EQ(cells[7].note, 0);
  EXPECT_EQ(cells[2].effect, 0);
}

TEST(Loader, EmptyPatternConsumesOnlyItsHeader) {
  xw::Module m = basicModule(1, 8);
  m.addPattern(16);  // pattern 1 has content, pattern 0 is written with no data
  m.patterns[1].at(5, 0, 1) = {13, 1, 0, 0, 0};
  m.orders = {0, 1};
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patterns[0].rows, 8u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(song->patterns[0].cells[r].note, 0);
  EXPECT_EQ(song->patterns[1].rows, 16u);
  EXPECT_EQ(song->patterns[1].cells[5].note, 13);
  EXPECT_EQ(song->numInstruments, 1);
  EXPECT_EQ(firstSample(*song).length, 64u);
}

TEST(Loader, PatternsNamedButAbsentGetSixtyFourEmptyRows) {
  xw::Module m = basicModule(2, 4);
  m.addPattern(4);
  m.addPattern(4);
  m.orders = {0, 5, 1};
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patternsUsed, 6u);
  EXPECT_EQ(song->patternSlots, 6u);
  for (int i = 3; i < 6; ++i) {
    EXPECT_EQ(song->patterns[i].rows, 64u);
    for (int c = 0; c < 128; ++c) EXPECT_EQ(song->patterns[i].cells[c].note, 0);
  }
  EXPECT_EQ(song->patterns[2].rows, 4u);
}

TEST(Loader, InstrumentWithoutSamplesIsSkippedByItsHeaderSize) {
  xw::Module m = basicModule();
  xw::Instrument empty;
  empty.name = "nothing";
  m.instruments.insert(m.instruments.begin(), empty);
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  const Instrument& a = song->instruments[0];
  EXPECT_EQ(a.numSamples, 0u);
  for (const Sample* s : a.samples) EXPECT_EQ(s, &kEmptySample);
  for (std::uint8_t k : a.keymap) EXPECT_EQ(k, 0);
  EXPECT_EQ(a.volumeEnvelope[0].y, 0);
  EXPECT_EQ(song->instruments[1].numSamples, 1u);
  EXPECT_EQ(song->instruments[1].samples[1], &kEmptySample);
  EXPECT_EQ(song->instruments[1].samples[0]->length, 64u);
}

TEST(Loader, InstrumentFieldsFadeoutAndEnvelopeRules) {
  xw::Module m = basicModule();
  xw::Instrument& in = m.instruments[0];
  in.fadeout = 0x4000;
  in.volumeEnvelope.points = {{0, 64}, {10, 200}};  // 200 is beyond full scale
  in.volumeEnvelope.sustain = true;
  in.volumeEnvelope.sustainPoint = 1;
  in.panningEnvelope.points = {{0, 32}};  // a single point cannot be an envelope
  in.vibratoType = 2;
  in.vibratoRate = 9;
  in.keymap[40] = 3;
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  const Instrument& a = song->instruments[0];
  EXPECT_EQ(a.fadeout, 0x8000);
  EXPECT_EQ(a.volumeType, kEnvelopeOn | kEnvelopeSustain);
  EXPECT_EQ(a.volumePoints, 2);
  EXPECT_EQ(a.volumeEnvelope[1].x, 10);
  EXPECT_EQ(a.volumeEnvelope[1].y, 64);
  EXPECT_EQ(a.volumeSustain, 1);
  EXPECT_EQ(a.panningType, 0);
  EXPECT_EQ(a.vibratoType, 2);
  EXPECT_EQ(a.vibratoRate, 9);
  EXPECT_EQ(a.keymap[40], 3);
}

TEST(Loader, HeaderFieldsAndSafeReplacements) {
  xw::Module m = basicModule(3);
  m.tempo = 5;
  m.bpm = 0;  // no tempo: replaced
  m.linearFrequencies = false;
  m.orders = {0, 0};
  m.restartPosition = 2;  // beyond the song: replaced by 0
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->numChannels, 3);
  EXPECT_EQ(song->defaultTempo, 5);
  EXPECT_EQ(song->defaultBpm, 125);
  EXPECT_EQ(song->flags & kLinearFrequencies, 0);
  EXPECT_EQ(song->songLength, 2);
  EXPECT_EQ(song->restartPosition, 0);
  EXPECT_EQ(song->defaultGlobalVolume, 64);
  EXPECT_NE(song->tickOperation, nullptr);
}

TEST(Loader, RefusesWhatItCannotPlay) {
  const std::vector<std::uint8_t> good = xw::write(basicModule());
  ASSERT_NE(loadBytes(good), nullptr);

  std::vector<std::uint8_t> bytes = good;
  bytes[9] = 'm';  // signature
  EXPECT_EQ(loadBytes(bytes), nullptr);

  bytes = good;
  bytes[68] = 33;  // more channels than the player holds
  EXPECT_EQ(loadBytes(bytes), nullptr);

  xw::Module many = basicModule();
  many.instruments[0].samples.resize(17, many.instruments[0].samples[0]);
  EXPECT_EQ(loadModule(many), nullptr);

  bytes = good;
  bytes.pop_back();  // the last sample value is missing
  EXPECT_EQ(loadBytes(bytes), nullptr);

  bytes = good;
  xw::Layout layout;
  bytes = xw::write(basicModule(), &layout);
  put32(bytes, layout.sampleHeaders[0][0], 0x7FFFFFF0);  // more data than the file holds
  EXPECT_EQ(loadBytes(bytes), nullptr);

  EXPECT_EQ(loadBytes({}), nullptr);
}

TEST(Loader, MissingFileGivesNoSong) {
  installMemoryFileOps();
  EXPECT_EQ(testing::SongPtr(loadSong("no-such-module.xm")), nullptr);
}

}  // namespace
}  // namespace quarvel::music
