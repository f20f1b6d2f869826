// Shared helpers for the music tests: loading modules built in memory, small fixtures.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "music/loader.h"
#include "music/playback.h"
#include "music/song.h"
#include "xmwriter/xm_writer.h"

namespace quarvel::music::testing {

struct SongDeleter {
  void operator()(Song* song) const { freeSong(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

// Loads module bytes through loadSong and the memory-file operations, from a scratch file.
SongPtr loadBytes(const std::vector<std::uint8_t>& bytes, LoadError* error = nullptr);

// Writes and loads a module built in code.
SongPtr loadModule(const xmwriter::Module& module);

// A module with `channels` channels, one pattern of `rows` rows, and one instrument holding a
// forward-looped 8-bit sample of 64 values.
xmwriter::Module basicModule(int channels = 1, int rows = 64);

// One named value and what it must be: a row of expectAll's table.
struct Check {
  const char* name;
  std::int64_t actual, expected;
};

// Expects every actual value to equal its expected one; failures name the check and `where`.
void expectAll(std::initializer_list<Check> checks, const std::string& where = "");

}  // namespace quarvel::music::testing
