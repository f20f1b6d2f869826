// Sample mixer: linear interpolation, gain ramps, forward and ping-pong loops.
#include <cmath>

#include "lanes/vector_path.h"
#include "music/engine_state.h"
#include "music/mix_kernels.h"
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

constexpr MixKernels kReference{mixSteady, mixRamp, convertPcm, false};

}  // namespace

const MixKernels& mixKernels(lanes::VectorPath path) {
  const MixKernels* fast = lanes::kernelFor<const MixKernels*>(
      path, [](auto p) { return &mixKernels<decltype(p)::value>(); });
  return fast != nullptr ? *fast : kReference;
}

const MixKernels& mixKernelsFor(lanes::VectorPath path) {
  using P = lanes::VectorPath;
  return mixKernels(path == P::Avx512 ? P::Avx2 : path);
}

void mixVoicesWith(const MixKernels& kernels, float* mix, std::int32_t frames) {
  if (frames < 1 || mix == nullptr) return;
  EngineState& state = engineState();
  for (Voice& v : state.voices) {
    if (v.sample != nullptr) {
      mixVoice(v, mix, static_cast<std::uint32_t>(frames), state.rampFrames, kernels);
    }
  }
}

void convertToPcm16With(const MixKernels& kernels, std::int16_t* out, const float* in,
                        std::int32_t frames) {
  if (frames < 1 || out == nullptr || in == nullptr) return;
  kernels.pcm(out, in, frames * 2);
}

void mixVoices(float* mix, std::int32_t frames) {
  mixVoicesWith(mixKernelsFor(lanes::vectorPath()), mix, frames);
}

void convertToPcm16(std::int16_t* out, const float* in, std::int32_t frames) {
  convertToPcm16With(mixKernelsFor(lanes::vectorPath()), out, in, frames);
}

}  // namespace quarvel::music
