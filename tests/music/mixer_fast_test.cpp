// The mixer's vector paths against its reference path: the same sums, the same voice state.
#include <array>
#include <bit>
#include <limits>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "math/vector_path.h"
#include "music/engine_state.h"
#include "music/voice.h"

namespace quarvel::music {
namespace {

struct Lcg {
  std::uint32_t state = 2024;
  std::uint32_t next(std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

using VoiceTable = std::array<Voice, kVoiceCount>;

// Every field that mixing changes; floats by their bits.
auto mixedState(const Voice& v) {
  return std::tuple(v.sample, v.position, v.positionFraction, v.direction, v.lastLeftTarget,
                    v.lastRightTarget, v.currentLeft, v.currentRight, v.rampFramesLeft,
                    std::bit_cast<std::uint32_t>(v.rampLeftStep),
                    std::bit_cast<std::uint32_t>(v.rampRightStep));
}

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

TEST(MixerFastPath, GivesTheReferenceSumsAndVoiceStates) {
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
  engineState().rampFrames = 128;
  for (int p = 1; p <= static_cast<int>(math::bestVectorPath()); ++p) {
    const auto path = static_cast<math::VectorPath>(p);
    VoiceTable reference{};
    for (int block = 0; block < 400; ++block) {
      for (int i = 0; i < kVoiceCount; ++i) {
        Voice& v = reference[i];
        if (v.sample == nullptr || random.next(16) == 0) {
          // The note that played moves on silently as the partner voice, as a trigger does.
          if (i < 32 && v.sample != nullptr) {
            reference[i + 32] = v;
            reference[i + 32].leftGain = reference[i + 32].rightGain = 0;
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
      VoiceTable fast = reference;
      // From 1 frame up, in two calls as at a tick boundary.
      const auto frames = static_cast<std::int32_t>(1 + random.next(block % 2 == 0 ? 17 : 900));
      const auto cut = static_cast<std::int32_t>(random.next(static_cast<std::uint32_t>(frames)));
      std::vector<float> expected(static_cast<std::size_t>(frames) * 2);
      std::vector<float> actual(expected.size());
      for (auto [table, mix, onPath] : {std::tuple(&reference, &expected, math::VectorPath::Reference),
                                        std::tuple(&fast, &actual, path)}) {
        EngineState& state = engineState();
        std::copy(table->begin(), table->end(), state.voices);
        math::setVectorPath(onPath);
        mixVoices(mix->data(), cut);  // nothing when cut is 0
        mixVoices(mix->data() + 2 * cut, frames - cut);
        std::copy(state.voices, state.voices + kVoiceCount, table->begin());
      }
      for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(expected[i]),
                  std::bit_cast<std::uint32_t>(actual[i]))
            << math::vectorPathName(path) << " block " << block << " value " << i << ": " << expected[i]
            << " vs " << actual[i];
      }
      for (int i = 0; i < kVoiceCount; ++i) {
        ASSERT_EQ(mixedState(reference[i]), mixedState(fast[i]))
            << math::vectorPathName(path) << " block " << block << " voice " << i;
      }
    }
  }
  math::setVectorPath(math::bestVectorPath());
  for (Voice& v : engineState().voices) v.sample = nullptr;
}

TEST(MixerFastPath, ConvertsToPcmLikeTheReference) {
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
    math::setVectorPath(static_cast<math::VectorPath>(p));
    for (std::size_t start = 0; start < 8; ++start) {  // each case in every lane
      std::vector<float> in;
      for (std::size_t i = 0; i < n; ++i) in.push_back(cases[(start + i) % n].first);
      std::vector<std::int16_t> out(n);
      convertToPcm16(out.data(), in.data(), static_cast<std::int32_t>(n / 2));
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(out[i], cases[(start + i) % n].second)
            << math::vectorPathName(static_cast<math::VectorPath>(p)) << " input " << in[i];
      }
    }
  }
  math::setVectorPath(math::bestVectorPath());
}

}  // namespace
}  // namespace quarvel::music
