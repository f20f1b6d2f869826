// Where a song's passes end: the points from which it plays again rows it has played, in the
// same order, found by running the sequencer's ticks without mixing.
#pragma once

#include <cstdint>
#include <vector>

#include "music/song.h"

namespace quarvel::tools {

// The point where a pass ended, counted from the song's start.
struct PassEnd {
  std::uint64_t ticks;   // tick operations before it
  std::uint64_t frames;  // output frames before it, at 44100 Hz
};

// Prepares `song` for playback and runs its ticks alone; gives the end of each of the first
// `passes` passes that end within `maxFrames` frames (fewer when the rest end later).
//
// A row start is the order and row about to play with every channel's pattern-loop counter
// and loop row: all that decides which rows come next. The first pass ends at the first row
// start from which the song plays on exactly as from an earlier one (the same order, row and
// counters; loop rows may differ only where a loop start E60 sets them again before an E6x
// reads them). From there the rows repeat with a fixed period, and each later pass is one
// period. Finding the first end may run the song up to twice `maxFrames`.
//
// The song's playback state moves on and its samples may change (effect E5 sets a sample's
// finetune): render from a fresh load.
std::vector<PassEnd> measurePasses(music::Song* song, std::uint32_t passes,
                                   std::uint64_t maxFrames);

}  // namespace quarvel::tools
