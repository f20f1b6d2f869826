// Channel machinery: envelopes, fade-out, auto-vibrato and the hand-over to voices.
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/engine_state.h"

namespace quarvel::music {
namespace {

struct Envelope {
  EnvelopePoint points[kEnvelopeCapacity] = {};
  std::uint8_t count = 0, sustain = 0, loopStart = 0, loopEnd = 0, type = kEnvelopeOn;
};

// Steps the volume envelope `ticks` times and records its value after each step.
std::vector<std::int32_t> run(Channel& ch, const Envelope& e, int ticks) {
  std::vector<std::int32_t> values;
  for (int i = 0; i < ticks; ++i) {
    if (ch.volumeEnvelope.finished == 0) {
      stepEnvelope(ch, ch.volumeEnvelope, e.points, e.count, e.sustain, e.loopStart, e.loopEnd,
                   e.type, kFlagVolume);
    }
    values.push_back(ch.volumeEnvelope.value);
  }
  return values;
}

Channel freshChannel() {
  Channel ch{};
  resetChannelForInstrument(ch, kEmptySample);
  return ch;
}

TEST(Envelope, InterpolatesBetweenPointsAndFinishesAtTheLast) {
  Envelope e;
  e.points[0] = {0, 0};
  e.points[1] = {4, 64};
  e.points[2] = {6, 32};
  e.count = 3;
  Channel ch = freshChannel();
  EXPECT_EQ(run(ch, e, 9), (std::vector<std::int32_t>{0, 16, 32, 48, 64, 48, 32, 32, 32}));
  EXPECT_EQ(ch.volumeEnvelope.finished, 1);
  EXPECT_NE(ch.flags & kFlagVolume, 0);
}

TEST(Envelope, SustainHoldsUntilKeyOff) {
  Envelope e;
  e.points[0] = {0, 64};
  e.points[1] = {2, 32};
  e.points[2] = {4, 0};
  e.count = 3;
  e.sustain = 1;
  e.type = kEnvelopeOn | kEnvelopeSustain;
  Channel ch = freshChannel();
  EXPECT_EQ(run(ch, e, 6), (std::vector<std::int32_t>{64, 48, 32, 32, 32, 32}));
  ch.keyOff = 1;  // the held point starts its segment on the next step
  EXPECT_EQ(run(ch, e, 4), (std::vector<std::int32_t>{32, 16, 0, 0}));
  EXPECT_EQ(ch.volumeEnvelope.finished, 1);
}

TEST(Envelope, LoopJumpsBackAndNeverFinishes) {
  Envelope e;
  e.points[0] = {0, 0};
  e.points[1] = {2, 64};
  e.points[2] = {4, 32};
  e.points[3] = {6, 0};
  e.count = 4;
  e.loopStart = 1;
  e.loopEnd = 3;
  e.type = kEnvelopeOn | kEnvelopeLoop;
  Channel ch = freshChannel();
  const std::vector<std::int32_t> values = run(ch, e, 16);
  // Point 3 is reached at tick 6 and sends the envelope back to point 1 (tick 2, value 64).
  EXPECT_EQ(std::vector<std::int32_t>(values.begin(), values.begin() + 11),
            (std::vector<std::int32_t>{0, 32, 64, 48, 32, 16, 64, 48, 32, 16, 64}));
  EXPECT_EQ(ch.volumeEnvelope.finished, 0);
  EXPECT_GE(ch.volumeEnvelope.tick, 2);
  EXPECT_LE(ch.volumeEnvelope.tick, 6);
}

TEST(Envelope, OutOfRangeIndicesAndEqualTicksAreSafe) {
  Envelope e;
  e.points[0] = {3, 10};
  e.points[1] = {3, 50};  // equal ticks: a zero step
  e.points[2] = {1, 20};  // a tick that is never reached again
  e.count = 3;
  e.loopStart = 200;  // points that do not exist
  e.loopEnd = 1;
  e.sustain = 250;
  e.type = kEnvelopeOn | kEnvelopeLoop | kEnvelopeSustain;
  Channel ch = freshChannel();
  const std::vector<std::int32_t> values = run(ch, e, 2000);
  EXPECT_EQ(values.back(), values[10]);
}

TEST(FadeOut, FallsByTheInstrumentsFadeoutAndStopsAtZero) {
  Instrument instrument{};
  instrument.fadeout = 0x6000;
  Channel ch = freshChannel();
  stepFadeOut(ch, instrument);
  EXPECT_EQ(ch.fadeVolume, 65536 - 0x6000);
  stepFadeOut(ch, instrument);
  stepFadeOut(ch, instrument);
  EXPECT_EQ(ch.fadeVolume, 0);
  EXPECT_NE(ch.flags & kFlagVolume, 0);
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
  // Positions 0, 64, 128, 192: w = 0, 64, 0, -64 for sine; d = 8 w >> 6.
  EXPECT_EQ(deltas(0, 5), (std::vector<std::int32_t>{0, 8, 0, -8, 0}));
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

TEST_F(VoiceFixture, FullVolumeAtCentreGivesEqualGains) {
  ch.flags = kFlagVolume | kFlagPanning;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->volume, 127);
  EXPECT_EQ(ch.voice->leftGain, 63);
  EXPECT_EQ(ch.voice->rightGain, 63);
  EXPECT_EQ(ch.voice->panning, 128);
}

TEST_F(VoiceFixture, PanningEnvelopeIsScaledByDistanceFromTheEdgeAndClamped) {
  ch.volume = 64;
  ch.panningEnvelope.value = 64;
  ch.panning = 0;
  ch.flags = kFlagVolume | kFlagPanning;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->panning, 0);
  EXPECT_EQ(ch.voice->leftGain, 0);
  EXPECT_EQ(ch.voice->rightGain, 127);
  ch.panning = 128;
  ch.flags = kFlagPanning;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->panning, 255);
  EXPECT_EQ(ch.voice->leftGain, 127);
  EXPECT_EQ(ch.voice->rightGain, 0);
  ch.panning = 200;
  ch.panningEnvelope.value = 0;  // (128 - 72) / 32 = 1: one step per envelope unit
  ch.flags = kFlagPanning;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->panning, 168);
}

TEST_F(VoiceFixture, VolumeScalesWithEnvelopeFadeAndGlobalVolume) {
  ch.volume = 40;
  ch.volumeDelta = -8;
  ch.volumeEnvelope.value = 32;
  ch.fadeVolume = 32768;
  song.globalVolume = 48;
  ch.voice->panning = 128;
  ch.flags = kFlagVolume;
  updateVoice(ch, sample, song);
  // 32 x 32 x 32768 x 48 x 255 / 2^35 = 11.95..., truncated.
  EXPECT_EQ(ch.voice->volume, 11);
  EXPECT_EQ(ch.voice->leftGain, 5);
  EXPECT_EQ(ch.voice->rightGain, 5);
}

TEST_F(VoiceFixture, FrequencyOnBothTablesWithAFloor) {
  // The Amiga clock constant 14317056 puts period 1712 a hair below 8363 Hz.
  EXPECT_EQ(periodToFrequency(1712, 0, false), 8362);
  EXPECT_EQ(periodToFrequency(1711, 0, false), 8367);
  EXPECT_EQ(periodToFrequency(4608, 0, true), 8363);
  EXPECT_EQ(periodToFrequency(4608, 768, true), 16726);   // the delta raises the pitch
  EXPECT_EQ(periodToFrequency(1712, 1712, false), 4181);  // ... and lowers it on Amiga
  EXPECT_EQ(periodToFrequency(14317056 / 50, 0, false), 100);
  EXPECT_EQ(periodToFrequency(-5, 0, false), 100);
  EXPECT_EQ(periodToFrequency(-2000000000, 0, true), 2147483647);

  ch.period = 1712;
  ch.flags = kFlagFrequency;
  song.flags = 0;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->stepInteger, 0u);
  const auto step8362 = static_cast<std::uint32_t>((std::uint64_t{8362} << 32) / 44100);
  EXPECT_EQ(ch.voice->stepFraction, step8362);
  ch.period = 20;
  ch.periodDelta = -20;  // a zero period leaves the step alone
  ch.flags = kFlagFrequency;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->stepFraction, step8362);
}

TEST_F(VoiceFixture, TriggerOnABusyVoiceMovesTheNoteToItsPartner) {
  Voice* first = ch.voice;
  ch.flags = kFlagTrigger | kFlagVolume | kFlagPanning;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice, first);
  EXPECT_EQ(first->sample, &sample);
  first->position = 40;
  first->currentLeft = 63 * 256;

  Sample other = sample;
  ch.flags = kFlagTrigger | kFlagVolume | kFlagPanning;
  updateVoice(ch, other, song);
  Voice* partner = &engineState().voices[35];
  EXPECT_EQ(ch.voice, partner);
  EXPECT_EQ(partner->index, 35);
  EXPECT_EQ(partner->sample, &other);
  EXPECT_EQ(partner->position, 0u);
  EXPECT_EQ(partner->currentLeft, 0);  // ramps up from silence
  EXPECT_EQ(partner->leftGain, 63);
  EXPECT_EQ(first->sample, &sample);  // the old note keeps running ...
  EXPECT_EQ(first->position, 40u);
  EXPECT_EQ(first->leftGain, 0);  // ... towards silence
  EXPECT_EQ(first->currentLeft, 63 * 256);
  EXPECT_EQ(first->index, 3);

  ch.flags = kFlagTrigger;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice, first);  // and back again
}

TEST_F(VoiceFixture, StartOffsetBeyondTheLoopStartsAtZero) {
  ch.voice->startOffset = 100;
  ch.flags = kFlagTrigger;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->position, 0u);
  ch.voice->sample = nullptr;
  ch.voice->startOffset = 99;
  ch.flags = kFlagTrigger;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->position, 99u);
  EXPECT_EQ(ch.voice->startOffset, 0u);
  ch.flags = kFlagRestart;
  updateVoice(ch, sample, song);
  EXPECT_EQ(ch.voice->position, 0u);
}

}  // namespace
}  // namespace quarvel::music
