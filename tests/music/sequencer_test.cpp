// Sequencer: tick and row timing, order flow, effects and their memories.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/engine_state.h"
#include "music/sequencer.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

using testing::basicModule;
using testing::loadModule;
using testing::SongPtr;
namespace xw = xmwriter;

constexpr std::uint8_t kC4 = xw::note(4, 0);  // realNote 48 with relativeNote 0

SongPtr prepared(const xw::Module& m) {
  SongPtr song = loadModule(m);
  if (song) preparePlayback(song.get());
  return song;
}

Channel& channel(int i) {
  return engineState().channels[i];
}

// Runs ticks and records (order, row) each time a row starts.
std::vector<std::pair<int, int>> rowsPlayed(Song* song, int ticks) {
  std::vector<std::pair<int, int>> rows;
  for (int i = 0; i < ticks; ++i) {
    const bool rowTick = song->tick == 0;
    song->tickOperation(song);
    if (rowTick) rows.emplace_back(song->order, song->row);
  }
  return rows;
}

void runTicks(Song* song, int n) {
  for (int i = 0; i < n; ++i) song->tickOperation(song);
}

TEST(Sequencer, TickLengthFollowsBpm) {
  Song song{};
  setBpm(&song, 125);
  EXPECT_EQ(song.samplesPerTick, 882);
  setBpm(&song, 32);
  EXPECT_EQ(song.samplesPerTick, 3445);
  setBpm(&song, 0);
  EXPECT_EQ(song.bpm, 125);
  EXPECT_EQ(song.samplesPerTick, 882);
  setBpm(&song, 1000000000);
  EXPECT_GE(song.samplesPerTick, 1);
}

TEST(Sequencer, PeriodTables) {
  EXPECT_EQ(noteToAmigaPeriod(48, 0), 1712);
  EXPECT_EQ(noteToLinearPeriod(48, 0), 4608);
  EXPECT_EQ(noteToLinearPeriod(48, -3), 4609);  // finetune / 2 rounds toward zero
  EXPECT_EQ(noteToAmigaPeriod(60, 0), 856);
  // Finetune moves a fraction of the way to the neighbouring note, both directions.
  const std::int32_t up = noteToAmigaPeriod(48, 64);
  const std::int32_t down = noteToAmigaPeriod(48, -64);
  EXPECT_EQ(up, 1712 - 64 * (1712 - noteToAmigaPeriod(49, 0)) / 128);
  EXPECT_EQ(down, 1712 + 64 * (noteToAmigaPeriod(47, 0) - 1712) / 128);
  EXPECT_LT(up, 1712);
  EXPECT_GT(down, 1712);
}

TEST(Sequencer, PatternDelayStretchesTheRow) {
  xw::Module m = basicModule(1, 4);
  m.patterns[0].at(0, 0, 1) = {0, 0, 0, 14, 0xE2};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  const auto rows = rowsPlayed(song.get(), 18 + 6 + 1);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], std::make_pair(0, 0));
  EXPECT_EQ(rows[1], std::make_pair(0, 1));  // started on call 19: row 0 lasted 18 ticks
  EXPECT_EQ(rows[2], std::make_pair(0, 2));
}

TEST(Sequencer, PatternLoopPlaysThreeTimes) {
  xw::Module m = basicModule(1, 4);
  m.tempo = 1;
  m.patterns[0].at(0, 0, 1) = {0, 0, 0, 14, 0x60};
  m.patterns[0].at(1, 0, 1) = {0, 0, 0, 14, 0x62};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  std::vector<int> rows;
  for (const auto& r : rowsPlayed(song.get(), 8)) rows.push_back(r.second);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 0, 1, 0, 1, 2, 3}));
}

xw::Module jumpModule() {
  xw::Module m = basicModule(2, 40);
  m.tempo = 1;
  for (int i = 1; i < 7; ++i) m.addPattern(40);
  m.orders = {0, 1, 2, 3, 4, 5, 6};
  return m;
}

TEST(Sequencer, JumpsAndBreaks) {
  xw::Module m = jumpModule();
  m.patterns[0].at(0, 0, 2) = {0, 0, 0, 11, 5};      // B05
  m.patterns[0].at(0, 1, 2) = {0, 0, 0, 13, 0x10};   // D10 in a later column
  m.patterns[5].at(10, 0, 2) = {0, 0, 0, 13, 0x32};  // D32
  m.patterns[6].at(32, 1, 2) = {0, 0, 0, 13, 0x70};  // D70: beyond 63 means row 0
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  const auto rows = rowsPlayed(song.get(), 4);
  EXPECT_EQ(rows[1], std::make_pair(5, 10));
  EXPECT_EQ(rows[2], std::make_pair(6, 32));
  EXPECT_EQ(rows[3], std::make_pair(0, 0));  // next order after the last wraps to 0
}

TEST(Sequencer, BreakPastTheEndOfAShortPatternMovesOn) {
  xw::Module m = basicModule(1, 4);
  m.tempo = 1;
  m.addPattern(8);
  m.addPattern(2);
  m.orders = {0, 1, 2};
  m.patterns[0].at(0, 0, 1) = {0, 0, 0, 13, 0x20};  // row 20 of an 8-row pattern
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  const auto rows = rowsPlayed(song.get(), 3);
  EXPECT_EQ(rows[1], std::make_pair(1, 20));  // plays nothing ...
  EXPECT_EQ(rows[2], std::make_pair(2, 0));   // ... and goes on with the next order
}

TEST(Sequencer, SpeedAndTempoCommands) {
  xw::Module m = basicModule(1, 8);
  m.patterns[0].at(0, 0, 1) = {0, 0, 0, 15, 0x00};  // F00: one row per tick
  m.patterns[0].at(3, 0, 1) = {0, 0, 0, 15, 0x1F};
  m.patterns[0].at(4, 0, 1) = {0, 0, 0, 15, 0x20};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  const auto rows = rowsPlayed(song.get(), 4);
  EXPECT_EQ(rows.back().second, 3);
  EXPECT_EQ(song->speed, 31);
  runTicks(song.get(), 30);
  EXPECT_EQ(song->bpm, 125);
  runTicks(song.get(), 1);
  EXPECT_EQ(song->row, 4);
  EXPECT_EQ(song->bpm, 32);
  EXPECT_EQ(song->samplesPerTick, 3445);
}

TEST(Sequencer, SongContinuesAtTheRestartPosition) {
  xw::Module m = basicModule(1, 1);
  m.tempo = 1;
  m.addPattern(1);
  m.addPattern(1);
  m.orders = {0, 1, 2};
  m.restartPosition = 1;
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  std::vector<int> orders;
  for (const auto& r : rowsPlayed(song.get(), 7)) orders.push_back(r.first);
  EXPECT_EQ(orders, (std::vector<int>{0, 1, 2, 1, 2, 1, 2}));
}

// One channel playing C-4 on row 0 with `effect` and `parameter`, then `rest` on row 1.
SongPtr noteWith(std::uint8_t effect, std::uint8_t parameter, bool linear = true,
                 xw::Cell rest = {}, int tempo = 6) {
  xw::Module m = basicModule(1, 4);
  m.linearFrequencies = linear;
  m.tempo = static_cast<std::uint16_t>(tempo);
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, effect, parameter};
  m.patterns[0].at(1, 0, 1) = rest;
  return prepared(m);
}

TEST(Effects, ArpeggioAddsSemitonesOnBothTables) {
  SongPtr song = noteWith(0, 0x37);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).periodDelta, 0);
  std::vector<std::int32_t> deltas;
  for (int i = 0; i < 5; ++i) {
    runTicks(song.get(), 1);
    deltas.push_back(channel(0).periodDelta);
  }
  EXPECT_EQ(deltas, (std::vector<std::int32_t>{192, 448, 0, 192, 448}));

  song = noteWith(0, 0x37, false);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 3);
  const std::int32_t seven = noteToAmigaPeriod(55, 0) - noteToAmigaPeriod(48, 0);
  EXPECT_EQ(channel(0).periodDelta, seven);
  EXPECT_LT(seven, 0);  // a shorter period: the pitch rises as on the linear table
}

TEST(Effects, PortamentoLimits) {
  SongPtr song = noteWith(1, 0xFF, false);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 2);
  EXPECT_EQ(channel(0).period, 1712 - 0xFF * 4);
  runTicks(song.get(), 4);
  EXPECT_EQ(channel(0).period, 56);

  song = noteWith(2, 0xFF, false, {0, 0, 0, 2, 0});  // row 1 reuses the memory
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 12);
  EXPECT_EQ(channel(0).period, 1712 + 10 * 0xFF * 4);
}

TEST(Effects, TonePortamentoSlidesWithoutRetriggering) {
  xw::Module m = basicModule(1, 4);
  m.linearFrequencies = false;
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, 0, 0};
  m.patterns[0].at(1, 0, 1) = {xw::note(4, 2), 1, 0, 3, 0x20};  // slide up to D-4 at 128/tick
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 6);
  const Voice* voice = channel(0).voice;
  const std::uint32_t position = voice->position;
  runTicks(song.get(), 1);  // row 1, tick 0
  const std::int32_t target = noteToAmigaPeriod(50, 0);
  EXPECT_EQ(channel(0).note, 48);  // the note of a porta row is not taken
  EXPECT_EQ(channel(0).targetPeriod, target);
  EXPECT_EQ(channel(0).portaTarget, target);
  EXPECT_EQ(channel(0).period, 1712);
  EXPECT_EQ(channel(0).voice, voice);
  EXPECT_EQ(voice->position, position);  // no trigger
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).period, 1712 - 128);
  runTicks(song.get(), 4);
  EXPECT_EQ(channel(0).period, target);  // stops at the target
}

TEST(Effects, VibratoWaveforms) {
  // Sine, speed 8, depth 15; the position is not advanced on tick 0. Row 1 repeats it.
  SongPtr song = noteWith(4, 0x8F, true, {0, 0, 0, 4, 0});
  ASSERT_NE(song, nullptr);
  std::vector<std::int32_t> deltas;
  for (int i = 0; i < 9; ++i) {
    runTicks(song.get(), 1);
    deltas.push_back(channel(0).periodDelta);
  }
  // Positions 0, 0, 8, 16, 24, -32 (wrapped), then -24, -24, -16 on row 1.
  EXPECT_EQ(deltas, (std::vector<std::int32_t>{0, 0, -84, -120, -84, 0, 84, 84, 120}));

  xw::Module m = basicModule(1, 4);
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, 14, 0x42};  // square
  m.patterns[0].at(1, 0, 1) = {0, 0, 0, 4, 0x8F};
  song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 7);
  EXPECT_EQ(channel(0).periodDelta, -116);  // (15 x 255) >> 5 = 119, low bits cleared

  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, 14, 0x41};  // ramp
  song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 9);
  EXPECT_EQ(channel(0).periodDelta, -28);  // position 8: w = 64
}

TEST(Effects, TremoloOffsetIsCutAndKeptAfterwards) {
  xw::Module m = basicModule(1, 4);
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x30, 14, 0x72};  // square tremolo, volume 32
  m.patterns[0].at(1, 0, 1) = {0, 0, 0, 7, 0x48};
  m.patterns[0].at(2, 0, 1) = {0, 0, 0, 0, 0};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 8);
  EXPECT_EQ(channel(0).volumeDelta, 31);  // (8 x 255) >> 6 at position 0
  runTicks(song.get(), 4);                // positions 4, 8, 12 (speed 4) ... then row 2 starts
  const std::int32_t lastDelta = channel(0).volumeDelta;
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).volume, 32 + lastDelta);

  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x4C, 14, 0x72};  // volume 60
  song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 8);
  EXPECT_EQ(channel(0).volumeDelta, 4);

  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x30, 14, 0x73};  // waveform 3 plays the sine
  song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 9);
  EXPECT_EQ(channel(0).volumeDelta, 12);  // position 4: |sin(pi / 8)| x 256 = 97
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).volumeDelta, 22);  // position 8: 181
}

TEST(Effects, TremorSilencesAfterTheOnTicks) {
  SongPtr song = noteWith(29, 0x12, true, {0, 0, 0, 29, 0});  // on 2 ticks, off 3
  ASSERT_NE(song, nullptr);
  std::vector<std::int32_t> deltas;
  for (int i = 0; i < 8; ++i) {
    runTicks(song.get(), 1);
    deltas.push_back(channel(0).volumeDelta);
  }
  EXPECT_EQ(deltas, (std::vector<std::int32_t>{0, 0, -64, -64, -64, 0, 0, -64}));
}

TEST(Effects, RetrigVolumeTable) {
  const std::pair<int, int> expected[] = {{0, 32}, {1, 31}, {5, 16},  {6, 21},  {7, 16},
                                          {8, 32}, {9, 33}, {13, 48}, {14, 48}, {15, 64}};
  for (const auto& [type, volume] : expected) {
    xw::Module m = basicModule(1, 4);
    m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x30, 27, static_cast<std::uint8_t>(type << 4 | 1)};
    SongPtr song = prepared(m);
    ASSERT_NE(song, nullptr);
    runTicks(song.get(), 1);
    const Voice* before = channel(0).voice;
    runTicks(song.get(), 1);
    EXPECT_EQ(channel(0).volume, volume) << "type " << type;
    EXPECT_NE(channel(0).voice, before) << "type " << type;  // retriggered on the partner
  }
  SongPtr song = noteWith(27, 0x52, true, {}, 12);  // volume 64, minus 16 every 2nd tick
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 12);
  EXPECT_EQ(channel(0).volume, 0);  // clamped
}

TEST(Effects, VolumeAboveRangeThenSlide) {
  SongPtr song = noteWith(12, 0x50, true, {0, 0, 0, 10, 0x10});
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).volume, 80);
  runTicks(song.get(), 7);
  EXPECT_EQ(channel(0).volume, 64);
}

TEST(Effects, VolumeColumnSlidesAndPanning) {
  xw::Module m = basicModule(1, 4);
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x20, 0, 0};  // volume 16
  m.patterns[0].at(1, 0, 1) = {0, 0, 0x72, 0, 0};    // +2 on every tick
  m.patterns[0].at(2, 0, 1) = {0, 0, 0x93, 0, 0};    // +3 once
  m.patterns[0].at(3, 0, 1) = {0, 0, 0xC4, 0, 0};    // panning 64
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 6);
  EXPECT_EQ(channel(0).volume, 16);
  runTicks(song.get(), 6);
  EXPECT_EQ(channel(0).volume, 28);
  runTicks(song.get(), 6);
  EXPECT_EQ(channel(0).volume, 31);
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).panning, 64);
}

TEST(Effects, GlobalVolumeSetAndSlide) {
  SongPtr song = noteWith(16, 0x20, true, {0, 0, 0, 17, 0x03});
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 6);
  EXPECT_EQ(song->globalVolume, 32);
  runTicks(song.get(), 6);
  EXPECT_EQ(song->globalVolume, 32 - 5 * 3);
  song = noteWith(16, 0x7F, true, {0, 0, 0, 17, 0x50});
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 1);
  EXPECT_EQ(song->globalVolume, 64);
  runTicks(song.get(), 11);
  EXPECT_EQ(song->globalVolume, 64);
}

TEST(Effects, SetEnvelopePosition) {
  auto run = [](std::uint8_t position) {
    xw::Module m = basicModule(1, 4);
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}, {20, 32}};
    m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, 21, position};
    SongPtr song = prepared(m);
    runTicks(song.get(), 1);
    return channel(0).volumeEnvelope;
  };
  EnvelopeState e = run(5);
  EXPECT_EQ(e.pointIndex, 1);
  EXPECT_EQ(e.tick, 5);
  EXPECT_EQ(e.step, -(64 << 16) / 10);
  EXPECT_EQ(e.value, 32);
  EXPECT_EQ(e.finished, 0);
  e = run(15);
  EXPECT_EQ(e.pointIndex, 2);
  EXPECT_EQ(e.value, 15);
  e = run(30);
  EXPECT_EQ(e.value, 32);
  EXPECT_EQ(e.finished, 1);
}

TEST(Effects, KeyOffWithoutEnvelopeSilencesAtOnce) {
  SongPtr song = noteWith(0, 0, true, {xw::kKeyOff, 0, 0, 0, 0});
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 6);
  EXPECT_EQ(channel(0).volumeEnvelope.value, 64);
  const Voice* voice = channel(0).voice;
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).keyOff, 1);
  EXPECT_EQ(channel(0).volumeEnvelope.value, 0);
  EXPECT_EQ(channel(0).voice, voice);  // no trigger
  EXPECT_EQ(voice->volume, 0);
}

TEST(Effects, SampleOffsetBeyondTheLoopRestartsInstead) {
  xw::Module m = basicModule(1, 4);
  m.instruments[0].samples[0].values.assign(4096, 5);
  m.instruments[0].samples[0].loopLength = 2048;
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0, 9, 0x04};
  m.patterns[0].at(2, 0, 1) = {kC4, 1, 0, 9, 0x10};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).voice->position, 1024u);
  runTicks(song.get(), 11);
  const Voice* voice = channel(0).voice;
  runTicks(song.get(), 1);
  EXPECT_EQ(channel(0).voice, voice);
  EXPECT_EQ(channel(0).voice->position, 0u);
  EXPECT_EQ(channel(0).sampleOffsetMemory, 0x10);
}

TEST(Effects, NoteDelayTriggersOnItsTick) {
  xw::Module m = basicModule(1, 4);
  m.patterns[0].at(0, 0, 1) = {kC4, 1, 0x30, 14, 0xD3};
  SongPtr song = prepared(m);
  ASSERT_NE(song, nullptr);
  runTicks(song.get(), 3);
  EXPECT_EQ(channel(0).voice->sample, nullptr);
  runTicks(song.get(), 1);
  ASSERT_NE(channel(0).voice->sample, nullptr);
  EXPECT_EQ(channel(0).volume, 32);
  EXPECT_EQ(channel(0).period, 4608);
}

}  // namespace
}  // namespace quarvel::music
