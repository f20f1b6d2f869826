// Channel envelopes, fade-out, auto-vibrato and the hand-over of channel state to voices.
#include "music/channel.h"

#include <cmath>
#include <cstdlib>

#include "math/elementary.h"
#include "music/engine_state.h"

namespace quarvel::music {
namespace {

constexpr double kPi = 3.14159265358979323846;

// 32-bit addition that wraps instead of overflowing (an envelope whose x values do not
// increase keeps adding its step forever).
inline std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t segmentStep(const EnvelopePoint* points, int i) {
  const std::int32_t dx = static_cast<std::int32_t>(points[i + 1].x) - points[i].x;
  if (dx == 0) return 0;
  const std::int64_t dy = static_cast<std::int64_t>(points[i + 1].y) - points[i].y;
  return static_cast<std::int32_t>(dy * 65536 / dx);
}

}  // namespace

void resetChannelForInstrument(Channel& channel, const Sample& sample) {
  channel.volume = sample.volume;
  channel.panning = sample.panning;
  EnvelopeState& vol = channel.volumeEnvelope;
  vol.value = 64;
  vol.tick = 0;
  vol.pointIndex = 0;
  vol.step = 0;
  vol.finished = 0;
  EnvelopeState& pan = channel.panningEnvelope;
  pan.value = 32;
  pan.tick = 0;
  pan.pointIndex = 0;
  pan.step = 0;
  pan.finished = 0;
  channel.keyOff = 0;
  channel.fadeVolume = 65536;
  channel.autoVibratoSweep = 0;
  channel.autoVibratoPosition = 0;
  if ((channel.waveControl & 15) < 4) channel.vibratoPosition = 0;
  if ((channel.waveControl & 0xF0) < 0x40) channel.tremoloPosition = 0;
  channel.tremorCounter = 0;
  channel.flags |= kFlagVolume | kFlagPanning;
}

void stepEnvelope(Channel& channel, EnvelopeState& envelope, const EnvelopePoint* points,
                  std::uint8_t count, std::uint8_t sustain, std::uint8_t loopStart,
                  std::uint8_t loopEnd, std::uint8_t type, std::uint8_t flag) {
  const std::int32_t n = count < kEnvelopeCapacity ? count : kEnvelopeCapacity;
  channel.flags |= flag;
  if (envelope.pointIndex < 0 || envelope.pointIndex >= n) {
    envelope.value = envelope.value16 >> 16;
    envelope.tick += 1;
    return;
  }
  if (envelope.tick != points[envelope.pointIndex].x) {
    envelope.value16 = wrappingAdd(envelope.value16, envelope.step);
    envelope.value = static_cast<std::int16_t>(envelope.value16 >> 16);
    envelope.tick += 1;
    return;
  }
  // The envelope has reached point pointIndex.
  if ((type & kEnvelopeLoop) != 0 && envelope.pointIndex == loopEnd && loopStart < n) {
    envelope.pointIndex = loopStart;
    envelope.tick = points[loopStart].x;
  }
  const std::int32_t i = envelope.pointIndex;
  if (i == n - 1) {
    envelope.value = points[i].y;
    envelope.finished = 1;
    return;
  }
  if ((type & kEnvelopeSustain) != 0 && i == sustain && channel.keyOff == 0) {
    envelope.value = points[i].y;
    return;
  }
  envelope.step = segmentStep(points, i);
  envelope.value16 = static_cast<std::int32_t>(static_cast<std::uint32_t>(points[i].y) << 16);
  envelope.pointIndex = i + 1;
  envelope.value = envelope.value16 >> 16;
  envelope.tick += 1;
}

void stepFadeOut(Channel& channel, const Instrument& instrument) {
  channel.fadeVolume -= instrument.fadeout;
  if (channel.fadeVolume < 0) channel.fadeVolume = 0;
  channel.flags |= kFlagVolume;
}

void applyAutoVibrato(Channel& channel, const Instrument& instrument) {
  const std::int32_t q = channel.autoVibratoPosition;
  std::int32_t w = 0;
  switch (instrument.vibratoType) {
    case 0:
      w = static_cast<std::int32_t>(math::sin(q * kPi / 128.0) * 64.0);
      break;
    case 1:
      w = q < 128 ? 64 : -64;
      break;
    case 2:
      w = (128 - ((q + 128) % 256)) >> 1;
      break;
    case 3:
      w = (128 - ((384 - q) % 256)) >> 1;
      break;
    default:
      w = 0;  // unknown waveforms play without vibrato
      break;
  }
  std::int32_t d = instrument.vibratoDepth * w;
  if (instrument.vibratoSweep != 0) d = channel.autoVibratoSweep * d / instrument.vibratoSweep;
  channel.periodDelta += d >> 6;
  channel.autoVibratoSweep += 1;
  if (channel.autoVibratoSweep > instrument.vibratoSweep) {
    channel.autoVibratoSweep = instrument.vibratoSweep;
  }
  std::int32_t next = q + instrument.vibratoRate;
  if (next > 255) next -= 256;
  channel.autoVibratoPosition = static_cast<std::uint8_t>(next);
  channel.flags |= kFlagFrequency;
}

std::int32_t periodToFrequency(std::int32_t period, std::int32_t periodDelta, bool linear) {
  double f = 0.0;
  if (linear) {
    const double pitch = 4608.0 - static_cast<double>(period) + static_cast<double>(periodDelta);
    f = std::trunc(8363.0 * math::pow(2.0, pitch / 768.0));
  } else {
    const std::int64_t p = static_cast<std::int64_t>(period) + periodDelta;
    f = p != 0 ? static_cast<double>(14317056 / p) : 0.0;
  }
  if (!(f >= 100.0)) f = 100.0;
  if (f > 2147483647.0) f = 2147483647.0;  // keeps absurd periods from overflowing the step
  return static_cast<std::int32_t>(f);
}

void updateVoice(Channel& channel, const Sample& sample, const Song& song) {
  EngineState& state = engineState();
  if (channel.voice == nullptr) channel.voice = &state.voices[0];
  if (static_cast<std::int64_t>(channel.period) + channel.periodDelta == 0) {
    channel.flags &= static_cast<std::uint8_t>(~kFlagFrequency);
  }
  if ((channel.flags & kFlagTrigger) != 0) {
    Voice* v = channel.voice;
    if (v->sample != nullptr) {
      const std::int32_t partnerIndex = v->index < 32 ? v->index + 32 : v->index - 32;
      Voice* partner = &state.voices[partnerIndex & (kVoiceCount - 1)];
      const std::int32_t keep = partner->index;
      *partner = *v;
      partner->index = keep;
      v->volume = 0;
      v->leftGain = 0;
      v->rightGain = 0;
      channel.voice = partner;
    }
    Voice& voice = *channel.voice;
    voice.sample = &sample;
    if (static_cast<std::uint64_t>(voice.startOffset) >=
        static_cast<std::uint64_t>(sample.loopStart) + sample.loopLength) {
      voice.startOffset = 0;
    }
    voice.position = voice.startOffset;
    voice.positionFraction = 0;
    voice.direction = kForward;
    voice.startOffset = 0;
    voice.currentLeft = 0;
    voice.currentRight = 0;
    voice.rampFramesLeft = 0;
  }
  Voice& voice = *channel.voice;
  if ((channel.flags & kFlagVolume) != 0) {
    float v = static_cast<float>(channel.volume + channel.volumeDelta);
    v *= static_cast<float>(channel.volumeEnvelope.value);
    v *= static_cast<float>(channel.fadeVolume);
    v *= static_cast<float>(song.globalVolume);
    v *= 255.0f / 34359738368.0f;  // 255 / 2^35
    const std::int32_t volume = static_cast<std::int32_t>(v);
    voice.leftGain = voice.panning * volume / 255;
    voice.rightGain = (255 - voice.panning) * volume / 255;
    voice.volume = volume;
  }
  if ((channel.flags & kFlagPanning) != 0) {
    const std::int32_t p = channel.panning;
    const std::int32_t e = channel.panningEnvelope.value;
    std::int64_t final = p + static_cast<std::int64_t>((128 - std::abs(p - 128)) / 32) * (e - 32);
    if (final < 0) final = 0;
    if (final > 255) final = 255;
    const std::int32_t pan = static_cast<std::int32_t>(final);
    voice.leftGain = voice.volume * pan / 255;
    voice.rightGain = (255 - pan) * voice.volume / 255;
    voice.panning = pan;
  }
  if ((channel.flags & kFlagFrequency) != 0) {
    const bool linear = (song.flags & kLinearFrequencies) != 0;
    const std::uint64_t f =
        static_cast<std::uint64_t>(periodToFrequency(channel.period, channel.periodDelta, linear));
    voice.stepInteger = static_cast<std::uint32_t>(f / kOutputRate);
    voice.stepFraction = static_cast<std::uint32_t>(((f % kOutputRate) << 32) / kOutputRate);
  }
  if ((channel.flags & kFlagRestart) != 0) {
    voice.position = 0;
    voice.positionFraction = 0;
    voice.startOffset = 0;
  }
}

}  // namespace quarvel::music
