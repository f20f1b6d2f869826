// The mixer's kernels on kLanes frames at once, operation for operation as the reference.
//
// Every lane does the reference's operations on one frame in the reference's order, so the sums
// are the same bits; only the frames are taken several at a time. A ramp's gains are still formed
// one frame after the other, since float additions do not reassociate.
#include <cstddef>
#include <cstring>
#include <utility>

#include "lanes/lanes.h"
#include "music/mix_kernels.h"
#include "music/mix_step.h"

namespace quarvel::music::QUARVEL_LANE_TARGET {
namespace lanes = lanes::QUARVEL_LANE_TARGET;

using lanes::Floats;
using lanes::Ints;
using lanes::kLanes;
using lanes::UInts;

// One frame, as the reference interpolates it.
inline float interpolate(const std::int16_t* x, std::uint64_t p) {
  const auto i = static_cast<std::uint32_t>(p >> 32);
  const float t = fractionOf(static_cast<float>(static_cast<std::uint32_t>(p) >> 1));
  return interpolateBetween(static_cast<float>(x[i]), static_cast<float>(x[i + 1]), t);
}

// interpolate() on kLanes frames, from their value pairs (x[i] in the low half, x[i + 1] in the
// high half) and halved fractions (so that they convert as signed values).
[[gnu::always_inline]] inline Floats interpolateLanes(Ints pairs, Ints halfFractions) {
  const Floats a = __builtin_convertvector((pairs << 16) >> 16, Floats);
  const Floats b = __builtin_convertvector(pairs >> 16, Floats);
  return interpolateBetween(a, b, fractionOf(__builtin_convertvector(halfFractions, Floats)));
}

// x[i] | x[i + 1] << 16 for the value index i of position p.
[[gnu::always_inline]] inline std::int32_t wordAt(const std::int16_t* x, std::uint64_t p) {
  std::int32_t word;
  std::memcpy(&word, x + (p >> 32), sizeof word);
  return word;
}

// The frames of a voice whose values lie far apart: one load each.
struct FarFrames {
  std::uint64_t p, delta;
  UInts fractionSteps;  // k delta modulo 2^32 in lane k: fractions need no carries

  FarFrames(std::uint64_t position, std::uint64_t d) : p(position), delta(d) {
    const auto k = __builtin_convertvector(lanes::laneNumbers(), UInts);
    fractionSteps = k * static_cast<std::uint32_t>(d);
  }

  // Lanes built from values in registers: lanes written through memory stall the load.
  template <std::size_t... I>
  [[gnu::always_inline]] Floats next(const std::int16_t* x, std::index_sequence<I...>) {
    // p + k delta modulo 2^64 is where k additions of delta lead.
    const Ints pairs{wordAt(x, p + I * delta)...};
    const UInts fractions = static_cast<std::uint32_t>(p) + fractionSteps;
    p += kLanes * delta;
    return interpolateLanes(pairs, __builtin_bit_cast(Ints, fractions >> 1));
  }
  [[gnu::always_inline]] Floats next(const std::int16_t* x) {
    return next(x, std::make_index_sequence<kLanes>{});
  }
  std::uint64_t position() const { return p; }
};

// The frames of a voice whose step keeps kLanes frames within 16 values: positions as 32-bit
// index and fraction lanes, and each round's values loaded as one window.
struct NearFrames {
  UInts index, fraction;
  UInts indexAdvance, fractionAdvance;  // kLanes steps, modulo 2^64, in halves
  std::uint64_t first, delta;           // first: the position of the round's first frame
  std::uint64_t lastOffset;             // from the first frame's position to the last's

  NearFrames(std::uint64_t p, std::uint64_t d) : first(p), delta(d) {
    for (int k = 0; k < kLanes; ++k) {
      const std::uint64_t at = p + static_cast<std::uint64_t>(k) * d;
      index[k] = static_cast<std::uint32_t>(at >> 32);
      fraction[k] = static_cast<std::uint32_t>(at);
    }
    indexAdvance = lanes::splat<UInts>(static_cast<std::uint32_t>((kLanes * d) >> 32));
    fractionAdvance = lanes::splat<UInts>(static_cast<std::uint32_t>(kLanes * d));
    lastOffset = (kLanes - 1) * d;
  }

  [[gnu::always_inline]] Floats next(const std::int16_t* x) {
    const std::uint64_t lowest = static_cast<std::int64_t>(delta) < 0 ? first + lastOffset : first;
    const auto base = static_cast<std::uint32_t>(lowest >> 32);
    const Ints pairs = lanes::wordsWithin16(x + base, __builtin_bit_cast(Ints, index - base));
    const Ints halves = __builtin_bit_cast(Ints, fraction >> 1);
    // A 64-bit addition in halves: a fraction that wrapped carries into the index.
    const UInts moved = fraction + fractionAdvance;
    const Ints carry = moved < fraction;  // -1 where it wrapped
    fraction = moved;
    index = index + indexAdvance - __builtin_bit_cast(UInts, carry);
    first += kLanes * delta;
    return interpolateLanes(pairs, halves);
  }
  std::uint64_t position() const { return first; }
};

// Steps below this many 2^-32 values keep kLanes frames' values within one window of 16 (the
// first frame's fraction plus (kLanes - 1) steps stays below 16).
constexpr std::uint64_t kNearStep = (std::uint64_t{15} << 32) / (kLanes - 1);

// Whether a voice moving by `delta` has its frames near enough for NearFrames; only lanes of 8
// or more load a window faster than its values one by one.
inline bool isNear(std::uint64_t delta) {
  // Steps stay far below 2^63, so the sign tells a backward voice.
  const std::uint64_t step = static_cast<std::int64_t>(delta) < 0 ? 0 - delta : delta;
  return kLanes >= 8 && step < kNearStep;
}

// Adds kLanes frames' values s times their (left, right) gains into out[0 .. 2 kLanes): the
// gains of the first half of the frames, then of the second.
inline void addFrames(float* out, Floats s, Floats gainsLow, Floats gainsHigh) {
  const Floats low = lanes::zipLow(s, s);
  const Floats high = lanes::zipHigh(s, s);
  lanes::store(out, addWeighted(lanes::load<Floats>(out), low, gainsLow));
  lanes::store(out + kLanes, addWeighted(lanes::load<Floats>(out + kLanes), high, gainsHigh));
}

// The values of the first `count` (1 .. kLanes) frames from p on; the other lanes repeat the
// first frame, so that nothing beyond the pass is read.
template <std::size_t... I>
[[gnu::always_inline]] inline Floats firstFrames(const std::int16_t* x, std::uint64_t p,
                                                 std::uint64_t delta, std::uint32_t count,
                                                 std::index_sequence<I...>) {
  const Ints pairs{wordAt(x, p + (I < count ? I : 0) * delta)...};
  const Ints halves{static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p + (I < count ? I : 0) * delta) >> 1)...};
  return interpolateLanes(pairs, halves);
}

template <class Frames>
std::uint64_t steadyOn(Frames frames8, float* out, std::uint32_t frames, const std::int16_t* x,
                       std::uint64_t delta, float gL, float gR) {
  Floats gains;
  for (int k = 0; k < kLanes; k += 2) {
    gains[k] = gL;
    gains[k + 1] = gR;
  }
  for (; frames >= kLanes; frames -= kLanes, out += 2 * kLanes) {
    addFrames(out, frames8.next(x), gains, gains);
  }
  std::uint64_t p = frames8.position();
  if (kLanes >= 8 && frames != 0) {
    // Short passes between loop ends are common: one partial round beats frame by frame. The
    // sums go through a copy, since the mix may end before a whole round.
    float sums[2 * kLanes] = {};
    std::memcpy(sums, out, frames * 2 * sizeof(float));
    addFrames(sums, firstFrames(x, p, delta, frames, std::make_index_sequence<kLanes>{}), gains,
              gains);
    std::memcpy(out, sums, frames * 2 * sizeof(float));
    return p + frames * delta;
  }
  for (; frames != 0; --frames, out += 2) {
    const float s = interpolate(x, p);
    p += delta;
    out[0] = addWeighted(out[0], s, gL);
    out[1] = addWeighted(out[1], s, gR);
  }
  return p;
}

std::uint64_t steady(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                     std::uint64_t delta, float gL, float gR) {
  if (isNear(delta)) return steadyOn(NearFrames(p, delta), out, frames, x, delta, gL, gR);
  return steadyOn(FarFrames(p, delta), out, frames, x, delta, gL, gR);
}

// The (left, right) gains of frames From .. From + kLanes / 2, each frame's gains the previous
// frame's plus the steps (braced lists are evaluated from left to right).
template <std::size_t... I>
[[gnu::always_inline]] inline Floats nextGains(float& gL, float& gR, float stepL, float stepR,
                                               std::index_sequence<I...>) {
  const auto take = [](float& g, float step) {
    const float now = g;
    g += step;
    return now;
  };
  return Floats{(I % 2 == 0 ? take(gL, stepL) : take(gR, stepR))...};
}

template <class Frames>
std::uint64_t rampOn(Frames frames8, float* out, std::uint32_t frames, const std::int16_t* x,
                     std::uint64_t delta, float& gainL, float& gainR, float stepL, float stepR) {
  // Gains in locals, not behind references that `out` might alias: clang 14 for WebAssembly
  // built a gain vector's first lane with a splat load placed after the round's later stores
  // to that gain, so the lane held the gain of the round's end.
  float gL = gainL;
  float gR = gainR;
  for (; frames >= kLanes; frames -= kLanes, out += 2 * kLanes) {
    const Floats gainsLow = nextGains(gL, gR, stepL, stepR, std::make_index_sequence<kLanes>{});
    const Floats gainsHigh = nextGains(gL, gR, stepL, stepR, std::make_index_sequence<kLanes>{});
    addFrames(out, frames8.next(x), gainsLow, gainsHigh);
  }
  std::uint64_t p = frames8.position();
  for (; frames != 0; --frames, out += 2) {
    const float s = interpolate(x, p);
    p += delta;
    out[0] = addWeighted(out[0], s, gL);
    out[1] = addWeighted(out[1], s, gR);
    gL += stepL;
    gR += stepR;
  }
  gainL = gL;
  gainR = gR;
  return p;
}

std::uint64_t ramp(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                   std::uint64_t delta, float& gL, float& gR, float stepL, float stepR) {
  if (isNear(delta)) {
    return rampOn(NearFrames(p, delta), out, frames, x, delta, gL, gR, stepL, stepR);
  }
  return rampOn(FarFrames(p, delta), out, frames, x, delta, gL, gR, stepL, stepR);
}

// Nearest, ties to even, as nearbyint in the default rounding mode: adding and taking away
// 1.5 x 2^23 leaves no fraction bits for values of magnitude below 2^22.
template <class F>
[[gnu::always_inline]] inline F roundToEven(F v) {
  constexpr float kRounder = 0x1.8p23f;
  return (v + kRounder) - kRounder;
}

// NaN becomes 0 and the clamp bounds are integers, so clamping before rounding gives the
// reference's results.
template <class F>
[[gnu::always_inline]] inline F clampPcm(F v) {
  v = v == v ? v : F{} * 0.0f;
  v = v < -32768.0f ? F{} - 32768.0f : v;
  return v > 32767.0f ? F{} + 32767.0f : v;
}

void pcm(std::int16_t* out, const float* in, std::int32_t count) {
  using Shorts = std::int16_t __attribute__((vector_size(kLanes * 2)));
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    const Floats v = roundToEven(clampPcm(lanes::load<Floats>(in + i)));
    lanes::store(out + i, __builtin_convertvector(lanes::truncate(v), Shorts));
  }
  for (; i < count; ++i) {
    out[i] = static_cast<std::int16_t>(roundToEven(clampPcm(in[i])));
  }
}

constexpr MixKernels kKernels{&steady, &ramp, &pcm, true};

}  // namespace quarvel::music::QUARVEL_LANE_TARGET

namespace quarvel::music {

template <>
const MixKernels& mixKernels<lanes::QUARVEL_LANE_TARGET::kLanePath>() {
  return QUARVEL_LANE_TARGET::kKernels;
}

}  // namespace quarvel::music
