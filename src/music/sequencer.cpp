// Pattern sequencer: rows, orders, speed and BPM, the volume column and the effects.
#include "music/sequencer.h"

#include <cmath>
#include <cstdlib>

#include "math/elementary.h"
#include "music/channel.h"
#include "music/engine_state.h"

namespace quarvel::music {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr NoteCell kNoCell{0, 0, 0, 0, 0};

bool isPorta(std::uint8_t effect) {
  return effect == 3 || effect == 5;
}

// The pattern the order names, or null when it names none that exists.
const Pattern* patternAt(const Song& song, std::int32_t order) {
  if (order < 0 || order >= 256 || song.patterns == nullptr) return nullptr;
  const std::uint32_t index = song.orderTable[order];
  return index < song.patternSlots ? &song.patterns[index] : nullptr;
}

std::int32_t channelCount(const Song& song) {
  return song.numChannels < kChannelCount ? song.numChannels : kChannelCount;
}

// The cells of the current row, or null when the row lies outside the pattern.
const NoteCell* rowCells(const Song& song) {
  const Pattern* pattern = patternAt(song, song.order);
  if (pattern == nullptr || pattern->cells == nullptr || song.row < 0) return nullptr;
  if (static_cast<std::uint32_t>(song.row) >= pattern->rows) return nullptr;
  return pattern->cells + static_cast<std::size_t>(song.row) * song.numChannels;
}

struct RowSources {
  const Instrument* instrument;
  Sample* sample;
};

RowSources lookUp(const Song& song, const Channel& channel) {
  if (channel.instrument >= song.numInstruments || song.instruments == nullptr) {
    return {&kEmptyInstrument, &kEmptySample};
  }
  const Instrument& instrument = song.instruments[channel.instrument];
  Sample* sample = &kEmptySample;
  if (channel.note < kKeymapNotes) {
    const std::uint8_t slot = instrument.keymap[channel.note];
    if (slot < kMaxSamplesPerInstrument && instrument.samples[slot] != nullptr) {
      sample = instrument.samples[slot];
    }
  }
  return {&instrument, sample};
}

std::int32_t periodFor(const Song& song, std::int32_t realNote, std::int32_t finetune) {
  return (song.flags & kLinearFrequencies) != 0 ? noteToLinearPeriod(realNote, finetune)
                                                : noteToAmigaPeriod(realNote, finetune);
}

std::int32_t clampVolume(std::int32_t v) {
  return v < 0 ? 0 : (v > 64 ? 64 : v);
}

// Slides down stop at silence only: a volume set above 64 (effect C) slides down from there.
std::int32_t volumeDown(std::int32_t v, std::int32_t by) {
  return v - by < 0 ? 0 : v - by;
}

// Waveform value 0..256 for vibrato and tremolo positions (-32..31).
std::int32_t waveValue(std::int32_t waveform, std::int8_t position) {
  switch (waveform) {
    case 0:
      return static_cast<std::int32_t>(std::fabs(math::sin(position * kPi / 32.0)) * 256.0);
    case 1: {
      const std::int32_t w = (position * 8) & 255;
      return position < 0 ? 255 - w : w;
    }
    default:
      return 255;
  }
}

std::int8_t advanceWavePosition(std::int8_t position, std::uint8_t speed) {
  std::int8_t next = static_cast<std::int8_t>(static_cast<std::uint8_t>(position + speed));
  if (next > 31) next = static_cast<std::int8_t>(next - 64);
  return next;
}

void vibrato(Channel& ch) {
  const std::int32_t w = waveValue(ch.waveControl & 3, ch.vibratoPosition);
  const std::int32_t d = ((ch.vibratoDepth * w) >> 5) & ~3;
  ch.periodDelta = ch.vibratoPosition < 0 ? d : -d;
  ch.flags |= kFlagFrequency;
}

void tremolo(Channel& ch) {
  std::int32_t waveform = (ch.waveControl >> 4) & 3;
  if (waveform == 3) waveform = 0;
  std::int32_t delta = (ch.tremoloDepth * waveValue(waveform, ch.tremoloPosition)) >> 6;
  if (ch.tremoloPosition >= 0) {
    if (ch.volume + delta > 64) delta = 64 - ch.volume;
  } else {
    if (static_cast<std::int16_t>(ch.volume - delta) < 0) delta = ch.volume;
    delta = -delta;
  }
  ch.volumeDelta = delta;
  ch.tremoloPosition = advanceWavePosition(ch.tremoloPosition, ch.tremoloSpeed);
  ch.flags |= kFlagVolume;
}

void tremor(Channel& ch) {
  if (ch.tremorCounter >= ch.tremorOn) ch.volumeDelta = -ch.volume;
  ch.tremorCounter = static_cast<std::uint8_t>(ch.tremorCounter + 1);
  if (ch.tremorCounter == ch.tremorOn + ch.tremorOff) ch.tremorCounter = 0;
  ch.flags |= kFlagVolume;
}

void tonePortamento(Channel& ch) {
  const std::int32_t speed = ch.portaSpeed * 4;
  if (ch.period < ch.portaTarget) {
    ch.period += speed;
    if (ch.period > ch.portaTarget) ch.period = ch.portaTarget;
  } else if (ch.period > ch.portaTarget) {
    ch.period -= speed;
    if (ch.period < ch.portaTarget) ch.period = ch.portaTarget;
  }
  ch.flags |= kFlagFrequency;
}

// The slides of volume, global volume and panning: a memory above 15 moves up
// by its high nibble, else down by its low nibble, within 0..ceiling.
void slideWithin(std::int32_t& value, std::uint8_t memory, std::int32_t ceiling) {
  if (memory > 15) {
    value += memory >> 4;
    if (value > ceiling) value = ceiling;
  } else if ((memory & 15) != 0) {
    value -= memory & 15;
    if (value < 0) value = 0;
  }
}

void volumeSlide(Channel& ch) {
  slideWithin(ch.volume, ch.volumeSlideMemory, 64);
  ch.flags |= kFlagVolume;
}

void retrig(Channel& ch, std::int32_t tick) {
  if (ch.retrigInterval == 0 || tick % ch.retrigInterval != 0) return;
  const std::uint8_t t = ch.retrigVolumeType;
  if (t == 0) {
    ch.flags |= kFlagTrigger;
    return;
  }
  static constexpr std::int32_t kSteps[5] = {1, 2, 4, 8, 16};
  std::int32_t v = ch.volume;
  if (t >= 1 && t <= 5) {
    v -= kSteps[t - 1];
  } else if (t == 6) {
    v = 2 * v / 3;
  } else if (t == 7) {
    v >>= 1;
  } else if (t >= 9 && t <= 13) {
    v += kSteps[t - 9];
  } else if (t == 14) {
    v = 3 * v / 2;
  } else if (t == 15) {
    v *= 2;
  }
  ch.volume = clampVolume(v);
  ch.flags |= kFlagVolume | kFlagTrigger;
}

void setEnvelopePosition(Channel& ch, const Instrument& instrument, std::int32_t p) {
  if ((instrument.volumeType & kEnvelopeOn) == 0) return;
  const std::int32_t count =
      instrument.volumePoints < kEnvelopeFilePoints ? instrument.volumePoints : kEnvelopeFilePoints;
  if (count < 1) return;
  const EnvelopePoint* x = instrument.volumeEnvelope;
  EnvelopeState& env = ch.volumeEnvelope;
  std::int32_t i = 0;
  while (i < count && p > x[i + 1].x) ++i;
  env.pointIndex = i;
  if (i < count - 1) {
    env.finished = 0;
    env.tick = p;
    const std::int32_t dx = static_cast<std::int32_t>(x[i + 1].x) - x[i].x;
    const std::int64_t dy = static_cast<std::int64_t>(x[i + 1].y) - x[i].y;
    env.step = dx != 0 ? static_cast<std::int32_t>(dy * 65536 / dx) : 0;
    const std::int64_t value16 = static_cast<std::int64_t>(p - x[i].x) * env.step +
                                 (static_cast<std::int64_t>(x[i].y) << 16);
    env.value16 = static_cast<std::int32_t>(value16);
    env.pointIndex = i + 1;
    env.value = env.value16 >> 16;
  } else {
    env.value = x[count - 1].y;
    env.finished = 1;
  }
}

void stepEnvelopes(Channel& ch, const Instrument& in) {
  if ((in.volumeType & kEnvelopeOn) != 0 && ch.volumeEnvelope.finished == 0) {
    stepEnvelope(ch, ch.volumeEnvelope, in.volumeEnvelope, in.volumePoints, in.volumeSustain,
                 in.volumeLoopStart, in.volumeLoopEnd, in.volumeType, kFlagVolume);
  }
}

void stepPanningEnvelope(Channel& ch, const Instrument& in) {
  if ((in.panningType & kEnvelopeOn) != 0 && ch.panningEnvelope.finished == 0) {
    stepEnvelope(ch, ch.panningEnvelope, in.panningEnvelope, in.panningPoints, in.panningSustain,
                 in.panningLoopStart, in.panningLoopEnd, in.panningType, kFlagPanning);
  }
}

void volumeColumnRow(Channel& ch, std::uint8_t v) {
  const std::int32_t y = v & 15;
  if (v >= 0x10 && v <= 0x50) {
    ch.volume = v - 0x10;
    ch.flags |= kFlagVolume;
  } else if (v >= 0x60 && v <= 0x6F) {
    ch.volume = volumeDown(ch.volume, y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0x70 && v <= 0x7F) {
    ch.volume = clampVolume(ch.volume + y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0x80 && v <= 0x8F) {
    ch.volume = volumeDown(ch.volume, y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0x90 && v <= 0x9F) {
    ch.volume = clampVolume(ch.volume + y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0xA0 && v <= 0xAF) {
    ch.vibratoSpeed = static_cast<std::uint8_t>(y);
  } else if (v >= 0xB0 && v <= 0xBF) {
    ch.vibratoDepth = static_cast<std::uint8_t>(y);
  } else if (v >= 0xC0 && v <= 0xCF) {
    ch.panning = y * 16;
    ch.flags |= kFlagPanning;
  } else if (v >= 0xD0 && v <= 0xDF) {
    ch.panning -= y;
    ch.flags |= kFlagPanning;
  } else if (v >= 0xE0 && v <= 0xEF) {
    ch.panning += y;
    ch.flags |= kFlagPanning;
  } else if (v >= 0xF0) {
    if (y != 0) ch.portaSpeed = static_cast<std::uint8_t>(y * 16);
    ch.portaTarget = ch.targetPeriod;
    ch.flags &= static_cast<std::uint8_t>(~kFlagTrigger);
  }
}

void volumeColumnTick(Channel& ch, std::uint8_t v) {
  const std::int32_t y = v & 15;
  if (v >= 0x60 && v <= 0x6F) {
    ch.volume = volumeDown(ch.volume, y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0x70 && v <= 0x7F) {
    ch.volume = clampVolume(ch.volume + y);
    ch.flags |= kFlagVolume;
  } else if (v >= 0xB0 && v <= 0xBF) {
    ch.vibratoDepth = static_cast<std::uint8_t>(y);
    vibrato(ch);
    ch.vibratoPosition = advanceWavePosition(ch.vibratoPosition, ch.vibratoSpeed);
  } else if (v >= 0xD0 && v <= 0xDF) {
    ch.panning -= y;
    ch.flags |= kFlagPanning;
  } else if (v >= 0xE0 && v <= 0xEF) {
    ch.panning += y;
    ch.flags |= kFlagPanning;
  } else if (v >= 0xF0) {
    tonePortamento(ch);
  }
}

struct RowMemory {
  std::int32_t period, volume, panning;
};

void extendedRow(Song& song, Channel& ch, Sample& sample, const RowMemory& saved, std::int32_t x,
                 std::int32_t y) {
  switch (x) {
    case 1:
      if (y != 0) ch.finePortaUpMemory = static_cast<std::uint8_t>(y);
      ch.period -= ch.finePortaUpMemory * 4;
      break;
    case 2:
      if (y != 0) ch.finePortaDownMemory = static_cast<std::uint8_t>(y);
      ch.period += ch.finePortaDownMemory * 4;
      break;
    case 4:
      ch.waveControl = static_cast<std::uint8_t>((ch.waveControl & 0xF0) | y);
      break;
    case 5:
      // The shared empty record stays untouched.
      if (&sample != &kEmptySample) sample.finetune = static_cast<std::int8_t>(y);
      break;
    case 6:
      if (y == 0) {
        ch.patternLoopRow = song.row;
      } else {
        ch.patternLoopCount = ch.patternLoopCount != 0 ? ch.patternLoopCount - 1 : y;
        if (ch.patternLoopCount != 0) song.nextRow = ch.patternLoopRow;
      }
      break;
    case 7:
      ch.waveControl = static_cast<std::uint8_t>((ch.waveControl & 0x0F) | (y << 4));
      break;
    case 8:
      ch.panning = y * 16;
      ch.flags |= kFlagPanning;
      break;
    case 10:
      if (y != 0) ch.fineVolumeSlideMemory = static_cast<std::uint8_t>(y);
      ch.volume += ch.fineVolumeSlideMemory;
      if (ch.volume > 64) ch.volume = 64;
      ch.flags |= kFlagVolume;
      break;
    case 11:
      if (y != 0) ch.fineVolumeSlideMemory = static_cast<std::uint8_t>(y);
      ch.volume -= ch.fineVolumeSlideMemory;
      if (ch.volume < 0) ch.volume = 0;
      ch.flags |= kFlagVolume;
      break;
    case 13:
      ch.period = saved.period;
      ch.volume = saved.volume;
      ch.panning = saved.panning;
      ch.flags &= static_cast<std::uint8_t>(~kLowFlags);
      break;
    case 14:
      song.patternDelayTicks = y * song.speed;
      break;
    default:
      break;
  }
}

void effectRow(Song& song, Channel& ch, const Instrument& instrument, Sample& sample,
               const NoteCell& cell, const RowMemory& saved, bool& jumpSeen) {
  const std::uint8_t p = cell.parameter;
  const std::int32_t x = p >> 4;
  const std::int32_t y = p & 15;
  switch (cell.effect) {
    case 1:
      if (p != 0) ch.portaUpMemory = p;
      break;
    case 2:
      if (p != 0) ch.portaDownMemory = p;
      break;
    case 3:
      if (p != 0) ch.portaSpeed = p;
      ch.portaTarget = ch.targetPeriod;
      ch.flags &= static_cast<std::uint8_t>(~(kFlagFrequency | kFlagTrigger));
      break;
    case 4:
      if (x != 0) ch.vibratoSpeed = static_cast<std::uint8_t>(x);
      if (y != 0) ch.vibratoDepth = static_cast<std::uint8_t>(y);
      vibrato(ch);
      break;
    case 5:
      ch.portaTarget = ch.targetPeriod;
      if (p != 0) ch.volumeSlideMemory = p;
      ch.flags &= static_cast<std::uint8_t>(~(kFlagFrequency | kFlagTrigger));
      break;
    case 6:
      if (p != 0) ch.volumeSlideMemory = p;
      vibrato(ch);
      break;
    case 7:
      if (x != 0) ch.tremoloSpeed = static_cast<std::uint8_t>(x);
      if (y != 0) ch.tremoloDepth = static_cast<std::uint8_t>(y);
      break;
    case 8:
      ch.panning = p;
      ch.flags |= kFlagPanning;
      break;
    case 9: {
      if (p != 0) ch.sampleOffsetMemory = p;
      const std::uint64_t offset = static_cast<std::uint64_t>(ch.sampleOffsetMemory) * 256;
      if (offset >= static_cast<std::uint64_t>(sample.loopStart) + sample.loopLength) {
        ch.flags = static_cast<std::uint8_t>((ch.flags & ~kFlagTrigger) | kFlagRestart);
      } else if (ch.voice != nullptr) {
        ch.voice->startOffset = static_cast<std::uint32_t>(offset);
      }
      break;
    }
    case 10:
      if (p != 0) ch.volumeSlideMemory = p;
      break;
    case 11:
      song.nextOrder = p >= song.songLength ? 0 : p;
      song.nextRow = 0;
      jumpSeen = true;
      break;
    case 12:
      ch.volume = p;
      ch.flags |= kFlagVolume;
      break;
    case 13: {
      const std::int32_t row = x * 10 + y;
      song.nextRow = row > 63 ? 0 : row;
      if (!jumpSeen) {
        song.nextOrder = song.order + 1;
        if (song.nextOrder >= song.songLength) song.nextOrder = 0;
      }
      break;
    }
    case 14:
      extendedRow(song, ch, sample, saved, x, y);
      break;
    case 15:
      if (p < 32) {
        song.speed = p;
      } else {
        setBpm(&song, p);
      }
      break;
    case 16:
      song.globalVolume = p > 64 ? 64 : p;
      ch.flags |= kFlagVolume;
      break;
    case 17:
      if (p != 0) song.globalVolumeSlideMemory = p;
      break;
    case 21:
      setEnvelopePosition(ch, instrument, p);
      break;
    case 25:
      if (p != 0) ch.panningSlideMemory = p;
      ch.flags |= kFlagPanning;
      break;
    case 27:
      if (p != 0) {
        ch.retrigVolumeType = static_cast<std::uint8_t>(x);
        ch.retrigInterval = static_cast<std::uint8_t>(y);
      }
      break;
    case 29:
      if (p != 0) {
        ch.tremorOn = static_cast<std::uint8_t>(x + 1);
        ch.tremorOff = static_cast<std::uint8_t>(y + 1);
      }
      tremor(ch);
      break;
    case 33:
      if (x == 1) {
        if (y != 0) ch.extraFinePortaUpMemory = static_cast<std::uint8_t>(y);
        ch.period -= ch.extraFinePortaUpMemory;
      } else if (x == 2) {
        if (y != 0) ch.extraFinePortaDownMemory = static_cast<std::uint8_t>(y);
        ch.period += ch.extraFinePortaDownMemory;
      }
      break;
    default:
      break;
  }
}

void effectTick(Song& song, Channel& ch, const Sample& sample, const NoteCell& cell) {
  const std::uint8_t p = cell.parameter;
  const std::int32_t x = p >> 4;
  const std::int32_t y = p & 15;
  const std::int32_t tick = song.tick;
  switch (cell.effect) {
    case 0:
      if (p != 0) {
        const std::int32_t phase = tick % 3;
        const std::int32_t n = phase == 0 ? 0 : (phase == 1 ? x : y);
        if (phase == 0) {
          ch.periodDelta = 0;
        } else if ((song.flags & kLinearFrequencies) != 0) {
          ch.periodDelta = n * 64;
        } else {
          ch.periodDelta = noteToAmigaPeriod(ch.realNote + n, sample.finetune) -
                           noteToAmigaPeriod(ch.realNote, sample.finetune);
        }
        ch.flags |= kFlagFrequency;
      }
      break;
    case 1:
      ch.period -= ch.portaUpMemory * 4;
      if (ch.period < 56) ch.period = 56;
      ch.flags |= kFlagFrequency;
      break;
    case 2:
      ch.period += ch.portaDownMemory * 4;
      ch.flags |= kFlagFrequency;
      break;
    case 3:
      tonePortamento(ch);
      break;
    case 4:
      vibrato(ch);
      ch.vibratoPosition = advanceWavePosition(ch.vibratoPosition, ch.vibratoSpeed);
      break;
    case 5:
      tonePortamento(ch);
      volumeSlide(ch);
      break;
    case 6:
      vibrato(ch);
      ch.vibratoPosition = advanceWavePosition(ch.vibratoPosition, ch.vibratoSpeed);
      volumeSlide(ch);
      break;
    case 7:
      tremolo(ch);
      break;
    case 10:
      volumeSlide(ch);
      break;
    case 14:
      if (x == 9) {
        if (y != 0 && tick % y == 0) ch.flags |= kFlagFrequency | kFlagVolume | kFlagTrigger;
      } else if (x == 12) {
        if (tick == y) {
          ch.volume = 0;
          ch.flags |= kFlagVolume;
        }
      } else if (x == 13) {
        if (tick == y) {
          resetChannelForInstrument(ch, sample);
          ch.period = ch.targetPeriod;
          ch.flags |= kFlagFrequency;
          if (cell.volume != 0) volumeColumnRow(ch, cell.volume);
          ch.flags |= kFlagTrigger;
        } else {
          ch.flags &= static_cast<std::uint8_t>(~kLowFlags);
        }
      }
      break;
    case 17:
      slideWithin(song.globalVolume, song.globalVolumeSlideMemory, 64);
      break;
    case 25:
      slideWithin(ch.panning, ch.panningSlideMemory, 255);
      ch.flags |= kFlagPanning;
      break;
    case 27:
      retrig(ch, tick);
      break;
    case 29:
      tremor(ch);
      break;
    default:
      break;
  }
}

}  // namespace

void setBpm(Song* song, std::int32_t bpm) {
  if (song == nullptr) return;
  if (bpm <= 0) bpm = 125;  // no tempo would make a tick endless
  song->bpm = bpm;
  const float rate = static_cast<float>(kOutputRate);
  const float frames = 1000.0f / (static_cast<float>(bpm) * 0.4f) * rate * 0.001f;
  const std::int32_t perTick = static_cast<std::int32_t>(frames);
  song->samplesPerTick = perTick < 1 ? 1 : perTick;
}

std::int32_t noteToAmigaPeriod(std::int32_t note, std::int32_t finetune) {
  const auto period = [](std::int32_t k) {
    const float exponent = static_cast<float>(132 - k) * (1.0f / 12.0f);
    return static_cast<std::int32_t>(13.375 * math::pow(2.0, static_cast<double>(exponent)));
  };
  const std::int32_t here = period(note);
  if (finetune < 0 && note != 0) {
    return here + (-finetune) * (period(note - 1) - here) / 128;
  }
  return here - finetune * (here - period(note + 1)) / 128;
}

std::int32_t noteToLinearPeriod(std::int32_t realNote, std::int32_t finetune) {
  return 7680 - realNote * 64 - finetune / 2;
}

void processRow(Song* song) {
  song->nextOrder = -1;
  song->nextRow = -1;
  bool jumpSeen = false;
  const NoteCell* cells = rowCells(*song);
  const std::int32_t channels = channelCount(*song);
  if (cells == nullptr || channels == 0) return;
  EngineState& state = engineState();
  for (std::int32_t c = 0; c < channels; ++c) {
    Channel& ch = state.channels[c];
    const NoteCell& cell = cells[c];
    const bool porta = isPorta(cell.effect);
    const bool hasNote = cell.note >= 1 && cell.note <= 254;
    if (cell.instrument != 0 && !porta)
      ch.instrument = static_cast<std::uint8_t>(cell.instrument - 1);
    if (hasNote && !porta) ch.note = static_cast<std::uint8_t>(cell.note - 1);
    const RowSources sources = lookUp(*song, ch);
    const Instrument& instrument = *sources.instrument;
    Sample& sample = *sources.sample;
    const RowMemory saved{ch.period, ch.volume, ch.panning};
    if (ch.lastEffect == 7 && cell.effect != 7) ch.volume += ch.volumeDelta;
    ch.lastEffect = cell.effect;
    ch.volumeDelta = 0;
    ch.flags = 0;
    if (hasNote) {
      ch.realNote = static_cast<std::uint8_t>(sample.relativeNote + cell.note - 1);
      ch.targetPeriod = periodFor(*song, ch.realNote, sample.finetune);
      if (!porta) ch.period = ch.targetPeriod;
      ch.flags = kFlagTrigger;
    }
    ch.flags |= kFlagFrequency | kFlagVolume;
    ch.periodDelta = 0;
    if (cell.instrument != 0) resetChannelForInstrument(ch, sample);
    if (cell.volume != 0) volumeColumnRow(ch, cell.volume);
    if (cell.note == 255 || cell.effect == 20) ch.keyOff = 1;
    if ((instrument.volumeType & kEnvelopeOn) != 0) {
      stepEnvelopes(ch, instrument);
    } else if (ch.keyOff != 0) {
      ch.volumeEnvelope.value = 0;
    }
    stepPanningEnvelope(ch, instrument);
    if (ch.keyOff != 0) stepFadeOut(ch, instrument);
    effectRow(*song, ch, instrument, sample, cell, saved, jumpSeen);
    applyAutoVibrato(ch, instrument);
    updateVoice(ch, sample, *song);
  }
}

void processTickEffects(Song* song) {
  const NoteCell* cells = rowCells(*song);
  const std::int32_t channels = channelCount(*song);
  EngineState& state = engineState();
  for (std::int32_t c = 0; c < channels; ++c) {
    Channel& ch = state.channels[c];
    const NoteCell& cell = cells != nullptr ? cells[c] : kNoCell;
    const RowSources sources = lookUp(*song, ch);
    const Instrument& instrument = *sources.instrument;
    const Sample& sample = *sources.sample;
    ch.volumeDelta = 0;
    ch.periodDelta = 0;
    ch.flags = 0;
    stepEnvelopes(ch, instrument);
    stepPanningEnvelope(ch, instrument);
    if (ch.keyOff != 0) stepFadeOut(ch, instrument);
    if (cell.volume != 0) volumeColumnTick(ch, cell.volume);
    effectTick(*song, ch, sample, cell);
    applyAutoVibrato(ch, instrument);
    updateVoice(ch, sample, *song);
  }
}

void tickUpdate(Song* song) {
  if (song == nullptr) return;
  if (song->tick == 0) {
    if (song->nextOrder >= 0) song->order = song->nextOrder;
    if (song->nextRow >= 0) song->row = song->nextRow;
    processRow(song);
    if (song->nextRow == -1) {
      song->nextRow = song->row + 1;
      const Pattern* pattern = patternAt(*song, song->order);
      const std::int64_t rows = pattern != nullptr ? pattern->rows : 0;
      if (song->nextRow >= rows) {
        song->nextOrder = song->order + 1;
        if (song->nextOrder >= song->songLength) {
          song->nextOrder = song->restartPosition < song->songLength ? song->restartPosition : 0;
        }
        song->nextRow = 0;
      }
    }
  } else {
    processTickEffects(song);
  }
  song->tick += 1;
  if (song->tick >= song->speed + song->patternDelayTicks) {
    song->tick = 0;
    song->patternDelayTicks = 0;
  }
}

}  // namespace quarvel::music
