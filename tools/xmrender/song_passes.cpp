// Pass detection over the sequencer's order and row fields.
#include "xmrender/song_passes.h"

#include <algorithm>

#include "music/playback.h"

namespace quarvel::tools {
namespace {

std::size_t slot(std::int32_t order, std::int32_t row) {
  return static_cast<std::size_t>(std::clamp(order, 0, 255)) * 256 +
         static_cast<std::size_t>(std::clamp(row, 0, 255));
}

}  // namespace

bool PlayedRows::startsRepeat(const music::Song& song) {
  if (song.tick != 0) return false;
  // Only a pattern loop moves back within the order without naming the next order.
  if (song.nextOrder < 0 && song.nextRow >= 0 && song.nextRow <= song.row) {
    for (std::int32_t row = song.nextRow; row <= song.row; ++row) {
      played_[slot(song.order, row)] = false;
    }
  }
  const std::int32_t order = song.nextOrder >= 0 ? song.nextOrder : song.order;
  const std::int32_t row = song.nextRow >= 0 ? song.nextRow : song.row;
  const bool repeat = played_[slot(order, row)];
  if (repeat) std::fill(played_.begin(), played_.end(), false);
  played_[slot(order, row)] = true;
  return repeat;
}

std::vector<PassEnd> measurePasses(music::Song* song, std::uint32_t passes,
                                   std::uint64_t maxFrames) {
  std::vector<PassEnd> ends;
  if (!music::preparePlayback(song) || song->tickOperation == nullptr) return ends;
  PlayedRows rows;
  std::uint64_t ticks = 0;
  std::uint64_t frames = 0;
  while (ends.size() < passes && frames < maxFrames) {
    if (rows.startsRepeat(*song)) {
      ends.push_back({ticks, frames});
      if (ends.size() == passes) break;
    }
    song->tickOperation(song);
    ++ticks;
    // As the block renderer counts a tick: at least one frame.
    frames += static_cast<std::uint64_t>(std::max(song->samplesPerTick, 1));
  }
  return ends;
}

}  // namespace quarvel::tools
