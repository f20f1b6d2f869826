// Per-channel player state and what turns it into voice parameters every tick.
#pragma once

#include <cstdint>

#include "music/song.h"
#include "music/voice.h"

namespace quarvel::music {

inline constexpr int kChannelCount = 32;

// Channel change flags.
inline constexpr std::uint8_t kFlagFrequency = 1;
inline constexpr std::uint8_t kFlagVolume = 2;
inline constexpr std::uint8_t kFlagPanning = 4;
inline constexpr std::uint8_t kFlagTrigger = 8;
inline constexpr std::uint8_t kFlagRestart = 32;
inline constexpr std::uint8_t kLowFlags = 15;

struct EnvelopeState {
  std::int32_t tick;        // envelope time in ticks
  std::int32_t pointIndex;  // point being approached
  std::int32_t value16;     // 16.16 fixed value
  std::int32_t value;       // 0..64 (panning: 32 is the centre)
  std::int32_t step;        // 16.16 change per tick
  std::uint8_t finished;
};

struct Channel {
  std::uint8_t note;   // last note given, 0-based; values >= 96 select no sample
  std::uint8_t flags;  // kFlag... bits for this tick
  Voice* voice;        // voice i or its partner i + 32
  std::int32_t period;
  std::int32_t volume;       // 0..64 (effect C may set up to 255)
  std::int32_t panning;      // 0..255; slides may leave it outside, updateVoice clamps the result
  std::int32_t volumeDelta;  // tremolo and tremor offset of this tick
  std::int32_t periodDelta;  // vibrato, arpeggio and auto-vibrato offset of this tick
  EnvelopeState volumeEnvelope;
  EnvelopeState panningEnvelope;
  std::int32_t fadeVolume;           // 65536 full volume .. 0 silence
  std::uint8_t autoVibratoPosition;  // 0..255
  std::int32_t autoVibratoSweep;     // 0..vibratoSweep
  std::uint8_t keyOff;
  std::uint8_t instrument;  // 0-based
  std::uint8_t realNote;    // note + relativeNote, kept to 8 bits
  std::int32_t targetPeriod;
  std::uint8_t lastEffect;
  std::uint8_t sampleOffsetMemory;
  std::uint8_t portaUpMemory, portaDownMemory, finePortaUpMemory, finePortaDownMemory;
  std::uint8_t extraFinePortaUpMemory, extraFinePortaDownMemory;
  std::uint8_t volumeSlideMemory, fineVolumeSlideMemory, panningSlideMemory;
  std::uint8_t retrigVolumeType, retrigInterval;
  std::int32_t portaTarget;
  std::uint8_t portaSpeed;
  std::int8_t vibratoPosition;  // -32..31
  std::uint8_t vibratoSpeed, vibratoDepth;
  std::int8_t tremoloPosition;  // -32..31
  std::uint8_t tremoloSpeed, tremoloDepth;
  std::uint8_t tremorCounter, tremorOn, tremorOff;
  std::int32_t patternLoopRow, patternLoopCount;
  std::uint8_t waveControl;  // low 4 bits vibrato waveform, high 4 bits tremolo waveform
};

// Starts the sample's volume and panning and restarts envelopes, fade-out and auto-vibrato.
void resetChannelForInstrument(Channel& channel, const Sample& sample);

// One tick of an envelope (call only when it is on and not finished). `points` holds
// kEnvelopeCapacity entries; `count` is clamped to that. `flag` is kFlagVolume or kFlagPanning.
void stepEnvelope(Channel& channel, EnvelopeState& envelope, const EnvelopePoint* points,
                  std::uint8_t count, std::uint8_t sustain, std::uint8_t loopStart,
                  std::uint8_t loopEnd, std::uint8_t type, std::uint8_t flag);

// One tick of fade-out after key-off: fadeVolume falls by the instrument's fadeout.
void stepFadeOut(Channel& channel, const Instrument& instrument);

// One tick of the instrument's auto-vibrato: adds to periodDelta, sets the frequency flag.
void applyAutoVibrato(Channel& channel, const Instrument& instrument);

// Hands the channel's state to its voice; a trigger on a busy voice moves the note to the
// partner voice and lets the old one fade out. `sample` is the row's sample.
void updateVoice(Channel& channel, const Sample& sample, const Song& song);

// The output frequency in Hz for a period (with delta) on the song's table, at least 100.
std::int32_t periodToFrequency(std::int32_t period, std::int32_t periodDelta, bool linear);

}  // namespace quarvel::music
