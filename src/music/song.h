// The loaded module: patterns, instruments and decoded samples, plus the playback fields.
#pragma once

#include <cstdint>

namespace quarvel::music {

// One pattern cell, exactly as unpacked from the file (5 bytes).
struct NoteCell {
  std::uint8_t note;  // 0 none, 1..96 notes (C-0 is 1), 255 key off; other values play nothing
  std::uint8_t instrument;  // 0 none, 1..128
  std::uint8_t volume;      // volume-column byte as stored
  std::uint8_t effect;      // effect number as stored
  std::uint8_t parameter;   // effect parameter byte
};

struct Pattern {
  std::uint32_t rows;  // 0..256
  // rows x numChannels cells, row after row; owned (new[]), null when rows or channels are 0.
  NoteCell* cells;
};

// Loop modes of a Sample.
inline constexpr std::uint8_t kLoopNone = 1;
inline constexpr std::uint8_t kLoopForward = 2;
inline constexpr std::uint8_t kLoopPingPong = 4;

// Guard values kept behind every sample's data so interpolation may read past the end (the
// vector mixer reads up to 16 values beyond an index it interpolates at).
inline constexpr std::uint32_t kSampleGuardValues = 16;

struct Sample {
  // length + kSampleGuardValues values, owned (new[]); null when length is 0.
  std::int16_t* data;
  std::uint32_t length;      // in values; at most the file's size
  std::uint32_t loopStart;   // in values; loopStart + loopLength <= length after loading
  std::uint32_t loopLength;  // in values; >= 1 for looping samples, == length without a loop
  std::uint8_t volume;       // 0..64 in well-formed files
  std::int8_t finetune;      // -128..127, 1/128 semitone units
  std::int32_t panning;      // 0 (right) .. 255 (left)
  std::uint8_t bits;         // 8 or 16 while loading; 16 once loaded
  std::uint8_t loopMode;     // kLoopNone, kLoopForward or kLoopPingPong
  std::int8_t relativeNote;  // semitones added to the note
};

struct EnvelopePoint {
  std::uint16_t x;  // tick
  std::uint16_t y;  // value 0..64 (the loader clamps larger values)
};

inline constexpr int kEnvelopeCapacity = 20;    // points held per envelope
inline constexpr int kEnvelopeFilePoints = 12;  // points the file provides

// Envelope type bits.
inline constexpr std::uint8_t kEnvelopeOn = 1;
inline constexpr std::uint8_t kEnvelopeSustain = 2;
inline constexpr std::uint8_t kEnvelopeLoop = 4;

inline constexpr int kMaxSamplesPerInstrument = 16;
inline constexpr int kKeymapNotes = 96;

struct Instrument {
  std::uint32_t numSamples;  // 0..16
  // Slots numSamples..15 point at kEmptySample; slots below are owned (new).
  Sample* samples[kMaxSamplesPerInstrument];
  std::uint8_t keymap[kKeymapNotes];  // sample slot per note-1; values >= 16 select kEmptySample
  EnvelopePoint volumeEnvelope[kEnvelopeCapacity];
  EnvelopePoint panningEnvelope[kEnvelopeCapacity];
  std::uint8_t volumePoints;                                   // 0..12 (larger counts are clamped)
  std::uint8_t panningPoints;                                  // 0..12
  std::uint8_t volumeSustain, volumeLoopStart, volumeLoopEnd;  // point indices, any byte
  std::uint8_t panningSustain, panningLoopStart, panningLoopEnd;  // point indices, any byte
  std::uint8_t volumeType;   // kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop; 0 when < 2 points
  std::uint8_t panningType;  // as volumeType
  std::uint8_t vibratoType;  // 0 sine, 1 square, 2 and 3 saws; above 3 no vibrato
  std::uint8_t vibratoSweep, vibratoDepth, vibratoRate;
  std::uint16_t fadeout;  // fade-out per tick in 1/65536 of full volume: twice the file value
};

// Shared empty records: never freed. Empty sample slots and unknown instruments use them.
// Playback never writes to them.
extern Sample kEmptySample;
extern const Instrument kEmptyInstrument;

struct Song;
using TickOperation = void (*)(Song* song);

// Linear frequency table flag in Song::flags (clear: Amiga table).
inline constexpr std::uint16_t kLinearFrequencies = 1;

// A loaded module and its playback position. Created by loadSong, released by freeSong.
struct Song {
  Pattern* patterns;                 // patternSlots entries, owned (new[])
  Instrument* instruments;           // numInstruments entries, owned (new[])
  std::uint16_t songLength;          // order entries in use, 0..256
  std::uint16_t restartPosition;     // < songLength (0 when songLength is 0)
  std::uint16_t numChannels;         // 0..32
  std::uint32_t patternsUsed;        // 1 + highest pattern in the first songLength orders (0..256)
  std::uint32_t patternSlots;        // max(file pattern count, patternsUsed), 0..256
  std::uint16_t numInstruments;      // 0..128
  std::uint16_t flags;               // kLinearFrequencies
  std::uint16_t defaultTempo;        // ticks per row at start (0 plays like 1)
  std::uint16_t defaultBpm;          // beats per minute at start, 1..255
  std::uint8_t orderTable[256];      // pattern number per order position
  std::uint8_t defaultGlobalVolume;  // always 64
  TickOperation tickOperation;       // the sequencer's per-tick update

  // Playback fields, set by preparePlayback and advanced by the sequencer.
  std::int32_t samplesLeftInTick;  // output frames left in the current tick
  std::int32_t samplesPerTick;     // frames per tick, >= 1
  std::int32_t globalVolume;       // 0..64
  std::uint8_t globalVolumeSlideMemory;
  std::int32_t tick;                // tick within the row, from 0
  std::int32_t speed;               // ticks per row
  std::int32_t bpm;                 // beats per minute
  std::int32_t row, order;          // current row and order position
  std::int32_t patternDelayTicks;   // extra ticks of the current row
  std::int32_t nextRow, nextOrder;  // where the next row comes from; -1 when not set
};

}  // namespace quarvel::music
