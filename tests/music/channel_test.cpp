// Channel machinery: envelopes, fade-out, auto-vibrato and the hand-over to voices.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/engine_state.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

// Past the last point (only a damaged state gets there) the value is held from value16; the rest
// of the envelope is pinned by the whole-demo run.
TEST(Envelope, PastTheLastPointTheValueIsHeld) {
  Channel ch{};
  ch.volumeEnvelope.pointIndex = 3;
  ch.volumeEnvelope.value16 = 10 << 16;
  const EnvelopePoint points[kEnvelopeCapacity] = {{0, 0}, {2, 64}, {4, 32}};
  stepEnvelope(ch, ch.volumeEnvelope, points, 3, 0, 0, 0, kEnvelopeOn, kFlagVolume);
  EXPECT_EQ(std::pair(ch.volumeEnvelope.value, ch.volumeEnvelope.tick), std::pair(10, 1));
}

TEST(AutoVibrato, SquareRampsAndUnknownTypes) {
  Instrument instrument{};
  instrument.vibratoDepth = 8;
  instrument.vibratoRate = 64;
  auto deltas = [&](std::uint8_t type, int ticks) {
    instrument.vibratoType = type;
    Channel ch{};
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
}

struct VoiceFixture : ::testing::Test {
  void SetUp() override {
    Voice* voices = engineState().voices;
    voices[3] = voices[35] = Voice{};  // the channel's voice and its partner
    voices[3].index = 3;
    voices[35].index = 35;
    song.globalVolume = 64;
    song.flags = kLinearFrequencies;
    ch.voice = &voices[3];
    resetChannelForInstrument(ch, sample);
  }
  Song song{};
  Sample sample{nullptr, 100, 0, 100, 64, 0, 128, 16, kLoopNone, 0};
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
      // 14317056 / 1712 = 8362.77; the delta lowers the pitch; the linear table is pinned by the
      // whole-demo run but for its ceiling.
      {1712, 0, false, 8362},  {1711, 0, false, 8367}, {1712, 1712, false, 4181},
      {286342, 0, false, 100}, {-5, 0, false, 100},    {-2000000000, 0, true, 2147483647},
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
    EXPECT_EQ(std::pair(ch.voice->stepInteger, ch.voice->stepFraction),
              std::pair(std::uint32_t(integer), std::uint32_t(fraction)))
        << period;
  }
  EXPECT_EQ(ch.flags, 0);
}

TEST_F(VoiceFixture, TriggerStartsAtTheOffsetAndRestartGoesBackToTheStart) {
  const std::uint32_t offsets[][2] = {{99, 99}, {100, 0}};  // at the loop end: from the start
  for (const auto& [offset, position] : offsets) {
    ch.voice->startOffset = offset;
    ch.flags = kFlagTrigger;
    updateVoice(ch, sample, song);
    EXPECT_EQ(std::pair(ch.voice->position, ch.voice->startOffset), std::pair(position, 0u));
  }
  ch.voice->positionFraction = 7;
  ch.voice->startOffset = 5;
  ch.flags = kFlagRestart;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->position + ch.voice->positionFraction + ch.voice->startOffset, 0u);
}

}  // namespace
}  // namespace quarvel::music
