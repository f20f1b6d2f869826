// Pattern playback: ticks, rows and orders, and every effect of the cells.
#pragma once

#include <cstdint>

#include "music/song.h"

namespace quarvel::music {

// Sets bpm and samplesPerTick = truncate(1000 / (bpm x 0.4) x 44100 x 0.001) in single
// precision (882 at 125 BPM). A bpm of 0 is taken as 125; samplesPerTick is at least 1.
void setBpm(Song* song, std::int32_t bpm);

// Amiga-table period of `note` (0-based, may lie outside 0..95) with finetune in 1/128
// semitones. Note 48 with finetune 0 gives 1712.
std::int32_t noteToAmigaPeriod(std::int32_t note, std::int32_t finetune);

// Linear-table period: 7680 - realNote x 64 - finetune / 2. Note 48 gives 4608.
std::int32_t noteToLinearPeriod(std::int32_t realNote, std::int32_t finetune);

// The song's tick operation: runs one tick (row work on tick 0, effects on the others) and
// moves through rows and orders. The song must be prepared for playback.
void tickUpdate(Song* song);

// Tick-0 work of the current row for every channel.
void processRow(Song* song);

// Work of ticks 1 and later for every channel.
void processTickEffects(Song* song);

}  // namespace quarvel::music
