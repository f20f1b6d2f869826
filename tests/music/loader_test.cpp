// Module loading: sample decoding, loops and guards, packed patterns, header rules, refusals.
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "music/file_ops.h"
#include "music/loader.h"
#include "music/song.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

using testing::basicModule;
using testing::expectAll;
using testing::loadBytes;
using testing::loadModule;
namespace xw = xmwriter;

xw::Module withSamples(const std::vector<xw::Sample>& samples) {
  xw::Module m = basicModule();
  m.instruments[0].samples = samples;
  return m;
}

// Values i x 3 - 50 (written as deltas), so value i of an 8-bit sample loads as (i x 3 - 50) x 256.
xw::Sample ramp(std::size_t count, bool sixteenBit, xw::Loop loop = xw::Loop::kNone,
                std::uint32_t loopStart = 0, std::uint32_t loopLength = 0) {
  xw::Sample s;
  for (std::size_t i = 0; i < count; ++i) s.values.push_back(static_cast<std::int32_t>(i) * 3 - 50);
  s.sixteenBit = sixteenBit;
  s.loop = loop;
  s.loopStart = loopStart;
  s.loopLength = loopLength;
  return s;
}

TEST(Loader, LoopsAreCutToTheDataAndGuardedByMode) {
  const struct {
    const char* name;
    xw::Sample sample;
    std::uint8_t mode;
    std::uint32_t length, loopStart, loopLength;
    std::int16_t guard;  // the value behind the loop end
  } cases[] = {
      // clang-format off
      {"16 bits: byte counts halved", ramp(500, true, xw::Loop::kForward, 100, 200), kLoopForward,
       500, 100, 200, 250},
      {"loop length 0 plays once", ramp(500, true, xw::Loop::kForward, 100, 0), kLoopNone, 500, 0,
       500, 0},
      {"loop past the end is cut; forward: the start", ramp(40, false, xw::Loop::kForward, 30, 100),
       kLoopForward, 40, 30, 10, 40 * 256},
      {"loop from the end plays once", ramp(40, false, xw::Loop::kPingPong, 40, 5), kLoopNone, 40,
       0, 40, 0},
      {"a single value", ramp(1, true), kLoopNone, 1, 0, 1, 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    auto song = loadModule(withSamples({c.sample}));
    ASSERT_NE(song, nullptr) << c.name;
    const Sample& a = *song->instruments[0].samples[0];
    // clang-format off
    expectAll({{"mode", a.loopMode, c.mode}, {"length", a.length, c.length},
               {"loop start", a.loopStart, c.loopStart}, {"loop length", a.loopLength, c.loopLength},
               {"guard", a.data[c.loopStart + c.loopLength], c.guard}}, c.name);
    // clang-format on
  }
}

TEST(Loader, OddSixteenBitByteCountSkipsTheStrayByte) {
  xw::Layout layout;
  std::vector<std::uint8_t> bytes =
      xw::write(withSamples({ramp(10, true), ramp(6, false)}), &layout);
  // One more data byte for the first sample, declared as 21 bytes.
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(layout.sampleData[0][1]), 0x7F);
  bytes[layout.sampleHeaders[0][0]] = 21;
  auto song = loadBytes(bytes);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->instruments[0].samples[0]->length, 10u);
  ASSERT_EQ(song->instruments[0].samples[1]->length, 6u);
  EXPECT_EQ(song->instruments[0].samples[1]->data[5], (5 * 3 - 50) * 256);
}

TEST(Loader, PackedCellsEmptyAndAbsentPatterns) {
  xw::Module m = basicModule(2, 4);
  m.addPattern(8);  // pattern 1 is written with no data
  m.addPattern(4);
  xw::Pattern& p = m.patterns[2];
  p.at(0, 0, 2) = {97, 1, 0, 0, 0};
  p.at(0, 1, 2) = {49, 200, 0x40, 0x0C, 0x20};  // all fields set: written unpacked
  p.at(3, 1, 2) = {0, 128, 0, 0x0F, 0x03};
  m.orders = {2, 1, 5};  // 3 to 5 are not in the file
  xw::Layout layout;
  const std::vector<std::uint8_t> bytes = xw::write(m, &layout);
  EXPECT_EQ(bytes[layout.patternHeaders[2] + 7], 3 + 5 + 5 + 4);  // both forms of a cell
  auto song = loadBytes(bytes);
  ASSERT_NE(song, nullptr);
  const std::pair<int, NoteCell> expected[] = {
      {0, {255, 1, 0, 0, 0}}, {1, {49, 0, 0x40, 0x0C, 0x20}}, {7, {0, 128, 0, 0x0F, 0x03}}};
  for (const auto& [at, cell] : expected) {
    EXPECT_EQ(std::memcmp(&song->patterns[2].cells[at], &cell, 5), 0) << at;
  }
  EXPECT_EQ(std::pair(song->patternsUsed, song->patternSlots), std::pair(6u, 6u));
  const std::uint32_t rows[] = {4, 8, 4, 64, 64, 64};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(song->patterns[i].rows, rows[i]) << "pattern " << i;
    for (std::uint32_t c = 0; i != 2 && c < 2 * rows[i]; ++c) {
      ASSERT_EQ(song->patterns[i].cells[c].note, 0) << "pattern " << i;
    }
  }
  EXPECT_EQ(song->instruments[0].samples[0]->length, 64u);  // what follows is intact
}

TEST(Loader, InstrumentsFieldsEnvelopesAndEmptyOnes) {
  xw::Module m = basicModule();
  xw::Instrument& in = m.instruments[0];
  in.volumeEnvelope.points = {{0, 64}, {10, 200}};  // 200 is beyond full scale
  in.volumeEnvelope.sustain = true;
  in.panningEnvelope.points = {{0, 32}};  // a single point cannot be an envelope
  in.keymap[40] = 3;
  m.instruments.insert(m.instruments.begin(), xw::Instrument{});  // no samples
  auto song = loadModule(m);
  ASSERT_NE(song, nullptr);
  for (const Sample* s : song->instruments[0].samples) EXPECT_EQ(s, &kEmptySample);
  const Instrument& a = song->instruments[1];
  EXPECT_EQ(a.samples[1], &kEmptySample);
  // clang-format off
  expectAll({{"samples", a.numSamples, 1}, {"length", a.samples[0]->length, 64},
             {"volume type", a.volumeType, 3}, {"points", a.volumePoints, 2},
             {"y", a.volumeEnvelope[1].y, 64}, {"panning type", a.panningType, 0},
             {"keymap", a.keymap[40], 3}});
  // clang-format on
}

// Values that the player could not use are replaced, or the file is refused (expected -1).
TEST(Loader, HostileValuesAreReplacedOrRefused) {
  xw::Module m = basicModule(3);
  m.orders = {0, 0};
  xw::Layout layout;
  const std::vector<std::uint8_t> good = xw::write(m, &layout);
  const std::size_t pattern = layout.patternHeaders[0], instrument = layout.instrumentHeaders[0];
  const std::size_t sample = layout.sampleHeaders[0][0];
  using Field = std::function<int(const Song&)>;
  const auto refused = [](LoadProblem problem) { return -static_cast<int>(problem); };
  const Field length = [](const Song& s) { return s.songLength; };
  const Field bpm = [](const Song& s) { return s.defaultBpm; };
  const Field rows = [](const Song& s) { return static_cast<int>(s.patterns[0].rows); };
  const struct {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint8_t>> patches;
    int expected;
    Field field;
  } cases[] = {
      // clang-format off
      {"song length 65535 is cut to 256", {{64, 0xFF}, {65, 0xFF}}, 256, length},
      {"restart beyond the song is 0", {{66, 2}}, 0, [](const Song& s) { return s.restartPosition; }},
      {"33 channels", {{68, 33}}, refused(LoadProblem::kTooManyChannels), length},
      {"257 patterns", {{70, 1}, {71, 1}}, refused(LoadProblem::kTooManyPatterns), length},
      {"129 instruments", {{72, 129}}, refused(LoadProblem::kTooManyInstruments), length},
      {"BPM 0 is 125", {{78, 0}}, 125, bpm},
      {"BPM 256 is 255", {{78, 0}, {79, 1}}, 255, bpm},
      {"an order naming pattern 255 adds empty patterns", {{80, 255}}, 256,
       [](const Song& s) { return s.patterns[255].rows == 64 ? s.patternSlots : 0; }},
      {"header size beyond the file", {{60, 0xFF}, {61, 0xFF}, {62, 0xFF}, {63, 0x7F}},
       refused(LoadProblem::kEndsInPattern), length},
      {"256 rows", {{pattern + 5, 0}, {pattern + 6, 1}}, 256, rows},
      {"257 rows", {{pattern + 5, 1}, {pattern + 6, 1}}, refused(LoadProblem::kTooManyRows), length},
      {"13 envelope points are 12", {{instrument + 225, 13}}, 12,
       [](const Song& s) { return s.instruments[0].volumePoints; }},
      {"13 panning points are 12", {{instrument + 226, 13}}, 12,
       [](const Song& s) { return s.instruments[0].panningPoints; }},
      {"17 samples", {{instrument + 27, 17}}, refused(LoadProblem::kTooManySamples), length},
      {"sample type 3 is ping-pong", {{sample + 14, 3}}, kLoopPingPong,
       [](const Song& s) { return s.instruments[0].samples[0]->loopMode; }},
      {"no loop: the loop start field is ignored", {{sample + 4, 5}, {sample + 14, 0}}, 0,
       [](const Song& s) { return s.instruments[0].samples[0]->loopStart; }},
      {"sample data beyond the file", {{sample + 3, 0x7F}}, refused(LoadProblem::kEndsInSample), length},
      {"signature", {{9, 'm'}}, refused(LoadProblem::kNotXm), length},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = good;
    for (const auto& [at, value] : c.patches) bytes[at] = value;
    LoadError error{};
    auto song = loadBytes(bytes, &error);
    EXPECT_EQ(song ? c.field(*song) : refused(error.problem), c.expected) << c.name;
  }
}

TEST(Loader, EveryTruncatedFileIsRefusedSayingWhereItEnds) {
  xw::Module m = basicModule(2, 4);
  m.patterns[0].at(1, 1, 2) = {49, 1, 0x40, 4, 0x35};
  m.instruments.push_back(m.instruments[0]);
  m.instruments[1].samples[0] = ramp(30, true, xw::Loop::kPingPong, 4, 10);
  const std::vector<std::uint8_t> bytes = xw::write(m);
  ASSERT_NE(loadBytes(bytes), nullptr);
  std::string reasons;  // each new reason once, as the cut moves through the file
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    const std::vector<std::uint8_t> cut(bytes.begin(),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(length));
    LoadError error{};
    EXPECT_EQ(loadBytes(cut, &error), nullptr) << length;
    const std::string reason = describeLoadError(error) + "\n";
    if (!reasons.ends_with(reason)) reasons += reason;
  }
  EXPECT_EQ(reasons,
            "not an XM file (it does not start with \"Extended Module: \")\n"
            "the file ends inside the song header\nthe file ends inside pattern 0\n"
            "the file ends inside instrument 1\nthe file ends inside sample 0 of instrument 1\n"
            "the file ends inside instrument 2\nthe file ends inside sample 0 of instrument 2\n");
}

TEST(Loader, MissingFileOrOperationsGiveNoSong) {
  installMemoryFileOps();
  EXPECT_EQ(testing::SongPtr(loadSong("no-such-module.xm")), nullptr);
  FileOps partial = memoryFileOps();
  partial.tell = nullptr;
  installFileOps(partial);  // only a whole table is installed
  EXPECT_EQ(fileOps().open, nullptr);
  LoadError error{};
  EXPECT_EQ(loadSong("no-such-module.xm", &error), nullptr);  // a cleared table opens nothing
  EXPECT_EQ(error.problem, LoadProblem::kCannotOpen);
  installMemoryFileOps();
  EXPECT_NE(fileOps().open, nullptr);
}

}  // namespace
}  // namespace quarvel::music
