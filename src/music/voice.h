// Mixer voices: one playing sample each, stepped in 32.32 fixed point.
#pragma once

#include <cstdint>

#include "music/song.h"

namespace quarvel::music {

inline constexpr int kVoiceCount = 64;
inline constexpr std::uint8_t kForward = 1;
inline constexpr std::uint8_t kBackward = 2;

struct Voice {
  std::int32_t index;                       // own place in the voice table, 0..63
  std::int32_t volume;                      // last computed channel volume, 0..127 in normal use
  std::int32_t panning;                     // 0 (right) .. 255 (left)
  std::uint32_t startOffset;                // value index where the next triggered note starts
  const Sample* sample;                     // playing sample; null when idle
  std::int32_t leftGain, rightGain;         // target gains, 0..255 in normal use (255 = unity)
  std::uint32_t position;                   // integer part of the play position, in values
  std::uint32_t positionFraction;           // fraction, 2^-32 units
  std::uint32_t stepFraction, stepInteger;  // increment per output frame, 32.32
  std::uint8_t direction;                   // kForward or kBackward
  std::int32_t lastLeftTarget, lastRightTarget;  // gains the running ramp aims at
  std::int32_t currentLeft, currentRight;        // gains in effect, times 256
  float rampLeftStep, rampRightStep;             // gain change per frame, 1.0 = gain 255
  std::uint32_t rampFramesLeft;
};

// Adds every active voice of the voice table into `mix` (interleaved left/right floats in
// 16-bit sample units) for `frames` frames. `mix` must hold 2 x frames floats. Voices reaching
// the end of a sample without a loop go idle. Nothing happens for frames < 1.
void mixVoices(float* mix, std::int32_t frames);

// Rounds each of 2 x frames floats to the nearest integer (ties to even), clamps to 16 bits.
// Nothing happens when frames < 1 or a pointer is null.
void convertToPcm16(std::int16_t* out, const float* in, std::int32_t frames);

}  // namespace quarvel::music
