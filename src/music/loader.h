// Loading a module file into a Song.
#pragma once

#include "music/file_ops.h"
#include "music/song.h"

namespace quarvel::music {

// Opens `fileName` through the installed FileOps and parses it. Gives a new Song (release it
// with freeSong) or null when the file cannot be opened or is not a module this player plays.
Song* loadSong(const char* fileName);

// Fills a zeroed `song` from `stream`. Gives false on any malformed or truncated input; the
// partly built song must then be released with freeSong.
bool parseXm(Song* song, Stream* stream);

}  // namespace quarvel::music
