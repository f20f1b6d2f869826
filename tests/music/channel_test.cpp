// Channel machinery: envelopes, fade-out, auto-vibrato and the hand-over to voices.
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/engine_state.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

Channel freshChannel() {
  Channel ch{};
  resetChannelForInstrument(ch, kEmptySample);
  return ch;
}

TEST(Envelope, PointsSustainAndLoops) {
  struct {
    const char* name;
    std::vector<EnvelopePoint> points;
    std::uint8_t sustain, loopStart, loopEnd, type;
    int keyOffAfter;  // steps before key-off; -1: never
    std::vector<std::int32_t> values;
    bool finished;
  } cases[] = {
      // Steps 64 x 65536 / 3 and -32 x 65536 / 3, truncated; values truncate too.
      // clang-format off
      {"segments and the last point", {{0, 0}, {3, 64}, {6, 32}}, 0, 0, 0, kEnvelopeOn, -1,
       {0, 21, 42, 64, 53, 42, 32, 32}, true},
      {"sustain holds until key-off", {{0, 64}, {2, 32}, {4, 0}}, 1, 0, 0,
       kEnvelopeOn | kEnvelopeSustain, 6, {64, 48, 32, 32, 32, 32, 32, 16, 0, 0}, true},
      {"loop from point 1 to point 3", {{0, 0}, {2, 64}, {4, 32}, {6, 0}}, 0, 1, 3,
       kEnvelopeOn | kEnvelopeLoop, -1, {0, 32, 64, 48, 32, 16, 64, 48, 32, 16, 64, 48}, false},
      // clang-format on
  };
  for (const auto& c : cases) {
    EnvelopePoint points[kEnvelopeCapacity] = {};
    for (std::size_t i = 0; i < c.points.size(); ++i) points[i] = c.points[i];
    Channel ch = freshChannel();
    ch.flags = 0;
    std::vector<std::int32_t> values;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      if (static_cast<int>(i) == c.keyOffAfter) ch.keyOff = 1;
      if (ch.panningEnvelope.finished == 0) {
        stepEnvelope(ch, ch.panningEnvelope, points, static_cast<std::uint8_t>(c.points.size()),
                     c.sustain, c.loopStart, c.loopEnd, c.type, kFlagPanning);
      }
      values.push_back(ch.panningEnvelope.value);
    }
    EXPECT_EQ(values, c.values) << c.name;
    EXPECT_EQ(ch.panningEnvelope.finished != 0, c.finished) << c.name;
    EXPECT_EQ(ch.flags, kFlagPanning) << c.name;
  }
  // Past the last point (only a damaged state gets there) the value is held from value16.
  Channel ch = freshChannel();
  ch.volumeEnvelope.pointIndex = 3;
  ch.volumeEnvelope.value16 = 10 << 16;
  const EnvelopePoint points[kEnvelopeCapacity] = {{0, 0}, {2, 64}, {4, 32}};
  stepEnvelope(ch, ch.volumeEnvelope, points, 3, 0, 0, 0, kEnvelopeOn, kFlagVolume);
  EXPECT_EQ(ch.volumeEnvelope.value, 10);
  EXPECT_EQ(ch.volumeEnvelope.tick, 1);
}

TEST(AutoVibrato, WaveformsSweepAndUnknownTypes) {
  Instrument instrument{};
  instrument.vibratoDepth = 8;
  instrument.vibratoRate = 64;
  auto deltas = [&](std::uint8_t type, int ticks) {
    instrument.vibratoType = type;
    Channel ch = freshChannel();
    std::vector<std::int32_t> out;
    for (int i = 0; i < ticks; ++i) {
      ch.periodDelta = 0;
      applyAutoVibrato(ch, instrument);
      out.push_back(ch.periodDelta);
    }
    return out;
  };
  // Positions 0, 64, 128, 192, so d = 8 w >> 6 of the square, ramps and nothing.
  EXPECT_EQ(deltas(1, 4), (std::vector<std::int32_t>{8, 8, -8, -8}));
  EXPECT_EQ(deltas(2, 4), (std::vector<std::int32_t>{0, -4, 8, 4}));
  EXPECT_EQ(deltas(3, 4), (std::vector<std::int32_t>{0, 4, 8, -4}));
  EXPECT_EQ(deltas(7, 4), (std::vector<std::int32_t>{0, 0, 0, 0}));
  instrument.vibratoSweep = 4;  // depth grows over four ticks
  EXPECT_EQ(deltas(1, 6), (std::vector<std::int32_t>{0, 2, -4, -6, 8, 8}));
}

struct VoiceFixture : ::testing::Test {
  void SetUp() override {
    EngineState& state = engineState();
    for (int i = 0; i < kVoiceCount; ++i) {
      state.voices[i] = Voice{};
      state.voices[i].index = i;
    }
    song.globalVolume = 64;
    song.flags = kLinearFrequencies;
    sample.length = 100;
    sample.loopLength = 100;
    sample.loopMode = kLoopNone;
    sample.volume = 64;
    sample.panning = 128;
    ch.voice = &state.voices[3];
    resetChannelForInstrument(ch, sample);
  }
  Song song{};
  Sample sample{};
  Channel ch{};
};

TEST_F(VoiceFixture, GainsFromVolumeEnvelopesFadeGlobalVolumeAndPanning) {
  struct {
    std::int32_t volume, volumeDelta, envelope, fade, global, panning, panningEnvelope;
    std::uint8_t flags;
    std::int32_t voiceVolume, left, right, voicePanning;
  } cases[] = {
      // 80 x 64 x 65536 x 64 x 255 / 2^35 = 159.375
      {80, 0, 64, 65536, 64, 128, 32, kFlagVolume | kFlagPanning, 159, 79, 79, 128},
      {10, -10, 64, 65536, 64, 128, 32, kFlagVolume | kFlagPanning, 0, 0, 0, 128},
      // The envelope moves panning by (128 - |p - 128|) / 32 per unit, then clamps.
      {64, 0, 64, 65536, 64, 0, 64, kFlagVolume | kFlagPanning, 127, 0, 127, 0},
      {64, 0, 64, 65536, 64, 128, 64, kFlagVolume | kFlagPanning, 127, 127, 0, 255},
      // Without the panning flag the voice keeps its panning (128 from the last update).
      {64, 0, 64, 65536, 32, 200, 0, kFlagVolume, 63, 31, 31, 128},
      // Without the volume flag the voice keeps its volume (127).
      {20, 0, 64, 65536, 64, 255, 32, kFlagPanning, 127, 127, 0, 255},
  };
  for (const auto& c : cases) {
    SetUp();
    ch.flags = kFlagVolume | kFlagPanning;
    updateVoice(ch, sample, song);  // the voice starts at 127, panning 128
    ch.volume = c.volume;
    ch.volumeDelta = c.volumeDelta;
    ch.volumeEnvelope.value = c.envelope;
    ch.fadeVolume = c.fade;
    song.globalVolume = c.global;
    ch.panning = c.panning;
    ch.panningEnvelope.value = c.panningEnvelope;
    ch.flags = c.flags;
    updateVoice(ch, sample, song);
    const Voice& v = *ch.voice;
    // clang-format off
    testing::expectAll({{"volume", v.volume, c.voiceVolume}, {"left", v.leftGain, c.left},
        {"right", v.rightGain, c.right}, {"panning", v.panning, c.voicePanning}},
        std::to_string(c.volume) + " " + std::to_string(c.panning));
    // clang-format on
  }
}

TEST_F(VoiceFixture, FrequencyOnBothTablesWithAFloor) {
  struct {
    std::int32_t period, delta;
    bool linear;
    std::int32_t hertz;
  } cases[] = {
      {1712, 0, false, 8362},                              // 14317056 / 1712 = 8362.77
      {1711, 0, false, 8367},  {1712, 1712, false, 4181},  // the delta lowers the pitch
      {4608, 0, true, 8363},   {4608, 768, true, 16726},   // ... and raises it here
      {4607, 0, true, 8370},   {5376, 0, true, 4181},     {4608, -1, true, 8355},
      {286342, 0, false, 100}, {-5, 0, false, 100},       {-2000000000, 0, true, 2147483647},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(periodToFrequency(c.period, c.delta, c.linear), c.hertz)
        << c.period << " " << c.delta;
  }
  // The step is hertz / 44100 in 32.32: 8362 gives 0.189615 x 2^32 = 814388129, 50059 Hz gives
  // 1 + 0.135125 x 2^32. A zero period leaves the step alone.
  song.flags = 0;
  const std::int32_t periods[][4] = {
      {1712, 0, 0, 814388129}, {286, 0, 1, 580356238}, {20, -20, 1, 580356238}};
  for (const auto& [period, delta, integer, fraction] : periods) {
    ch.period = period;
    ch.periodDelta = delta;
    ch.flags = kFlagFrequency;
    updateVoice(ch, sample, song);
    EXPECT_EQ(ch.voice->stepInteger, static_cast<std::uint32_t>(integer)) << period;
    EXPECT_EQ(ch.voice->stepFraction, static_cast<std::uint32_t>(fraction)) << period;
  }
  EXPECT_EQ(ch.flags, 0);
}

TEST_F(VoiceFixture, TriggerStartsAtTheOffsetAndRestartGoesBackToTheStart) {
  const std::uint32_t offsets[][2] = {{99, 99}, {100, 0}};  // at the loop end: from the start
  for (const auto& [offset, position] : offsets) {
    ch.voice->startOffset = offset;
    ch.flags = kFlagTrigger;
    updateVoice(ch, sample, song);
    EXPECT_EQ(ch.voice->position, position) << offset;
    EXPECT_EQ(ch.voice->startOffset, 0u) << offset;
  }
  ch.voice->positionFraction = 7;
  ch.voice->startOffset = 5;
  ch.flags = kFlagRestart;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->position + ch.voice->positionFraction + ch.voice->startOffset, 0u);
}

}  // namespace
}  // namespace quarvel::music
