// The soundtrack: the committed module is what the generator makes, and it plays as the demo
// needs it to (scene changes on pattern boundaries, no clipping, no gaps, even levels, a loop).
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "music/sequencer.h"
#include "music/song.h"
#include "songgen/composition.h"
#include "songgen/instruments.h"

namespace quarvel::songgen {
namespace {

constexpr std::int64_t kRate = 44100;
constexpr std::int64_t kPatternFrames = 5 * kRate;

std::vector<std::uint8_t> readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SongModule, RegeneratedBytesMatchTheCommittedFile) {
  const std::vector<std::uint8_t> committed = readFile(QUARVEL_SONG_FILE);
  ASSERT_FALSE(committed.empty()) << QUARVEL_SONG_FILE;
  const std::vector<std::uint8_t> fresh = songBytes();
  EXPECT_LT(fresh.size(), 1000000u);
  EXPECT_TRUE(fresh == committed) << "the composition changed: rerun songgen " << QUARVEL_SONG_FILE;
}

TEST(SongModule, SamplesFitTheirWidthAndForwardLoopsJoinSmoothly) {
  const std::vector<xmwriter::Instrument> instruments = demoInstruments();
  ASSERT_EQ(instruments.size(), std::size_t{kInstrumentCount});
  for (const xmwriter::Instrument& in : instruments) {
    for (const xmwriter::Sample& s : in.samples) {
      SCOPED_TRACE(s.name);
      const std::int32_t limit = s.sixteenBit ? 32767 : 127;
      for (const std::int32_t v : s.values) ASSERT_LE(std::abs(v), limit);
      if (s.loop == xmwriter::Loop::kNone) continue;
      ASSERT_GT(s.loopLength, 1u);
      ASSERT_LE(s.loopStart + s.loopLength, s.values.size());
      if (s.loop != xmwriter::Loop::kForward) continue;
      // A waveform loop that does not hold whole cycles clicks where it jumps back.
      std::int32_t steepest = 0;
      const std::uint32_t end = s.loopStart + s.loopLength;
      for (std::uint32_t i = s.loopStart + 1; i < end; ++i) {
        steepest = std::max(steepest, std::abs(s.values[i] - s.values[i - 1]));
      }
      EXPECT_LE(std::abs(s.values[s.loopStart] - s.values[end - 1]), steepest * 3 / 2 + 1);
    }
  }
}

TEST(SongModule, TonalInstrumentsPlayMiddleCAtNoteC4) {
  // Cycle lengths the waveforms were built with; through the player's own period and frequency
  // arithmetic, note C-4 must sound 261.63 Hz within 3 cents on every tonal instrument.
  const std::pair<InstrumentNumber, double> tonal[] = {
      {kBass, 256}, {kPad, 128}, {kGatePad, 128}, {kLead, 128},
      {kPluck, 32}, {kBell, 64}, {kEchoLead, 128}};
  const std::vector<xmwriter::Instrument> instruments = demoInstruments();
  for (const auto& [number, cycle] : tonal) {
    const xmwriter::Sample& s = instruments[number - 1].samples[0];
    const std::int32_t period = music::noteToLinearPeriod(48 + s.relativeNote, s.finetune);
    const double rate = music::periodToFrequency(period, 0, true);
    EXPECT_NEAR(1200.0 * std::log2(rate / cycle / 261.6256), 0.0, 3.0) << s.name;
  }
  // Drums and noises play at about their generated 44100 values per second at C-4.
  for (const InstrumentNumber number : {kKick, kSnare, kClosedHat, kOpenHat, kRiser, kCrash}) {
    const xmwriter::Sample& s = instruments[number - 1].samples[0];
    const std::int32_t period = music::noteToLinearPeriod(48 + s.relativeNote, s.finetune);
    EXPECT_NEAR(music::periodToFrequency(period, 0, true), 44100, 100) << s.name;
  }
}

TEST(SongModule, UsesTheWholeRangeOfPlayerFeatures) {
  const xmwriter::Module m = composeSong();
  EXPECT_GE(m.channels, 8);
  EXPECT_LE(m.channels, 16);
  EXPECT_TRUE(m.linearFrequencies);
  std::set<int> widths, loops;
  bool sustain = false, volumeLoop = false, panningLoop = false, autoVibrato = false,
       fadeout = false;
  for (const xmwriter::Instrument& in : m.instruments) {
    for (const xmwriter::Sample& s : in.samples) {
      widths.insert(s.sixteenBit ? 16 : 8);
      loops.insert(static_cast<int>(s.loop));
    }
    sustain |= in.volumeEnvelope.sustain || in.panningEnvelope.sustain;
    volumeLoop |= in.volumeEnvelope.loop;
    panningLoop |= in.panningEnvelope.loop;
    autoVibrato |= in.vibratoDepth != 0 && in.vibratoRate != 0;
    fadeout |= in.fadeout != 0;
  }
  EXPECT_EQ(widths, (std::set<int>{8, 16}));
  EXPECT_EQ(loops.size(), 3u);
  EXPECT_TRUE(sustain && volumeLoop && panningLoop && autoVibrato && fadeout);

  std::set<int> effects;
  bool keyOff = false, volumeColumnSlide = false;
  for (const xmwriter::Pattern& p : m.patterns) {
    for (const xmwriter::Cell& c : p.cells) {
      if (c.effect != 0 || c.parameter != 0) effects.insert(c.effect);
      keyOff |= c.note == xmwriter::kKeyOff;
      volumeColumnSlide |= c.volume >= 0x60 && c.volume < 0xA0;
    }
  }
  // Arpeggio, slides, tone portamento, vibrato, tremolo, panning, volume slide, tempo,
  // panning slide and retrigger.
  for (const int e : {0, 1, 2, 3, 4, 7, 8, 10, 15, 25, 27}) EXPECT_TRUE(effects.count(e)) << e;
  EXPECT_TRUE(keyOff);
  EXPECT_TRUE(volumeColumnSlide);
}

// Renders the committed module once through the player for 82 s and keeps what the checks
// below need.
class SongPlayback : public ::testing::Test {
 protected:
  struct OrderChange {
    int order;
    std::int64_t frame;  // first frame of the order's first row
  };
  static constexpr std::int64_t kRenderFrames = 82 * kRate;

  static void SetUpTestSuite() {
    result_ = new Result();
    music::installMemoryFileOps();
    music::Song* song = music::loadSong(QUARVEL_SONG_FILE);
    if (song == nullptr) return;
    result_->loaded = true;
    result_->restartPosition = song->restartPosition;
    music::preparePlayback(song);
    int lastOrder = song->order;
    std::int64_t frame = 0;
    std::int64_t lastLoud = 0;
    while (frame < kRenderFrames) {
      const std::uint32_t block = music::blockIndex();
      music::mixBlock();
      const std::int16_t* pcm = music::pcmBlock(block);
      for (std::uint32_t i = 0; i < music::blockFrames(); ++i, ++frame) {
        int section = 0;
        while (section < 4 && frame >= kSceneSeconds[section + 1] * kRate) ++section;
        for (int side = 0; side < 2; ++side) {
          const int v = pcm[2 * i + side];
          result_->peak = std::max(result_->peak, std::abs(v));
          result_->squares[section] += static_cast<double>(v) * v;
          result_->sideSquares[side] += static_cast<double>(v) * v;
          if (std::abs(v) >= 200) lastLoud = frame;
        }
        result_->longestQuiet = std::max(result_->longestQuiet, frame - lastLoud);
      }
      if (song->order != lastOrder) {
        // The order's first row started (tick - 1) whole ticks and part of one before now.
        const std::int64_t intoRow =
            static_cast<std::int64_t>(song->tick - 1) * song->samplesPerTick +
            (song->samplesPerTick - song->samplesLeftInTick);
        result_->changes.push_back({song->order, song->row == 0 ? frame - intoRow : -1});
        lastOrder = song->order;
      }
    }
    music::freeSong(song);
  }

  static void TearDownTestSuite() {
    delete result_;
    result_ = nullptr;
  }

  static double sectionDb(int section) {
    const double seconds = kSceneSeconds[section + 1] - kSceneSeconds[section];
    return 10.0 *
           std::log10(result_->squares[section] / (2.0 * seconds * kRate) / (32768.0 * 32768.0));
  }

  struct Result {
    bool loaded = false;
    int restartPosition = -1;
    int peak = 0;
    std::int64_t longestQuiet = 0;
    double squares[5] = {0, 0, 0, 0, 0};
    double sideSquares[2] = {0, 0};
    std::vector<OrderChange> changes;
  };
  static Result* result_;
};

SongPlayback::Result* SongPlayback::result_ = nullptr;

TEST_F(SongPlayback, EveryPatternLastsExactlyFiveSecondsAndTheSongLoopsAfterEighty) {
  ASSERT_TRUE(result_->loaded);
  EXPECT_EQ(result_->restartPosition, kRestartOrder);
  ASSERT_EQ(result_->changes.size(), std::size_t{kPatternCount});
  for (int k = 1; k < kPatternCount; ++k) {
    EXPECT_EQ(result_->changes[k - 1].order, k);
    EXPECT_EQ(result_->changes[k - 1].frame, k * kPatternFrames) << "order " << k;
  }
  // The only step back goes to the restart position, and only at 80 s.
  EXPECT_EQ(result_->changes.back().order, kRestartOrder);
  EXPECT_EQ(result_->changes.back().frame, 80 * kRate);
  // So the scene changes at 15, 40 and 55 s fall on pattern boundaries too.
  for (const double t : {15.0, 40.0, 55.0}) {
    EXPECT_EQ(static_cast<std::int64_t>(t * kRate) % kPatternFrames, 0) << t;
  }
}

TEST_F(SongPlayback, StaysBelowFullScaleWithoutGaps) {
  ASSERT_TRUE(result_->loaded);
  EXPECT_LT(result_->peak, 29000);  // about -1 dBFS
  EXPECT_GT(result_->peak, 16000);  // and not timidly quiet
  EXPECT_LT(result_->longestQuiet, kRate / 2);
}

TEST_F(SongPlayback, ScenesAndSidesAreBalanced) {
  ASSERT_TRUE(result_->loaded);
  double quietest = 0.0, loudest = -200.0;
  for (int s = 0; s < 4; ++s) {
    const double db = sectionDb(s);
    SCOPED_TRACE(s);
    EXPECT_GT(db, -26.0);
    EXPECT_LT(db, -14.0);
    quietest = std::min(quietest, db);
    loudest = std::max(loudest, db);
  }
  EXPECT_LT(loudest - quietest, 6.0);
  // The climax is the loudest part and the intro the quietest.
  EXPECT_EQ(loudest, sectionDb(3));
  EXPECT_EQ(quietest, sectionDb(0));
  const double sides = 10.0 * std::log10(result_->sideSquares[0] / result_->sideSquares[1]);
  EXPECT_LT(std::fabs(sides), 1.5);
}

}  // namespace
}  // namespace quarvel::songgen
