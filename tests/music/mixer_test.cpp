// Mixer and block renderer: interpolation, loops, gain ramps, PCM conversion, block timing.
#include <vector>

#include <gtest/gtest.h>

#include "music/engine_state.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/voice.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

namespace xw = xmwriter;

// A sample whose buffer carries the guard values, as the loader builds it.
struct OwnedSample {
  std::vector<std::int16_t> values;
  Sample sample{};

  OwnedSample(std::vector<std::int16_t> v, std::uint8_t mode, std::uint32_t loopStart,
              std::uint32_t loopLength)
      : values(std::move(v)) {
    const std::size_t length = values.size();
    values.resize(length + kSampleGuardValues, 0);
    sample.data = values.data();
    sample.length = static_cast<std::uint32_t>(length);
    sample.loopMode = mode;
    sample.loopStart = mode == kLoopNone ? 0 : loopStart;
    sample.loopLength = mode == kLoopNone ? static_cast<std::uint32_t>(length) : loopLength;
    const std::uint32_t end = sample.loopStart + sample.loopLength;
    if (mode == kLoopForward) values[end] = values[loopStart];
    if (mode == kLoopPingPong) values[end] = values[end - 1];
    sample.data = values.data();
  }
};

std::vector<std::int16_t> tens(int count) {
  std::vector<std::int16_t> v;
  for (int i = 0; i < count; ++i) v.push_back(static_cast<std::int16_t>(i * 10));
  return v;
}

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineState& state = engineState();
    state.rampFrames = 128;
    for (int i = 0; i < kVoiceCount; ++i) {
      state.voices[i] = Voice{};
      state.voices[i].index = i;
    }
  }
  void TearDown() override {
    for (Voice& v : engineState().voices) v.sample = nullptr;
  }

  // Voice 0 playing `s` at full left gain (already in effect) and step 1.0.
  Voice& play(const Sample& s, std::int32_t left = 255, std::int32_t right = 0) {
    Voice& v = engineState().voices[0];
    v.sample = &s;
    v.direction = kForward;
    v.stepInteger = 1;
    v.leftGain = left;
    v.rightGain = right;
    v.currentLeft = left * 256;
    v.currentRight = right * 256;
    return v;
  }

  std::vector<float> mix(int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
    mixVoices(out.data(), frames);
    return out;
  }

  static std::vector<float> lefts(const std::vector<float>& frames) {
    std::vector<float> l;
    for (std::size_t i = 0; i < frames.size(); i += 2) l.push_back(frames[i]);
    return l;
  }
};

TEST_F(Mixer, InterpolatesLinearlyBetweenNeighbours) {
  std::vector<std::int16_t> v(100, 0);
  v[10] = 100;
  v[11] = 200;
  OwnedSample s(v, kLoopNone, 0, 0);
  Voice& voice = play(s.sample);
  voice.position = 10;
  voice.positionFraction = 0x80000000u;
  const std::vector<float> out = mix(1);
  EXPECT_EQ(out[0], 150.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(voice.position, 11u);
  EXPECT_EQ(voice.positionFraction, 0x80000000u);
}

TEST_F(Mixer, OneShotPlaysEveryValueThenGoesIdle) {
  std::vector<std::int16_t> v;
  for (int i = 0; i < 100; ++i) v.push_back(static_cast<std::int16_t>(i + 1));
  OwnedSample s(v, kLoopNone, 0, 0);
  Voice& voice = play(s.sample, 255, 255);
  const std::vector<float> out = mix(150);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(out[2 * i], static_cast<float>(i + 1)) << i;
    ASSERT_EQ(out[2 * i + 1], static_cast<float>(i + 1)) << i;
  }
  for (int i = 100; i < 150; ++i) ASSERT_EQ(out[2 * i], 0.0f) << i;
  EXPECT_EQ(voice.sample, nullptr);
  EXPECT_EQ(voice.position, 0u);
}

TEST_F(Mixer, ForwardLoopRepeatsItsRange) {
  OwnedSample s(tens(30), kLoopForward, 10, 20);
  play(s.sample);
  std::vector<float> expected;
  for (int i = 0; i < 30; ++i) expected.push_back(static_cast<float>(i * 10));
  for (int lap = 0; lap < 3; ++lap) {
    for (int i = 10; i < 30; ++i) expected.push_back(static_cast<float>(i * 10));
  }
  EXPECT_EQ(lefts(mix(90)), expected);
}

TEST_F(Mixer, PingPongLoopTurnsAtBothEnds) {
  OwnedSample s(tens(30), kLoopPingPong, 10, 20);
  Voice& voice = play(s.sample);
  std::vector<float> expected;
  for (int i = 0; i < 30; ++i) expected.push_back(static_cast<float>(i * 10));
  // Backward from just below 30: the fraction 0xFFFFFFFF interpolates to the upper value.
  expected.push_back(290.0f);
  for (int i = 29; i >= 11; --i) expected.push_back(static_cast<float>(i * 10));
  for (int i = 10; i < 30; ++i) expected.push_back(static_cast<float>(i * 10));
  expected.push_back(290.0f);
  EXPECT_EQ(lefts(mix(static_cast<int>(expected.size()))), expected);
  EXPECT_EQ(voice.direction, kBackward);
  EXPECT_EQ(voice.position, 28u);
}

TEST_F(Mixer, GainRampStartsAtTheOldGainAndTakes128Frames) {
  OwnedSample s(std::vector<std::int16_t>(64, 1000), kLoopForward, 0, 64);
  Voice& voice = play(s.sample, 255, 0);
  voice.currentLeft = 0;  // the gain was 0 until now
  const std::vector<float> l = lefts(mix(200));
  EXPECT_EQ(l[0], 0.0f);
  EXPECT_EQ(l[64], 500.0f);
  EXPECT_EQ(l[127], 1000.0f * 127.0f / 128.0f);
  for (int i = 128; i < 200; ++i) ASSERT_EQ(l[i], 1000.0f) << i;
  EXPECT_EQ(voice.currentLeft, 255 * 256);
  EXPECT_EQ(voice.rampFramesLeft, 0u);

  voice.leftGain = 0;  // and down again, starting at full gain
  const std::vector<float> down = lefts(mix(130));
  EXPECT_EQ(down[0], 1000.0f);
  EXPECT_EQ(down[128], 0.0f);
}

TEST_F(Mixer, RampContinuesAcrossCallsAndRestartsForNewTargets) {
  OwnedSample s(std::vector<std::int16_t>(64, 1000), kLoopForward, 0, 64);
  Voice& voice = play(s.sample, 255, 0);
  voice.currentLeft = 0;
  std::vector<float> joined = lefts(mix(50));
  const std::vector<float> rest = lefts(mix(150));
  joined.insert(joined.end(), rest.begin(), rest.end());

  SetUp();
  Voice& again = play(s.sample, 255, 0);
  again.currentLeft = 0;
  EXPECT_EQ(joined, lefts(mix(200)));

  SetUp();
  Voice& changed = play(s.sample, 255, 0);
  changed.currentLeft = 0;
  mix(64);
  EXPECT_EQ(changed.rampFramesLeft, 64u);
  changed.leftGain = 0;  // a new target starts a fresh ramp from where the gain stands
  mix(1);
  EXPECT_EQ(changed.rampFramesLeft, 127u);
  EXPECT_EQ(changed.lastLeftTarget, 0);
}

TEST_F(Mixer, SplitCallsGiveTheSameFramesAsOneCall) {
  OwnedSample s(tens(300), kLoopPingPong, 37, 201);
  Voice& voice = play(s.sample, 200, 90);
  voice.stepInteger = 3;
  voice.stepFraction = 0x5A3C1234u;
  const std::vector<float> whole = mix(2000);
  SetUp();
  Voice& split = play(s.sample, 200, 90);
  split.stepInteger = 3;
  split.stepFraction = 0x5A3C1234u;
  std::vector<float> pieces;
  for (int n : {1, 2, 3, 77, 500, 417, 1000}) {
    const std::vector<float> part = mix(n);
    pieces.insert(pieces.end(), part.begin(), part.end());
  }
  EXPECT_EQ(pieces, whole);
}

TEST_F(Mixer, LoopsFromTheFirstValueStayInsideTheData) {
  // Odd steps that land just past the loop start while moving backward.
  OwnedSample s({5, -7, 9, -11, 13}, kLoopPingPong, 0, 5);
  Voice& voice = play(s.sample, 255, 255);
  voice.stepInteger = 0;
  voice.stepFraction = 0xB3333333u;
  mix(20000);
  EXPECT_EQ(voice.sample, &s.sample);
  EXPECT_LT(voice.position, 5u);
  voice.stepInteger = 7;  // a step longer than the loop
  mix(20000);
  EXPECT_LT(voice.position, 5u);
  voice.stepInteger = 0;
  voice.stepFraction = 0;  // a stalled voice still finishes its call
  mix(100);
  EXPECT_LT(voice.position, 5u);
}

TEST_F(Mixer, EmptySampleGoesIdleWithoutReadingAndOthersAdd) {
  Sample empty{};
  empty.loopMode = kLoopNone;
  OwnedSample s(std::vector<std::int16_t>(10, 100), kLoopNone, 0, 0);
  play(s.sample, 255, 255);
  Voice& second = engineState().voices[40];
  second.sample = &empty;
  second.stepInteger = 1;
  Voice& third = engineState().voices[63];
  third = engineState().voices[0];
  third.index = 63;
  const std::vector<float> out = mix(4);
  EXPECT_EQ(second.sample, nullptr);
  EXPECT_EQ(out[0], 200.0f);
  EXPECT_EQ(out[7], 200.0f);
  float untouched[2] = {1.0f, 1.0f};
  mixVoices(untouched, 0);
  mixVoices(untouched, -3);
  EXPECT_EQ(untouched[0], 1.0f);
}

TEST(Pcm16, RoundsTiesToEvenAndClamps) {
  const std::vector<float> in = {40000.0f, -40000.0f, 2.5f, 3.5f, -2.5f, 0.5f, 1.4999f, -32768.4f};
  std::vector<std::int16_t> out(in.size(), 99);
  convertToPcm16(out.data(), in.data(), 4);
  EXPECT_EQ(out, (std::vector<std::int16_t>{32767, -32768, 2, 4, -2, 0, 1, -32768}));
  convertToPcm16(out.data(), nullptr, 4);
  convertToPcm16(nullptr, in.data(), 4);
  convertToPcm16(out.data(), in.data(), 0);
}

TEST(BlockRenderer, PreparesSizesVoicesAndChannels) {
  testing::SongPtr song = testing::loadModule(testing::basicModule(4));
  ASSERT_NE(song, nullptr);
  engineState().voices[9].sample = &kEmptySample;
  ASSERT_TRUE(preparePlayback(song.get()));
  EXPECT_EQ(blockFrames(), 884u);
  EXPECT_EQ(ringFrames(), 88400u);
  EXPECT_EQ(blockCount(), 100u);
  EXPECT_EQ(engineState().rampFrames, 128u);
  EXPECT_EQ(blockIndex(), 0u);
  const EngineState& state = engineState();
  for (int i = 0; i < kVoiceCount; ++i) {
    EXPECT_EQ(state.voices[i].index, i);
    EXPECT_EQ(state.voices[i].stepInteger, 1u);
    EXPECT_EQ(state.voices[i].sample, nullptr);
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(state.channels[i].voice, &state.voices[i]);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state.mixBuffer) % 16, 0u);
  EXPECT_EQ(pcmRing().frames, 88400u);
  EXPECT_EQ(pcmBlock(1), pcmRing().samples + 884 * 2);
  EXPECT_EQ(pcmBlock(100), nullptr);
  EXPECT_EQ(song->speed, 6);
  EXPECT_EQ(song->bpm, 125);
  EXPECT_EQ(song->nextRow, -1);
  EXPECT_FALSE(preparePlayback(nullptr));
  EXPECT_FALSE(stopOutput(nullptr));
  EXPECT_FALSE(freeSong(nullptr));
}

TEST(BlockRenderer, TicksFallWhereTheyAreDueAndReadTheNewTickLength) {
  xw::Module m = testing::basicModule();
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_NE(song, nullptr);
  preparePlayback(song.get());
  mixBlock();  // ticks at frames 0 and 882
  EXPECT_EQ(song->tick, 2);
  EXPECT_EQ(song->samplesLeftInTick, 880);
  EXPECT_EQ(blockIndex(), 1u);

  m.patterns[0].at(0, 0, 1) = {0, 0, 0, 15, 0x20};  // 32 BPM from the first tick on
  song = testing::loadModule(m);
  ASSERT_NE(song, nullptr);
  preparePlayback(song.get());
  mixBlock();
  EXPECT_EQ(song->tick, 1);
  EXPECT_EQ(song->samplesLeftInTick, 3445 - 884);
  for (int i = 1; i < 100; ++i) mixBlock();
  EXPECT_EQ(blockIndex(), 0u);
}

TEST(BlockRenderer, RenderingIsRepeatableAndStopReleases) {
  xw::Module m = testing::basicModule(2, 16);
  m.patterns[0].at(0, 0, 1) = {xw::note(4, 0), 1, 0, 0, 0};
  m.patterns[0].at(4, 1, 1) = {xw::note(4, 7), 1, 0x30, 4, 0x46};
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_NE(song, nullptr);
  auto render = [&] {
    preparePlayback(song.get());
    for (int i = 0; i < 20; ++i) mixBlock();
    const PcmView ring = pcmRing();
    return std::vector<std::int16_t>(ring.samples, ring.samples + 20 * 884 * 2);
  };
  const std::vector<std::int16_t> first = render();
  EXPECT_EQ(first, render());
  bool sound = false;
  for (std::int16_t v : first) sound = sound || v != 0;
  EXPECT_TRUE(sound);
  EXPECT_TRUE(stopOutput(song.get()));
  EXPECT_EQ(pcmRing().samples, nullptr);
  EXPECT_EQ(engineState().currentSong, nullptr);
  mixBlock();  // nothing to render into: no effect
  EXPECT_TRUE(stopOutput(song.get()));
  releasePlaybackBuffers();
}

}  // namespace
}  // namespace quarvel::music
