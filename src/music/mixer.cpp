// Sample mixer: linear interpolation, gain ramps, forward and ping-pong loops.
#include <cmath>

#include "music/engine_state.h"
#include "music/voice.h"

namespace quarvel::music {
namespace {

__extension__ using Int128 = __int128;

constexpr std::uint64_t kEndSearchLimit = std::uint64_t{1} << 56;
constexpr std::uint64_t kZeroStepStandIn = 0x17C6F8C;  // about 0.0058 values per frame
constexpr float kFractionScale = 0x1p-31f;

inline std::uint64_t packPosition(const Voice& v) {
  return (static_cast<std::uint64_t>(v.position) << 32) | v.positionFraction;
}

inline void storePosition(Voice& v, std::uint64_t p) {
  v.position = static_cast<std::uint32_t>(p >> 32);
  v.positionFraction = static_cast<std::uint32_t>(p);
}

inline float interpolate(const std::int16_t* x, std::uint64_t p) {
  const std::uint32_t i = static_cast<std::uint32_t>(p >> 32);
  const float t = static_cast<float>(static_cast<std::uint32_t>(p) >> 1) * kFractionScale;
  const float a = static_cast<float>(x[i]);
  const float b = static_cast<float>(x[i + 1]);
  return a + (b - a) * t;
}

// Mixes `frames` frames at constant gains, two per round.
template <bool kBackwards>
std::uint64_t mixSteady(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                        std::uint64_t step, float gL, float gR) {
  std::uint32_t pairs = frames >> 1;
  while (pairs-- != 0) {
    const float s0 = interpolate(x, p);
    p = kBackwards ? p - step : p + step;
    const float s1 = interpolate(x, p);
    p = kBackwards ? p - step : p + step;
    out[0] += s0 * gL;
    out[1] += s0 * gR;
    out[2] += s1 * gL;
    out[3] += s1 * gR;
    out += 4;
  }
  if ((frames & 1) != 0) {
    const float s = interpolate(x, p);
    p = kBackwards ? p - step : p + step;
    out[0] += s * gL;
    out[1] += s * gR;
  }
  return p;
}

// Mixes `frames` frames while the gains move by their ramp steps; gains are updated in place.
std::uint64_t mixRamp(float* out, std::uint32_t frames, const std::int16_t* x, std::uint64_t p,
                      std::uint64_t step, bool backwards, float& gL, float& gR, float stepL,
                      float stepR) {
  for (std::uint32_t i = 0; i < frames; ++i) {
    const float s = interpolate(x, p);
    p = backwards ? p - step : p + step;
    out[0] += s * gL;
    out[1] += s * gR;
    gL += stepL;
    gR += stepR;
    out += 2;
  }
  return p;
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

// Brings a looping voice that reached an end of its loop back inside it.
void wrapLoop(Voice& v, const Sample& s, std::uint64_t p) {
  const Int128 start = static_cast<Int128>(s.loopStart) << 32;
  const Int128 span = static_cast<Int128>(s.loopLength) << 32;
  // Backward moves past the start can leave the (unsigned) position "below zero".
  Int128 position = v.direction == kBackward && (p >> 63) != 0
                        ? static_cast<Int128>(static_cast<std::int64_t>(p))
                        : static_cast<Int128>(p);
  if (s.loopMode == kLoopForward) {
    if (position >= start + span) position = start + (position - start) % span;
    storePosition(v, static_cast<std::uint64_t>(position));
    return;
  }
  // Ping-pong: mirroring at the end (x -> 2 end - x - 2^-32) and at the start repeats every
  // two loop lengths, so unfold to a forward position and reduce it modulo that period.
  Int128 unfolded = position - start;
  if (v.direction == kBackward) unfolded = 2 * span - 1 - unfolded;
  Int128 r = unfolded % (2 * span);
  if (r < 0) r += 2 * span;
  if (r < span) {
    v.direction = kForward;
  } else {
    r = 2 * span - 1 - r;
    // Resting exactly on the loop start while moving back: turn there.
    v.direction = r == 0 ? kForward : kBackward;
  }
  storePosition(v, static_cast<std::uint64_t>(start + r));
}

void mixVoice(Voice& v, float* out, std::uint32_t remaining, std::uint32_t rampFrames) {
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
    const bool backwards = v.direction == kBackward;
    if (pass != 0) {
      if (ramp) {
        float gL = static_cast<float>(v.currentLeft) / 256.0f / 255.0f;
        float gR = static_cast<float>(v.currentRight) / 256.0f / 255.0f;
        p = mixRamp(out, pass, s.data, p, step, backwards, gL, gR, v.rampLeftStep, v.rampRightStep);
        v.currentLeft = static_cast<std::int32_t>(std::lround(gL * 255.0f * 256.0f));
        v.currentRight = static_cast<std::int32_t>(std::lround(gR * 255.0f * 256.0f));
        v.rampFramesLeft -= pass;
        if (v.rampFramesLeft == 0) {
          v.rampLeftStep = 0.0f;
          v.rampRightStep = 0.0f;
          v.currentLeft = v.leftGain * 256;
          v.currentRight = v.rightGain * 256;
        }
      } else if (v.leftGain == 0 && v.rightGain == 0) {
        // A silent voice (typically one fading out behind its partner) adds only zeros: move
        // its position without the arithmetic, as the frame loop would.
        const std::uint64_t distance = step * pass;
        p = backwards ? p - distance : p + distance;
      } else {
        const float gL = static_cast<float>(v.leftGain) / 255.0f;
        const float gR = static_cast<float>(v.rightGain) / 255.0f;
        p = backwards ? mixSteady<true>(out, pass, s.data, p, step, gL, gR)
                      : mixSteady<false>(out, pass, s.data, p, step, gL, gR);
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
  for (Voice& v : state.voices) {
    if (v.sample != nullptr) {
      mixVoice(v, mix, static_cast<std::uint32_t>(frames), state.rampFrames);
    }
  }
}

void convertToPcm16(std::int16_t* out, const float* in, std::int32_t frames) {
  if (frames < 1 || out == nullptr || in == nullptr) return;
  const std::int32_t count = frames * 2;
  for (std::int32_t i = 0; i < count; ++i) {
    float r = std::nearbyint(in[i]);  // the default rounding mode rounds ties to even
    if (!(r >= -32768.0f)) r = r != r ? 0.0f : -32768.0f;
    if (r > 32767.0f) r = 32767.0f;
    out[i] = static_cast<std::int16_t>(r);
  }
}

}  // namespace quarvel::music
