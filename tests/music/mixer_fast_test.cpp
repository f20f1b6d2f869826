// The mixer's vector paths against its reference path: the same sums, the same voice state.
#include <bit>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "music/engine_state.h"
#include "music/voice.h"
#include "support/vector_paths.h"

namespace quarvel::music {
namespace {

struct Lcg {
  std::uint32_t state = 2024;
  std::uint32_t next(std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

// Any sample; any step from 0 to about 5; forward, or backward inside a ping-pong loop.
void startNote(Voice& v, const std::vector<Sample>& samples, Lcg& random) {
  const Sample& s = samples[random.next(static_cast<std::uint32_t>(samples.size()))];
  v.sample = &s;
  v.position = s.length == 0 ? 0 : random.next(s.length);
  v.positionFraction = random.next(1u << 24) << 8;
  v.stepInteger = random.next(3) == 0 ? random.next(5) : 0;
  v.stepFraction = random.next(8) == 0 ? 0 : random.next(1u << 24) << 8 | random.next(256);
  v.direction = s.loopMode == kLoopPingPong && random.next(2) == 0 ? kBackward : kForward;
  if (v.direction == kBackward && v.position < s.loopStart) v.position = s.loopStart;
  v.currentLeft = v.currentRight = static_cast<std::int32_t>(random.next(256)) * 256;
}

// 400 blocks in which the 64 voices start notes and change gains at random, each mixed in two
// calls as at a tick boundary: the sums, then every voice field that mixing changes.
testing::Words mixRandomBlocks() {
  Lcg random;
  std::vector<std::int16_t> values(4000 + kSampleGuardValues);
  for (std::int16_t& v : values) v = static_cast<std::int16_t>(random.next(65536) - 32768);
  std::int16_t* x = values.data();  // the values after a sample's length serve as its guard
  // No loop, forward loops (one a single value long), ping-pong loops, a sample of no values.
  // Fields: data, length, loopStart, loopLength, volume, finetune, panning, bits, loopMode.
  const std::vector<Sample> samples = {{x, 300, 0, 300, 64, 0, 128, 16, kLoopNone, 0},
                                       {x, 300, 100, 160, 64, 0, 128, 16, kLoopForward, 0},
                                       {x, 4000, 3999, 1, 64, 0, 128, 16, kLoopForward, 0},
                                       {x, 120, 50, 40, 64, 0, 128, 16, kLoopPingPong, 0},
                                       {x, 2000, 0, 2000, 64, 0, 128, 16, kLoopPingPong, 0},
                                       {nullptr, 0, 0, 0, 64, 0, 128, 16, kLoopNone, 0}};
  EngineState& state = engineState();
  state.rampFrames = 128;
  for (Voice& v : state.voices) v = Voice{};
  testing::Words out;
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
    mixVoices(mix.data(), cut);
    mixVoices(mix.data() + 2 * cut, frames - cut);
    testing::appendWords(out, mix);
    for (const Voice& v : state.voices) {
      out.insert(out.end(), {v.sample != nullptr, v.position, v.positionFraction, v.direction,
                             std::uint32_t(v.lastLeftTarget), std::uint32_t(v.lastRightTarget),
                             std::uint32_t(v.currentLeft), std::uint32_t(v.currentRight),
                             v.rampFramesLeft, std::bit_cast<std::uint32_t>(v.rampLeftStep),
                             std::bit_cast<std::uint32_t>(v.rampRightStep)});
    }
  }
  for (Voice& v : state.voices) v.sample = nullptr;
  return out;
}

TEST(MixerFastPath, GivesTheReferenceSumsAndVoiceStates) {
  testing::expectSameOnEveryPath("random blocks", mixRandomBlocks);
}

TEST(MixerFastPath, ConvertsToPcmOnEveryPath) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // Ties to even, both clamps, beyond the 32-bit range, NaN, infinities, -0.
  const std::vector<std::pair<float, std::int16_t>> cases = {
      {2.5f, 2},         {3.5f, 4},         {-2.5f, -2},   {-0.0f, 0},          {32766.5f, 32766},
      {32767.5f, 32767}, {32768.0f, 32767}, {4e9f, 32767}, {-32768.5f, -32768}, {-32769.0f, -32768},
      {-4e9f, -32768},   {nan, 0},          {inf, 32767},  {-inf, -32768},      {0.49f, 0},
      {-0.51f, -1},      {1e-30f, 0},       {7.5f, 8},     {-7.5f, -8},         {12345.5f, 12346}};
  const std::size_t n = cases.size();  // even: whole frames
  for (int p = 0; p <= static_cast<int>(math::bestVectorPath()); ++p) {
    const math::VectorPath path = math::setVectorPath(static_cast<math::VectorPath>(p));
    for (std::size_t start = 0; start < 8; ++start) {  // each case in every lane
      std::vector<float> in;
      for (std::size_t i = 0; i < n; ++i) in.push_back(cases[(start + i) % n].first);
      std::vector<std::int16_t> out(n);
      convertToPcm16(out.data(), in.data(), static_cast<std::int32_t>(n / 2));
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(out[i], cases[(start + i) % n].second)
            << math::vectorPathName(path) << " input " << in[i];
      }
    }
    // Nothing happens without input, output or frames.
    std::int16_t out[2] = {7, 7};
    const float in[2] = {1.0f, 1.0f};
    convertToPcm16(out, nullptr, 1);
    convertToPcm16(nullptr, in, 1);
    convertToPcm16(out, in, 0);
    EXPECT_EQ(out[0], 7) << math::vectorPathName(path);
  }
  math::setVectorPath(math::bestVectorPath());
}

}  // namespace
}  // namespace quarvel::music
