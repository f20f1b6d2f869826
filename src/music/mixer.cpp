// Sample mixer: linear interpolation, gain ramps, forward and ping-pong loops.
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "lanes/vector_path.h"
#include "music/engine_state.h"
#include "music/mix_step.h"
#include "music/voice.h"

namespace quarvel::music {

// The mixer's step is the baseline copy's: this file is compiled once.
using namespace baseline;

namespace {

__extension__ using Int128 = __int128;

constexpr std::uint64_t kEndSearchLimit = std::uint64_t{1} << 56;
constexpr std::uint64_t kZeroStepStandIn = 0x17C6F8C;  // about 0.0058 values per frame

inline std::uint64_t packPosition(const Voice& v) {
  return (static_cast<std::uint64_t>(v.position) << 32) | v.positionFraction;
}

inline void storePosition(Voice& v, std::uint64_t p) {
  v.position = static_cast<std::uint32_t>(p >> 32);
  v.positionFraction = static_cast<std::uint32_t>(p);
}

inline float interpolate(const std::int16_t* x, std::uint64_t p) {
  const std::uint32_t i = static_cast<std::uint32_t>(p >> 32);
  const float t = fractionOf(static_cast<float>(static_cast<std::uint32_t>(p) >> 1));
  return interpolateBetween(static_cast<float>(x[i]), static_cast<float>(x[i + 1]), t);
}

// The reference kernels: straightforward scalar code that reads like the rules. Positions move
// by `delta`, the step or its negation modulo 2^64 when the voice plays backwards.

// Mixes `frames` frames at constant gains, two per round.
std::uint64_t mixSteady(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                        std::uint64_t delta, float gL, float gR) {
  std::uint32_t pairs = frames >> 1;
  while (pairs-- != 0) {
    const float s0 = interpolate(x, p);
    p += delta;
    const float s1 = interpolate(x, p);
    p += delta;
    out[0] = addWeighted(out[0], s0, gL);
    out[1] = addWeighted(out[1], s0, gR);
    out[2] = addWeighted(out[2], s1, gL);
    out[3] = addWeighted(out[3], s1, gR);
    out += 4;
  }
  if ((frames & 1) != 0) {
    const float s = interpolate(x, p);
    p += delta;
    out[0] = addWeighted(out[0], s, gL);
    out[1] = addWeighted(out[1], s, gR);
  }
  return p;
}

// Mixes `frames` frames while the gains move by their ramp steps; gains are updated in place.
std::uint64_t mixRamp(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                      std::uint64_t delta, float& gL, float& gR, float stepL, float stepR) {
  for (std::uint32_t i = 0; i < frames; ++i) {
    const float s = interpolate(x, p);
    p += delta;
    out[0] = addWeighted(out[0], s, gL);
    out[1] = addWeighted(out[1], s, gR);
    gL += stepL;
    gR += stepR;
    out += 2;
  }
  return p;
}

// Rounds `count` floats to the nearest 16-bit value, ties to even (the default rounding mode).
void convertPcm(std::int16_t* out, const float* in, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    float r = std::nearbyint(in[i]);
    if (!(r >= -32768.0f)) r = r != r ? 0.0f : -32768.0f;
    if (r > 32767.0f) r = 32767.0f;
    out[i] = static_cast<std::int16_t>(r);
  }
}

#if defined(__x86_64__)
// Vector kernels. Every lane does the reference's operations on one frame in the reference's
// order, so the sums are the same bits; only the frames are taken several at a time. A ramp's
// gains are still formed one frame after the other, since float additions do not reassociate.

// The values x[i] and x[i + 1], read as one little-endian word.
inline std::int32_t valuePair(const std::int16_t* x, std::uint32_t i) {
  std::int32_t pair;
  std::memcpy(&pair, x + i, sizeof pair);
  return pair;
}

inline std::uint32_t valueIndex(std::uint64_t p) {
  return static_cast<std::uint32_t>(p >> 32);
}

inline std::int32_t halfFraction(std::uint64_t p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p) >> 1);
}

// interpolate() on four frames, from their value pairs and halved fractions.
inline __m128 interpolate4(__m128i pairs, __m128i halfFractions) {
  const __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
  const __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
  return interpolateBetween(a, b, fractionOf(_mm_cvtepi32_ps(halfFractions)));
}

// Interpolated values of the four frames from position p on; p moves past them.
inline __m128 nextFour(const std::int16_t* x, std::uint64_t& p, std::uint64_t delta) {
  const std::uint64_t p0 = p;
  const std::uint64_t p1 = p0 + delta;
  const std::uint64_t p2 = p1 + delta;
  const std::uint64_t p3 = p2 + delta;
  p = p3 + delta;
  return interpolate4(
      _mm_setr_epi32(valuePair(x, valueIndex(p0)), valuePair(x, valueIndex(p1)),
                     valuePair(x, valueIndex(p2)), valuePair(x, valueIndex(p3))),
      _mm_setr_epi32(halfFraction(p0), halfFraction(p1), halfFraction(p2), halfFraction(p3)));
}

// Adds four frames' values s times their (left, right) gains into out[0..7].
inline void addFour(float* out, __m128 s, __m128 gains01, __m128 gains23) {
  _mm_storeu_ps(out, addWeighted(_mm_loadu_ps(out), _mm_unpacklo_ps(s, s), gains01));
  _mm_storeu_ps(out + 4, addWeighted(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(s, s), gains23));
}

std::uint64_t mixSteadySse2(float* out, std::uint32_t frames, const std::int16_t* x,
                            std::uint64_t p, std::uint64_t delta, float gL, float gR) {
  const __m128 gains = _mm_setr_ps(gL, gR, gL, gR);
  for (; frames >= 4; frames -= 4, out += 8) addFour(out, nextFour(x, p, delta), gains, gains);
  return mixSteady(out, frames, x, p, delta, gL, gR);
}

std::uint64_t mixRampSse2(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                          std::uint64_t delta, float& gL, float& gR, float stepL, float stepR) {
  // (gL, gR) in the low lanes: one addition moves both to the next frame's gains.
  const __m128 step = _mm_setr_ps(stepL, stepR, 0.0f, 0.0f);
  __m128 g0 = _mm_setr_ps(gL, gR, 0.0f, 0.0f);
  for (; frames >= 4; frames -= 4, out += 8) {
    const __m128 g1 = _mm_add_ps(g0, step);
    const __m128 g2 = _mm_add_ps(g1, step);
    const __m128 g3 = _mm_add_ps(g2, step);
    addFour(out, nextFour(x, p, delta), _mm_movelh_ps(g0, g1), _mm_movelh_ps(g2, g3));
    g0 = _mm_add_ps(g3, step);
  }
  gL = _mm_cvtss_f32(g0);
  gR = _mm_cvtss_f32(_mm_shuffle_ps(g0, g0, 1));
  return mixRamp(out, frames, x, p, delta, gL, gR, stepL, stepR);
}

// Clamping before the conversion gives the reference's results: the clamp bounds are
// integers, NaN is zeroed first, and the conversion rounds like nearbyint.
inline __m128i toPcm32(__m128 v) {
  v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
  v = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
  return _mm_cvtps_epi32(v);
}

void convertPcmSse2(std::int16_t* out, const float* in, std::int32_t count) {
  std::int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i pcm =
        _mm_packs_epi32(toPcm32(_mm_loadu_ps(in + i)), toPcm32(_mm_loadu_ps(in + i + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), pcm);
  }
  convertPcm(out + i, in + i, count - i);
}

// The value pairs of eight frames. When their indices lie within 16 values from `lowest`, two
// loads hold every pair and permutes pick them out; else each pair is loaded alone (eight loads
// beat a gather instruction on the processors measured). A pass reads below the sample's
// length, so x[lowest + 16] still lies within the guard values.
__attribute__((target("avx2"))) inline __m256i valuePairsEight(const std::int16_t* x,
                                                               __m256i indices,
                                                               std::uint32_t lowest, bool near) {
  if (near) {
    const __m256i offsets = _mm256_sub_epi32(indices, _mm256_set1_epi32(static_cast<int>(lowest)));
    const __m256i even = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + lowest));
    const __m256i odd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + lowest + 1));
    const __m256i half = _mm256_srli_epi32(offsets, 1);
    const __m256 fromEven = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(even, half));
    const __m256 fromOdd = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(odd, half));
    const __m256 isOdd = _mm256_castsi256_ps(_mm256_slli_epi32(offsets, 31));  // sign bit
    return _mm256_castps_si256(_mm256_blendv_ps(fromEven, fromOdd, isOdd));
  }
  std::uint32_t index[8];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(index), indices);
  return _mm256_setr_epi32(valuePair(x, index[0]), valuePair(x, index[1]), valuePair(x, index[2]),
                           valuePair(x, index[3]), valuePair(x, index[4]), valuePair(x, index[5]),
                           valuePair(x, index[6]), valuePair(x, index[7]));
}

// AVX2 rounds of eight frames. Their positions are kept in 64-bit lanes in the order 0, 1, 4, 5
// and 2, 3, 6, 7, so that one shuffle lines up their halves frame by frame.
struct EightFrames {
  __m256i p0145, p2367, advance;
  std::uint64_t first;  // position of the round's first frame
  std::uint64_t delta;
  bool narrow;  // steps up to 2.0: eight frames span at most 16 values

  __attribute__((target("avx2"))) EightFrames(std::uint64_t p, std::uint64_t d)
      : first(p), delta(d) {
    const auto lane = [&](std::uint64_t k) { return static_cast<long long>(p + k * d); };
    p0145 = _mm256_setr_epi64x(lane(0), lane(1), lane(4), lane(5));
    p2367 = _mm256_setr_epi64x(lane(2), lane(3), lane(6), lane(7));
    advance = _mm256_set1_epi64x(static_cast<long long>(8 * d));
    // Steps stay far below 2^63, so the sign tells a backward voice.
    const std::uint64_t step = static_cast<std::int64_t>(d) < 0 ? 0 - d : d;
    narrow = step <= (std::uint64_t{2} << 32);
  }

  // Interpolated values of the next eight frames.
  __attribute__((target("avx2"))) __m256 next(const std::int16_t* x) {
    const __m256 a = _mm256_castsi256_ps(p0145);
    const __m256 b = _mm256_castsi256_ps(p2367);
    const __m256i fractions = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i indices = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const std::uint64_t last = first + 7 * delta;
    const std::uint32_t lowest = valueIndex(static_cast<std::int64_t>(delta) < 0 ? last : first);
    const __m256i pairs = valuePairsEight(x, indices, lowest, narrow);
    p0145 = _mm256_add_epi64(p0145, advance);
    p2367 = _mm256_add_epi64(p2367, advance);
    first += 8 * delta;
    const __m256 lo = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16));
    const __m256 hi = _mm256_cvtepi32_ps(_mm256_srai_epi32(pairs, 16));
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fractions, 1)),
                                   _mm256_set1_ps(kFractionScale));
    return _mm256_add_ps(lo, _mm256_mul_ps(_mm256_sub_ps(hi, lo), t));
  }
};

// Adds eight frames' values s times their (left, right) gains into out[0..15].
__attribute__((target("avx2"))) inline void addEight(float* out, __m256 s, __m256 gains0123,
                                                     __m256 gains4567) {
  const __m256 lo = _mm256_unpacklo_ps(s, s);  // s0 s0 s1 s1 | s4 s4 s5 s5
  const __m256 hi = _mm256_unpackhi_ps(s, s);  // s2 s2 s3 s3 | s6 s6 s7 s7
  const __m256 first = _mm256_mul_ps(_mm256_permute2f128_ps(lo, hi, 0x20), gains0123);
  const __m256 second = _mm256_mul_ps(_mm256_permute2f128_ps(lo, hi, 0x31), gains4567);
  _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), first));
  _mm256_storeu_ps(out + 8, _mm256_add_ps(_mm256_loadu_ps(out + 8), second));
}

__attribute__((target("avx2"))) std::uint64_t mixSteadyAvx2(float* out, std::uint32_t frames,
                                                            const std::int16_t* x, std::uint64_t p,
                                                            std::uint64_t delta, float gL,
                                                            float gR) {
  EightFrames frames8(p, delta);
  const __m256 gains = _mm256_setr_ps(gL, gR, gL, gR, gL, gR, gL, gR);
  for (; frames >= 8; frames -= 8, out += 16) addEight(out, frames8.next(x), gains, gains);
  return mixSteadySse2(out, frames, x, frames8.first, delta, gL, gR);
}

__attribute__((target("avx2"))) std::uint64_t mixRampAvx2(float* out, std::uint32_t frames,
                                                          const std::int16_t* x, std::uint64_t p,
                                                          std::uint64_t delta, float& gL, float& gR,
                                                          float stepL, float stepR) {
  EightFrames frames8(p, delta);
  const __m128 step = _mm_setr_ps(stepL, stepR, 0.0f, 0.0f);
  __m128 g = _mm_setr_ps(gL, gR, 0.0f, 0.0f);
  for (; frames >= 8; frames -= 8, out += 16) {
    __m128 pairs[4];  // gains of frames 2k and 2k + 1
    for (__m128& pair : pairs) {
      const __m128 next = _mm_add_ps(g, step);
      pair = _mm_movelh_ps(g, next);
      g = _mm_add_ps(next, step);
    }
    const __m256 gains0123 = _mm256_insertf128_ps(_mm256_castps128_ps256(pairs[0]), pairs[1], 1);
    const __m256 gains4567 = _mm256_insertf128_ps(_mm256_castps128_ps256(pairs[2]), pairs[3], 1);
    addEight(out, frames8.next(x), gains0123, gains4567);
  }
  gL = _mm_cvtss_f32(g);
  gR = _mm_cvtss_f32(_mm_shuffle_ps(g, g, 1));
  return mixRampSse2(out, frames, x, frames8.first, delta, gL, gR, stepL, stepR);
}
#endif  // __x86_64__

// The kernels of one mixing path.
struct MixKernels {
  std::uint64_t (*steady)(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                          std::uint64_t delta, float gL, float gR);
  std::uint64_t (*ramp)(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                        std::uint64_t delta, float& gL, float& gR, float stepL, float stepR);
  void (*pcm)(std::int16_t* out, const float* in, std::int32_t count);
  // Whether a voice with both gains 0 and no ramp only moves on. Its frames would add s x 0:
  // zeros that change no sum, since the sums start at +0 and never become -0.
  bool skipsSilence;
};

// The kernels of the program's vector path; AVX-512 brings nothing over AVX2 here.
const MixKernels& kernelsFor(lanes::VectorPath path) {
  static constexpr MixKernels kReference{mixSteady, mixRamp, convertPcm, false};
#if defined(__x86_64__)
  static constexpr MixKernels kSse2{mixSteadySse2, mixRampSse2, convertPcmSse2, true};
  static constexpr MixKernels kAvx2{mixSteadyAvx2, mixRampAvx2, convertPcmSse2, true};
  if (path == lanes::VectorPath::Sse2) return kSse2;
  if (path == lanes::VectorPath::Avx2 || path == lanes::VectorPath::Avx512) return kAvx2;
#else
  static_cast<void>(path);
#endif
  return kReference;
}

// Frames until the position reaches the end it moves towards; 0 means it is there already.
// Gives false when the end lies 2^24 values or more away (the pass then cannot reach it).
bool framesToEnd(const Voice& v, const Sample& s, std::uint64_t& frames) {
  std::uint64_t distance = 0;
  const std::uint64_t loopEnd = static_cast<std::uint64_t>(s.loopStart) + s.loopLength;
  if (v.direction == kBackward) {
    if (v.position >= s.loopStart) {
      distance = (static_cast<std::uint64_t>(v.position - s.loopStart) << 32) + v.positionFraction;
    }
  } else {
    const std::uint64_t end = v.position >= loopEnd ? s.length : loopEnd;
    if (v.position < end) {
      distance = ((end - v.position) << 32) - v.positionFraction;
    }
  }
  if (distance >= kEndSearchLimit) return false;
  std::uint64_t step24 = (static_cast<std::uint64_t>(v.stepInteger) << 24) | (v.stepFraction >> 8);
  if (step24 == 0) step24 = kZeroStepStandIn >> 8;
  const std::uint64_t reduced = distance >> 8;
  frames = (reduced + step24 - 1) / step24;
  // A distance below 256 units reduces to 0: one frame still moves past it.
  if (frames == 0 && distance != 0) frames = 1;
  // The reduced step may be short by up to 255 units per frame; never mix a frame that the
  // full step puts past the end (a backward loop from 0 would read before the data).
  const std::uint64_t step = (static_cast<std::uint64_t>(v.stepInteger) << 32) | v.stepFraction;
  if (step != 0) {
    const std::uint64_t exact = distance / step + (distance % step != 0 ? 1 : 0);
    if (frames > exact) frames = exact;
  }
  return true;
}

// x modulo m (m > 0), from 0 to m - 1. A voice has just passed an end, so x nearly always lies
// within one period of that range: no 128-bit division then.
inline Int128 modulo(Int128 x, Int128 m) {
  if (x >= 0 && x < 2 * m) return x < m ? x : x - m;
  if (x < 0 && x >= -m) return x + m;
  const Int128 r = x % m;
  return r < 0 ? r + m : r;
}

// Brings a looping voice that reached an end of its loop back inside it.
void wrapLoop(Voice& v, const Sample& s, std::uint64_t p) {
  const Int128 start = static_cast<Int128>(s.loopStart) << 32;
  const Int128 span = static_cast<Int128>(s.loopLength) << 32;
  // Backward moves past the start can leave the (unsigned) position "below zero".
  Int128 position = v.direction == kBackward && (p >> 63) != 0
                        ? static_cast<Int128>(static_cast<std::int64_t>(p))
                        : static_cast<Int128>(p);
  if (s.loopMode == kLoopForward) {
    if (position >= start + span) position = start + modulo(position - start, span);
    storePosition(v, static_cast<std::uint64_t>(position));
    return;
  }
  // Ping-pong: mirroring at the end (x -> 2 end - x - 2^-32) and at the start repeats every
  // two loop lengths, so unfold to a forward position and reduce it modulo that period.
  Int128 unfolded = position - start;
  if (v.direction == kBackward) unfolded = 2 * span - 1 - unfolded;
  Int128 r = modulo(unfolded, 2 * span);
  if (r < span) {
    v.direction = kForward;
  } else {
    r = 2 * span - 1 - r;
    // Resting exactly on the loop start while moving back: turn there.
    v.direction = r == 0 ? kForward : kBackward;
  }
  storePosition(v, static_cast<std::uint64_t>(start + r));
}

void mixVoice(Voice& v, float* out, std::uint32_t remaining, std::uint32_t rampFrames,
              const MixKernels& kernels) {
  const Sample& s = *v.sample;
  const bool looping =
      (s.loopMode == kLoopForward || s.loopMode == kLoopPingPong) && s.loopLength != 0;
  const std::uint64_t step = (static_cast<std::uint64_t>(v.stepInteger) << 32) | v.stepFraction;
  while (true) {
    if (s.data == nullptr) {  // nothing to read: the voice ends at once
      v.position = 0;
      v.positionFraction = 0;
      v.sample = nullptr;
      return;
    }
    std::uint64_t toEnd = 0;
    std::uint32_t pass = remaining;
    bool endsPass = false;
    if (framesToEnd(v, s, toEnd) && toEnd <= remaining) {
      pass = static_cast<std::uint32_t>(toEnd);
      endsPass = true;
    }

    bool ramp =
        v.rampFramesLeft != 0 && v.leftGain == v.lastLeftTarget && v.rightGain == v.lastRightTarget;
    if (!ramp) {
      v.lastLeftTarget = v.leftGain;
      v.lastRightTarget = v.rightGain;
      v.rampLeftStep = 0.0f;
      v.rampRightStep = 0.0f;
      v.rampFramesLeft = 0;
      const std::int32_t nowLeft = v.currentLeft >> 8;
      const std::int32_t nowRight = v.currentRight >> 8;
      if (v.leftGain != nowLeft) {
        v.rampLeftStep =
            static_cast<float>(v.leftGain - nowLeft) / 255.0f / static_cast<float>(rampFrames);
        v.rampFramesLeft = rampFrames;
      }
      if (v.rightGain != nowRight) {
        v.rampRightStep =
            static_cast<float>(v.rightGain - nowRight) / 255.0f / static_cast<float>(rampFrames);
        v.rampFramesLeft = rampFrames;
      }
      ramp = v.rampFramesLeft != 0;
    }
    if (ramp && v.rampFramesLeft < pass) {
      pass = v.rampFramesLeft;
      endsPass = false;
    }

    std::uint64_t p = packPosition(v);
    const std::uint64_t delta = v.direction == kBackward ? 0 - step : step;
    if (pass != 0) {
      if (ramp) {
        float gL = static_cast<float>(v.currentLeft) / 256.0f / 255.0f;
        float gR = static_cast<float>(v.currentRight) / 256.0f / 255.0f;
        p = kernels.ramp(out, pass, s.data, p, delta, gL, gR, v.rampLeftStep, v.rampRightStep);
        v.currentLeft = static_cast<std::int32_t>(std::lround(gL * 255.0f * 256.0f));
        v.currentRight = static_cast<std::int32_t>(std::lround(gR * 255.0f * 256.0f));
        v.rampFramesLeft -= pass;
        if (v.rampFramesLeft == 0) {
          v.rampLeftStep = 0.0f;
          v.rampRightStep = 0.0f;
          v.currentLeft = v.leftGain * 256;
          v.currentRight = v.rightGain * 256;
        }
      } else if (kernels.skipsSilence && v.leftGain == 0 && v.rightGain == 0) {
        // A silent voice (typically one that faded out behind its partner) only moves on.
        p += delta * pass;
      } else {
        const float gL = static_cast<float>(v.leftGain) / 255.0f;
        const float gR = static_cast<float>(v.rightGain) / 255.0f;
        p = kernels.steady(out, pass, s.data, p, delta, gL, gR);
      }
      out += 2 * static_cast<std::size_t>(pass);
      remaining -= pass;
    }

    if (endsPass) {
      if (!looping) {
        v.position = 0;
        v.positionFraction = 0;
        v.sample = nullptr;
        return;
      }
      wrapLoop(v, s, p);
    } else {
      storePosition(v, p);
    }
    if (remaining == 0) return;
  }
}

}  // namespace

void mixVoices(float* mix, std::int32_t frames) {
  if (frames < 1 || mix == nullptr) return;
  EngineState& state = engineState();
  const MixKernels& kernels = kernelsFor(lanes::vectorPath());
  for (Voice& v : state.voices) {
    if (v.sample != nullptr) {
      mixVoice(v, mix, static_cast<std::uint32_t>(frames), state.rampFrames, kernels);
    }
  }
}

void convertToPcm16(std::int16_t* out, const float* in, std::int32_t frames) {
  if (frames < 1 || out == nullptr || in == nullptr) return;
  kernelsFor(lanes::vectorPath()).pcm(out, in, frames * 2);
}

}  // namespace quarvel::music
