// Loading a module file into a Song.
#pragma once

#include <cstdint>
#include <string>

#include "music/file_ops.h"
#include "music/song.h"

namespace quarvel::music {

// Why a module was refused.
enum class LoadProblem : std::uint8_t {
  kNone,
  kCannotOpen,          // the file operations gave no handle
  kNotXm,               // the signature is missing (also an empty or unreadable file)
  kEndsInHeader,        // the file ends inside the song header
  kTooManyChannels,     // count: channels (playback holds 32)
  kTooManyPatterns,     // count: patterns (at most 256)
  kTooManyInstruments,  // count: instruments (at most 128)
  kTooManyRows,         // pattern; count: rows (at most 256)
  kEndsInPattern,       // pattern
  kEndsInInstrument,    // instrument
  kTooManySamples,      // instrument; count: samples (at most 16)
  kEndsInSample,        // instrument, sample: its header or its data
};

// The first problem found, and where. Only the fields the problem names are set.
struct LoadError {
  LoadProblem problem = LoadProblem::kNone;
  std::uint32_t count = 0;       // the count that is too large
  std::uint32_t pattern = 0;     // 0-based, as the order table names patterns
  std::uint32_t instrument = 0;  // 1-based, as pattern cells name instruments
  std::uint32_t sample = 0;      // 0-based within the instrument, as the keymap names samples
};

// One line that says what is wrong, without a trailing newline ("instrument 2 has 23 samples;
// the player allows at most 16"). Empty for kNone.
std::string describeLoadError(const LoadError& error);

// Opens `fileName` through the installed FileOps and parses it. Gives a new Song (release it
// with freeSong) or null when the file cannot be opened or is not a module this player plays;
// then `error`, when given, says why.
Song* loadSong(const char* fileName, LoadError* error = nullptr);

// Fills a zeroed `song` from `stream`. Gives false on any malformed or truncated input, and
// fills `error` when given; the partly built song must then be released with freeSong.
bool parseXm(Song* song, Stream* stream, LoadError* error = nullptr);

}  // namespace quarvel::music
