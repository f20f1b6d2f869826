// Builds tracker modules in code and writes them in the packed module format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Typical use:
//   Module m;                       // 4 channels, speed 6, 125 BPM, linear frequencies
//   m.orders = {0};
//   m.addPattern(64);
//   m.patterns[0].at(0, 0, m.channels) = {note(4, 0), 1, 0x40, 0, 0};  // C-4, instrument 1
//   Instrument lead;
//   lead.samples.push_back(sample);  // values, width, loop
//   m.instruments.push_back(lead);
//   save(m, "song.xm");
namespace quarvel::xmwriter {

// Note numbers: 1 = C-0 ... 96 = B-7; kKeyOff releases the note.
inline constexpr std::uint8_t kKeyOff = 97;

// Builds a note number from an octave (0..7) and a semitone (0 = C .. 11 = B).
constexpr std::uint8_t note(int octave, int semitone) {
  return static_cast<std::uint8_t>(1 + octave * 12 + semitone);
}

struct Cell {
  std::uint8_t note = 0;        // 0 none, 1..96, kKeyOff
  std::uint8_t instrument = 0;  // 0 none, 1..128
  std::uint8_t volume = 0;      // volume-column byte (0x10..0x50 sets volume 0..64)
  std::uint8_t effect = 0;
  std::uint8_t parameter = 0;
};

struct Pattern {
  std::uint16_t rows = 64;  // 1..256
  std::vector<Cell> cells;  // rows x channels, row after row; resized by Module::addPattern

  // The cell at `row`, `channel`; `channels` must be the module's channel count.
  Cell& at(int row, int channel, int channels) {
    return cells[static_cast<std::size_t>(row) * channels + channel];
  }
};

enum class Loop : std::uint8_t { kNone, kForward, kPingPong };

struct Sample {
  std::string name;
  std::vector<std::int32_t> values;  // signed values: -128..127 for 8-bit, -32768..32767 for 16
  bool sixteenBit = false;
  Loop loop = Loop::kNone;
  std::uint32_t loopStart = 0;   // in values
  std::uint32_t loopLength = 0;  // in values
  std::uint8_t volume = 64;      // 0..64
  std::int8_t finetune = 0;      // 1/128 semitones
  std::uint8_t panning = 128;    // 0 right .. 255 left
  std::int8_t relativeNote = 0;  // semitones added to every note
};

struct EnvelopePoint {
  std::uint16_t tick = 0;
  std::uint16_t value = 0;  // 0..64
};

struct Envelope {
  std::vector<EnvelopePoint> points;  // up to 12; the envelope is on when it has points
  bool sustain = false;
  std::uint8_t sustainPoint = 0;
  bool loop = false;
  std::uint8_t loopStart = 0, loopEnd = 0;  // point indices
};

struct Instrument {
  std::string name;
  std::vector<Sample> samples;            // up to 16
  std::array<std::uint8_t, 96> keymap{};  // sample index per note - 1 (all 0: sample 0)
  Envelope volumeEnvelope, panningEnvelope;
  std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  std::uint16_t fadeout = 0;  // as written to the file (the player doubles it)
};

struct Module {
  std::string name;
  std::uint16_t channels = 4;  // 1..32
  std::uint16_t tempo = 6;     // ticks per row
  std::uint16_t bpm = 125;
  bool linearFrequencies = true;
  std::vector<std::uint8_t> orders;  // pattern number per position, up to 256
  std::uint16_t restartPosition = 0;
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;

  // Appends an empty pattern of `rows` rows sized for the channel count; gives its number.
  std::size_t addPattern(std::uint16_t rows = 64);
};

// Where parts of the written file start, for tools and tests that patch bytes.
struct Layout {
  std::vector<std::size_t> patternHeaders;              // per pattern
  std::vector<std::size_t> instrumentHeaders;           // per instrument
  std::vector<std::vector<std::size_t>> sampleHeaders;  // per instrument, per sample (40 bytes)
  std::vector<std::vector<std::size_t>> sampleData;     // per instrument, per sample
};

// The module as file bytes. Samples are delta-encoded; patterns are packed (an all-empty
// pattern is written with no data). `layout`, when given, receives the offsets.
std::vector<std::uint8_t> write(const Module& module, Layout* layout = nullptr);

// Writes the module to `path`; gives false when the file cannot be written.
bool save(const Module& module, const std::string& path);

}  // namespace quarvel::xmwriter
