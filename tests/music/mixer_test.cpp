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

  OwnedSample(std::vector<std::int16_t> v, std::uint8_t mode, std::uint32_t loopStart = 0,
              std::uint32_t loopLength = 0)
      : values(std::move(v)) {
    const auto length = static_cast<std::uint32_t>(values.size());
    values.resize(length + kSampleGuardValues, 0);
    const bool loops = mode != kLoopNone;
    const std::uint32_t start = loops ? loopStart : 0, span = loops ? loopLength : length;
    if (mode == kLoopForward) values[start + span] = values[start];
    if (mode == kLoopPingPong) values[start + span] = values[start + span - 1];
    sample = {values.data(), length, start, span, 64, 0, 128, 16, mode, 0};
  }
};

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineState& state = engineState();
    state.rampFrames = 128;
    state.rampFramesReciprocal = 1.0f / 128.0f;
    for (int i = 0; i < kVoiceCount; ++i) {
      state.voices[i] = Voice{};
      state.voices[i].index = i;
    }
  }
  void TearDown() override { SetUp(); }

  // Voice 0 playing `s` with these gains already in effect, at step 1.0.
  Voice& play(const Sample& s, std::int32_t left = 255, std::int32_t right = 0) {
    Voice& v = engineState().voices[0];
    v.sample = &s;
    v.direction = kForward;
    v.stepInteger = 1;
    v.leftGain = v.lastLeftTarget = left;
    v.rightGain = v.lastRightTarget = right;
    v.currentLeft = left * 256;
    v.currentRight = right * 256;
    return v;
  }

  static std::vector<float> mix(int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
    mixVoices(out.data(), frames);
    return out;
  }

  static std::vector<float> lefts(int frames) {
    const std::vector<float> both = mix(frames);
    std::vector<float> l;
    for (std::size_t i = 0; i < both.size(); i += 2) l.push_back(both[i]);
    return l;
  }
};

TEST_F(Mixer, InterpolatesLinearlyBetweenNeighbours) {
  std::vector<std::int16_t> v(100, 0);
  v[10] = 100;
  v[11] = 200;
  v[12] = -100;
  OwnedSample s(v, kLoopNone);
  Voice& voice = play(s.sample);
  voice.position = 10;
  voice.positionFraction = 0x80000000u;
  voice.stepInteger = 0;
  voice.stepFraction = 0xC0000000u;
  EXPECT_EQ(mix(2), (std::vector<float>{150.0f, 0.0f, 125.0f, 0.0f}));  // 10.5, then 11.25
  EXPECT_EQ(voice.position, 12u);
  EXPECT_EQ(voice.positionFraction, 0x00000000u);
}

TEST_F(Mixer, StepOneThroughLoopsAndOneShots) {
  // Runs of values (in tens) each mode plays from position 0 at step 1.0 over 30 values, loop
  // 10..29. Ping-pong turns just below 30 (29 + 0xFFFFFFFF / 2^32 reads the guard: 290).
  const struct {
    std::uint8_t mode;
    std::vector<std::pair<int, int>> runs;
    int frames;
    std::uint8_t direction;
    std::uint32_t position;
  } cases[] = {
      {kLoopNone, {{0, 29}}, 40, kForward, 0},
      {kLoopForward, {{0, 29}, {10, 29}, {10, 29}, {10, 29}}, 90, kForward, 10},
      {kLoopPingPong, {{0, 29}, {29, 29}, {29, 11}, {10, 29}, {29, 29}}, 71, kBackward, 28},
  };
  for (const auto& c : cases) {
    SetUp();
    std::vector<std::int16_t> tens;  // 0, 10, 20, ...
    for (int i = 0; i < 30; ++i) tens.push_back(static_cast<std::int16_t>(i * 10));
    OwnedSample s(tens, c.mode, 10, 20);
    Voice& voice = play(s.sample);
    std::vector<float> expected;
    for (const auto& [first, last] : c.runs) {
      for (int i = first; first <= last ? i <= last : i >= last; i += first <= last ? 1 : -1) {
        expected.push_back(static_cast<float>(i * 10));
      }
    }
    expected.resize(c.frames, 0.0f);  // the one-shot is silent after its end
    EXPECT_EQ(lefts(c.frames), expected) << int{c.mode};
    EXPECT_EQ(voice.sample, c.mode == kLoopNone ? nullptr : &s.sample) << int{c.mode};
    EXPECT_EQ(voice.direction, c.direction) << int{c.mode};
    EXPECT_EQ(voice.position, c.position) << int{c.mode};
  }
}

TEST_F(Mixer, PingPongFromTheFirstValueNeverReadsBeforeIt) {
  // Backward 1024 / 2^32 above value 0 at a step of 511 / 2^32: three frames reach the start,
  // though the end search's 8.24 estimate (step 256 / 2^32) says four.
  OwnedSample s({5, -7, 9, -11, 13}, kLoopPingPong, 0, 5);
  Voice& voice = play(s.sample, 255, 255);
  voice.direction = kBackward;
  voice.positionFraction = 1024;
  voice.stepInteger = 0;
  voice.stepFraction = 511;
  for (float v : lefts(4)) EXPECT_NEAR(v, 5.0f, 0.001f);
  EXPECT_EQ(voice.direction, kForward);
  EXPECT_EQ(voice.position, 0u);
}

TEST_F(Mixer, GainRampsTake128FramesFromWhereTheGainStands) {
  OwnedSample s(std::vector<std::int16_t>(64, 1000), kLoopForward, 0, 64);
  Voice& voice = play(s.sample, 255, 0);
  voice.currentLeft = 0;  // the gain was 0 until now
  std::vector<float> up = lefts(64);
  EXPECT_EQ(up[0], 0.0f);
  EXPECT_EQ(up[32], 250.0f);
  EXPECT_EQ(voice.rampFramesLeft, 64u);
  EXPECT_EQ(voice.currentLeft, 32640);  // 0.5 x 255 x 256
  up = lefts(136);
  EXPECT_EQ(up[63], 1000.0f * 127.0f / 128.0f);
  for (int i = 64; i < 136; ++i) ASSERT_EQ(up[i], 1000.0f) << i;
  EXPECT_EQ(voice.currentLeft, 255 * 256);
  EXPECT_EQ(voice.rampFramesLeft, 0u);

  voice.leftGain = 0;  // down again from full gain, and a half ramp on the right
  voice.rightGain = 128;
  const std::vector<float> both = mix(130);
  EXPECT_EQ(both[0], 1000.0f);
  EXPECT_EQ(both[1], 0.0f);
  EXPECT_EQ(both[2 * 128], 0.0f);
  EXPECT_EQ(both[2 * 128 + 1], 1000.0f * (128.0f / 255.0f));

  voice.leftGain = 255;  // a new target half-way through a ramp starts from where the gain stands
  mix(64);
  voice.leftGain = 0;
  EXPECT_EQ(lefts(1)[0], 500.0f);
  EXPECT_EQ(voice.rampFramesLeft, 127u);
  EXPECT_EQ(voice.lastLeftTarget, 0);
}

TEST_F(Mixer, EmptySampleGoesIdleAndOtherVoicesAdd) {
  Sample empty{};
  OwnedSample s(std::vector<std::int16_t>(10, 100), kLoopNone);
  play(s.sample, 255, 255);
  engineState().voices[63] = engineState().voices[0];
  engineState().voices[40].sample = &empty;
  EXPECT_EQ(mix(4), std::vector<float>(8, 200.0f));
  EXPECT_EQ(engineState().voices[40].sample, nullptr);
}

TEST(BlockRenderer, TicksFallWhereTheyAreDueAndReadTheNewTickLength) {
  xw::Module m = testing::basicModule();
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_NE(song, nullptr);
  engineState().voices[9].sample = &kEmptySample;
  song->tick = 3;
  song->nextRow = 7;
  ASSERT_TRUE(preparePlayback(song.get()));
  testing::expectAll({{"speed", song->speed, 6},
                      {"global volume", song->globalVolume, 64},
                      {"tick", song->tick, 0},
                      {"next row", song->nextRow, -1},
                      {"next order", song->nextOrder, -1},
                      {"frames", song->samplesPerTick, 882}});
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(engineState().mixBuffer) % 16, 0u);
  EXPECT_EQ(engineState().voices[9].sample, nullptr);
  EXPECT_EQ(engineState().voices[9].stepInteger, 1u);
  EXPECT_EQ(engineState().channels[0].voice, &engineState().voices[0]);
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

TEST(BlockRenderer, ReleasingTheSongClearsTheVoices) {
  xw::Module m = testing::basicModule();
  m.patterns[0].at(0, 0, 1) = {xw::note(4, 0), 1, 0, 0, 0};
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_TRUE(preparePlayback(song.get()));
  mixBlock();
  EXPECT_NE(engineState().voices[0].sample, nullptr);
  song.reset();  // no voice may point into the released samples
  for (const Voice& v : engineState().voices) EXPECT_EQ(v.sample, nullptr);
  EXPECT_EQ(pcmRing().samples, nullptr);
  mixBlock();  // nothing to render into: no effect
  EXPECT_FALSE(preparePlayback(nullptr));
  EXPECT_FALSE(freeSong(nullptr));
}

}  // namespace
}  // namespace quarvel::music
