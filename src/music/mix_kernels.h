// The mixer's kernels: one table for the reference and one for each lane target.
#pragma once

#include <cstdint>

#include "lanes/vector_path.h"

namespace quarvel::music {

// Every table gives the reference's bits. Positions are 32.32 fixed point and move by `delta`
// per frame: the step, or its negation modulo 2^64 for a voice playing backwards. Every position
// a call reaches must index a value of x below the sample's length, so that x[index + 16] still
// lies within its guard values.
struct MixKernels {
  // Adds `frames` frames at constant gains into out[0 .. 2 frames) (left, right interleaved);
  // returns the position after them.
  std::uint64_t (*steady)(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                          std::uint64_t delta, float gL, float gR);
  // As steady, with the gains moving by stepL and stepR after each frame; gL and gR are left at
  // the gains of the frame after the last.
  std::uint64_t (*ramp)(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                        std::uint64_t delta, float& gL, float& gR, float stepL, float stepR);
  // convertToPcm16 on `count` values.
  void (*pcm)(std::int16_t* out, const float* in, std::int32_t count);
  // Whether a voice with both gains 0 and no ramp may only move on. Its frames would add s x 0:
  // zeros that change no sum, since the sums start at +0 and never become -0. The reference
  // mixes them, as the rule reads.
  bool skipsSilence;
};

template <lanes::VectorPath Path>
const MixKernels& mixKernels();

template <>
const MixKernels& mixKernels<lanes::VectorPath::Scalar>();
template <>
const MixKernels& mixKernels<lanes::VectorPath::Sse2>();
template <>
const MixKernels& mixKernels<lanes::VectorPath::Avx2>();
template <>
const MixKernels& mixKernels<lanes::VectorPath::Avx512>();
template <>
const MixKernels& mixKernels<lanes::VectorPath::Neon>();
template <>
const MixKernels& mixKernels<lanes::VectorPath::Simd128>();

// The kernels of `path`: the reference's for Reference and for paths this build lacks.
const MixKernels& mixKernels(lanes::VectorPath path);

// The kernels the program mixes with on `path`: those of `path`, except that the AVX-512 path
// mixes with AVX2's. Sixteen frames a round are slower there (bench_music): a step of 1.0 or more
// spreads them over more than one window of 16 values, so each value is loaded alone, and the
// short passes between the ends of short loops leave long partial rounds.
const MixKernels& mixKernelsFor(lanes::VectorPath path);

// mixVoices and convertToPcm16 on the given kernels, whatever the program's path.
void mixVoicesWith(const MixKernels& kernels, float* mix, std::int32_t frames);
void convertToPcm16With(const MixKernels& kernels, std::int16_t* out, const float* in,
                        std::int32_t frames);

}  // namespace quarvel::music
