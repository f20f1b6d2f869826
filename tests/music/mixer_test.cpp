// Mixer and block renderer: loop edges, ramps cut short, block timing, and the vector paths
// against the reference path (the same sums, voice states and PCM values).
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/engine_state.h"
#include "music/mix_kernels.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/voice.h"
#include "music_test_support.h"
#include "support/vector_paths.h"

namespace quarvel::music {
namespace {

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
    engineState().rampFrames = 128;
    for (int i = 0; i < kVoiceCount; ++i) {
      engineState().voices[i] = Voice{};
      engineState().voices[i].index = i;
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
};

TEST_F(Mixer, AStepBeyondALoopLengthWrapsOntoTheLoop) {
  OwnedSample s({7, 9}, kLoopForward, 1, 1);  // from 0, three values a frame: 3 - 1 = 2 = 0 mod 1
  Voice& voice = play(s.sample);
  voice.stepInteger = 3;
  mix(1);
  EXPECT_EQ(voice.position, 1u);
}

TEST_F(Mixer, PingPongFromTheFirstValueNeverReadsBeforeIt) {
  // Backward from 1024 / 2^32 above value 0: three frames reach the start, though the end
  // search's 8.24 estimate (a step of 256 / 2^32) says four. The fourth frame's position lies
  // below zero (-509 or -506 / 2^32, an odd and an even one), turns to 508 or 505 / 2^32 and
  // moves on forward.
  for (const auto& [step, fraction] : {std::pair{511u, 1019u}, std::pair{510u, 1015u}}) {
    OwnedSample s({5, -7, 9, -11, 13}, kLoopPingPong, 0, 5);
    Voice& voice = play(s.sample, 255, 255);
    voice.direction = kBackward;
    voice.positionFraction = 1024;
    voice.stepInteger = 0;
    voice.stepFraction = step;
    for (float v : mix(4)) EXPECT_NEAR(v, 5.0f, 0.001f) << step;
    EXPECT_EQ(voice.direction, kForward) << step;
    EXPECT_EQ(voice.position, 0u) << step;
    EXPECT_EQ(voice.positionFraction, fraction) << step;
  }
}

// Ramps from a settled gain are pinned by the whole-demo run; a target changed mid-ramp is not.
TEST_F(Mixer, ANewTargetHalfWayThroughARampStartsFromWhereTheGainStands) {
  OwnedSample s(std::vector<std::int16_t>(64, 1000), kLoopForward, 0, 64);
  Voice& voice = play(s.sample, 0, 0);
  voice.leftGain = 255;
  mix(64);
  voice.leftGain = 0;
  EXPECT_EQ(mix(1)[0], 500.0f);
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

TEST(BlockRenderer, PreparingResetsTheSongAndTicksFallWhereTheyAreDue) {
  testing::SongPtr song = testing::loadModule(testing::basicModule());
  ASSERT_NE(song, nullptr);
  engineState().voices[9].sample = &kEmptySample;
  song->tick = 3;
  song->nextRow = 7;
  ASSERT_TRUE(preparePlayback(song.get()));
  // The start from the defaults is pinned by the whole-demo run; here: what a run left behind.
  testing::expectAll({{"tick", song->tick, 0}, {"next row", song->nextRow, -1}});
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(engineState().mixBuffer) % 16, 0u);
  const Voice& nine = engineState().voices[9];
  EXPECT_TRUE(nine.sample == nullptr && nine.stepInteger == 1u);
  mixBlock();  // 884 frames: ticks at frames 0 and 882 of row 0
  testing::expectAll({{"tick", song->tick, 2},
                      {"frames left", song->samplesLeftInTick, 880},
                      {"block", blockIndex(), 1}});
}

TEST(BlockRenderer, ReleasingTheSongClearsTheVoices) {
  xmwriter::Module m = testing::basicModule();
  m.patterns[0].at(0, 0, 1) = {xmwriter::note(4, 0), 1, 0, 0, 0};
  testing::SongPtr song = testing::loadModule(m);
  ASSERT_TRUE(preparePlayback(song.get()));
  mixBlock();
  testing::loadModule(m).reset();  // releasing another song leaves this one's voices alone
  EXPECT_NE(engineState().voices[0].sample, nullptr);
  song.reset();  // no voice may point into the released samples
  for (const Voice& v : engineState().voices) EXPECT_EQ(v.sample, nullptr);
  EXPECT_EQ(pcmRing().samples, nullptr);
  mixBlock();  // nothing to render into: no effect
  EXPECT_FALSE(preparePlayback(nullptr));
  EXPECT_FALSE(freeSong(nullptr));
}

struct Lcg {
  std::uint32_t state = 2024;
  std::uint32_t next(std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

// Steps where a target's rounds change from one window of values to one load per frame (1.0 for
// 16 lanes, 15/7 for 8), one unit of 2^-32 either side, and the zero step.
constexpr std::uint64_t kEdgeSteps[] = {
    0,           0xFFFFFFFF,  std::uint64_t{1} << 32, (std::uint64_t{1} << 32) + 1,
    0x224924923, 0x224924924, std::uint64_t{2} << 32};

void setStep(Voice& v, Lcg& random) {
  if (random.next(4) == 0) {
    const std::uint64_t step = kEdgeSteps[random.next(std::size(kEdgeSteps))];
    v.stepInteger = static_cast<std::uint32_t>(step >> 32);
    v.stepFraction = static_cast<std::uint32_t>(step);
    return;
  }
  v.stepInteger = random.next(3) == 0 ? random.next(5) : 0;
  v.stepFraction = random.next(8) == 0 ? 0 : random.next(1u << 24) << 8 | random.next(256);
}

// Any sample; any step from 0 to about 5; forward, or backward inside a ping-pong loop.
void startNote(Voice& v, const std::vector<Sample>& samples, Lcg& random) {
  const Sample& s = samples[random.next(static_cast<std::uint32_t>(samples.size()))];
  v.sample = &s;
  v.position = s.length == 0 ? 0 : random.next(s.length);
  v.positionFraction = random.next(1u << 24) << 8;
  setStep(v, random);
  v.direction = s.loopMode == kLoopPingPong && random.next(2) == 0 ? kBackward : kForward;
  if (v.direction == kBackward && v.position < s.loopStart) v.position = s.loopStart;
  v.currentLeft = v.currentRight = static_cast<std::int32_t>(random.next(256)) * 256;
}

// 400 blocks in which the 64 voices start notes, change pitch and change gains at random, each
// mixed in two calls as at a tick boundary: the sums, then every voice field that mixing changes.
quarvel::testing::Words mixRandomBlocks(const MixKernels& kernels) {
  Lcg random;
  std::vector<std::int16_t> values(4000 + kSampleGuardValues);
  for (std::int16_t& v : values) v = static_cast<std::int16_t>(random.next(65536) - 32768);
  std::int16_t* x = values.data();  // the values after a sample's length serve as its guard
  // An 8-bit sample as the loader widens it: steps of 256.
  std::vector<std::int16_t> bytes(700 + kSampleGuardValues);
  for (std::int16_t& v : bytes) v = static_cast<std::int16_t>((random.next(256) - 128) * 256);
  // No loop, forward loops (one a single value long), ping-pong loops, a sample of no values.
  // Fields: data, length, loopStart, loopLength, volume, finetune, panning, bits, loopMode.
  const std::vector<Sample> samples = {
      {x, 300, 0, 300, 64, 0, 128, 16, kLoopNone, 0},
      {x, 300, 100, 160, 64, 0, 128, 16, kLoopForward, 0},
      {x, 4000, 3999, 1, 64, 0, 128, 16, kLoopForward, 0},
      {x, 120, 50, 40, 64, 0, 128, 16, kLoopPingPong, 0},
      {x, 2000, 0, 2000, 64, 0, 128, 16, kLoopPingPong, 0},
      {bytes.data(), 700, 10, 690, 64, 0, 128, 8, kLoopPingPong, 0},
      {nullptr, 0, 0, 0, 64, 0, 128, 16, kLoopNone, 0}};
  EngineState& state = engineState();
  state.rampFrames = 128;
  for (Voice& v : state.voices) v = Voice{};
  quarvel::testing::Words out;
  for (int block = 0; block < 400; ++block) {
    for (int i = 0; i < kVoiceCount; ++i) {
      Voice& v = state.voices[i];
      if (v.sample == nullptr || random.next(16) == 0) {
        // The note that played moves on silently as the partner voice, as a trigger does.
        if (i < 32 && v.sample != nullptr) {
          state.voices[i + 32] = v;
          state.voices[i + 32].leftGain = state.voices[i + 32].rightGain = 0;
        }
        startNote(v, samples, random);
      } else if (random.next(8) == 0) {
        setStep(v, random);  // a pitch slide or vibrato moves the step of a playing note
      }
      // Gains kept (no ramp), silenced, or anything (ramps up and down, some cut short).
      const std::uint32_t change = random.next(4);
      if (change != 0) {
        v.leftGain = change == 1 ? 0 : static_cast<std::int32_t>(random.next(256));
        v.rightGain = change == 1 ? 0 : static_cast<std::int32_t>(random.next(256));
      }
    }
    // From 1 frame up; nothing in the first call when the cut is 0.
    const auto frames = static_cast<std::int32_t>(1 + random.next(block % 2 == 0 ? 17 : 900));
    const auto cut = static_cast<std::int32_t>(random.next(static_cast<std::uint32_t>(frames)));
    std::vector<float> mix(static_cast<std::size_t>(frames) * 2);
    mixVoicesWith(kernels, mix.data(), cut);
    mixVoicesWith(kernels, mix.data() + 2 * cut, frames - cut);
    quarvel::testing::appendWords(out, mix);
    for (const Voice& v : state.voices) {
      out.insert(out.end(), {v.sample != nullptr, v.position, v.positionFraction, v.direction,
                             std::uint32_t(v.lastLeftTarget), std::uint32_t(v.lastRightTarget),
                             std::uint32_t(v.currentLeft), std::uint32_t(v.currentRight),
                             v.rampFramesLeft, __builtin_bit_cast(std::uint32_t, v.rampLeftStep),
                             __builtin_bit_cast(std::uint32_t, v.rampRightStep)});
    }
  }
  for (Voice& v : state.voices) v.sample = nullptr;
  return out;
}

// One row per target: a target this build or processor cannot run is skipped by name. The
// reference's kernels and the target's are called side by side.
using MixerOnEveryTarget = quarvel::testing::LaneTargetTest;

// Block by block: the sums and every voice's state after each block.
TEST_P(MixerOnEveryTarget, GivesTheReferenceSumsAndVoiceStates) {
  const quarvel::testing::Words expected =
      mixRandomBlocks(mixKernels(lanes::VectorPath::Reference));
  const quarvel::testing::Words got = mixRandomBlocks(mixKernels(GetParam()));
  std::size_t at = 0;
  while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
  EXPECT_TRUE(at == got.size() && at == expected.size()) << "word " << at << " differs";
}

TEST_P(MixerOnEveryTarget, ConvertsToPcmAsTheReference) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // Ties to even, both clamps, beyond the 32-bit range, NaN, infinities, -0.
  const std::vector<std::pair<float, std::int16_t>> cases = {
      {2.5f, 2},           {3.5f, 4},           {-2.5f, -2},        {-0.0f, 0},
      {32766.5f, 32766},   {32767.5f, 32767},   {32768.0f, 32767},  {4e9f, 32767},
      {-32768.5f, -32768}, {-32769.0f, -32768}, {-4e9f, -32768},    {nan, 0},
      {inf, 32767},        {-inf, -32768},      {0.49f, 0},         {-0.51f, -1},
      {1e-30f, 0},         {7.5f, 8},           {-7.5f, -8},        {12345.5f, 12346},
      {0.5f, 0},           {-0.5f, 0},          {1.5f, 2},          {-1.5f, -2},
      {4194303.5f, 32767}, {-1e-30f, 0},        {32766.51f, 32767}, {-32767.5f, -32768},
      {16383.5f, 16384},   {65535.5f, 32767},   {-3.5f, -4},        {0.75f, 1}};
  const std::size_t n = cases.size();  // even: whole frames, and more than 16 lanes
  for (const lanes::VectorPath path : {lanes::VectorPath::Reference, GetParam()}) {
    const MixKernels& kernels = mixKernels(path);
    for (std::size_t start = 0; start < 16; ++start) {  // each case in every lane
      std::vector<float> in;
      for (std::size_t i = 0; i < n; ++i) in.push_back(cases[(start + i) % n].first);
      std::vector<std::int16_t> out(n);
      convertToPcm16With(kernels, out.data(), in.data(), static_cast<std::int32_t>(n / 2));
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(out[i], cases[(start + i) % n].second)
            << lanes::vectorPathName(path) << " input " << in[i];
      }
    }
    // Nothing happens without input, output or frames.
    std::int16_t out[2] = {7, 7};
    const float in[2] = {1.0f, 1.0f};
    convertToPcm16With(kernels, out, nullptr, 1);
    convertToPcm16With(kernels, nullptr, in, 1);
    convertToPcm16With(kernels, out, in, 0);
    EXPECT_EQ(out[0], 7) << lanes::vectorPathName(path);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, MixerOnEveryTarget, quarvel::testing::laneTargets(),
                         quarvel::testing::targetName);

}  // namespace
}  // namespace quarvel::music
