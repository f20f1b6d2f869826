// Where a song comes back to a row it has played: the end of one pass, found by running the
// sequencer's ticks without mixing.
#pragma once

#include <cstdint>
#include <vector>

#include "music/song.h"

namespace quarvel::tools {

// The rows of each order position played in the current pass.
class PlayedRows {
 public:
  // Call before every tick. True when the tick starts a row already played in this pass: the
  // song has looped (a jump back, or the end of the order list), and that row begins the next
  // pass. The rows a pattern loop (E6x) plays again on purpose do not count.
  bool startsRepeat(const music::Song& song);

 private:
  std::vector<bool> played_ = std::vector<bool>(256 * 256);  // [order x 256 + row]
};

// The point where a pass ended, counted from the song's start.
struct PassEnd {
  std::uint64_t ticks;   // tick operations before it
  std::uint64_t frames;  // output frames before it, at 44100 Hz
};

// Prepares `song` for playback and runs its ticks alone until `passes` passes have ended or
// `maxFrames` frames have gone by; gives the end of each pass that ended. The song's playback
// state moves on and its samples may change (effect E5 sets a sample's finetune): render from a
// fresh load.
std::vector<PassEnd> measurePasses(music::Song* song, std::uint32_t passes,
                                   std::uint64_t maxFrames);

}  // namespace quarvel::tools
