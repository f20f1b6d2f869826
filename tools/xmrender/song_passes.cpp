// Pass detection over the sequencer's position and the channels' pattern-loop state.
#include "xmrender/song_passes.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "music/channel.h"
#include "music/engine_state.h"
#include "music/playback.h"

namespace quarvel::tools {
namespace {

// The row starts of one run, each kept as its order, row, counters and loop rows, in that order.
class RowStarts {
 public:
  explicit RowStarts(std::size_t channels)
      : channels_(channels), width_(2 + 2 * channels), seen_(64, Hash{this}, Same{this}) {}
  RowStarts(const RowStarts&) = delete;
  RowStarts& operator=(const RowStarts&) = delete;

  // Call at tick 0, before the tick runs. Gives the row index of the first pass end and the
  // period once the row start just taken repeats an earlier one in full.
  struct Repeat {
    std::size_t row;
    std::size_t period;
  };
  std::optional<Repeat> take(const music::Song& song, PassEnd at);

  const PassEnd& at(std::size_t row) const { return at_[row]; }
  std::size_t size() const { return at_.size(); }

 private:
  const std::uint16_t* key(std::size_t row) const { return keys_.data() + row * width_; }
  bool sameFirst(std::size_t a, std::size_t b, std::size_t values) const {
    return std::equal(key(a), key(a) + values, key(b));
  }
  // Order, row and counters: what must match for two starts to follow the same rows for now.
  bool sameCourse(std::size_t a, std::size_t b) const { return sameFirst(a, b, 2 + channels_); }

  struct Hash {
    const RowStarts* rows;
    std::size_t operator()(std::size_t row) const {
      return std::hash<std::string_view>{}(
          {reinterpret_cast<const char*>(rows->key(row)), rows->width_ * sizeof(std::uint16_t)});
    }
  };
  struct Same {
    const RowStarts* rows;
    bool operator()(std::size_t a, std::size_t b) const {
      return rows->sameFirst(a, b, rows->width_);
    }
  };

  std::size_t channels_;
  std::size_t width_;
  std::vector<std::uint16_t> keys_;
  std::vector<PassEnd> at_;
  std::unordered_set<std::size_t, Hash, Same> seen_;
};

std::optional<RowStarts::Repeat> RowStarts::take(const music::Song& song, PassEnd at) {
  const music::Channel* channels = music::engineState().channels;
  // At tick 0 a pattern delay has ended with its row; every value here lies within 0..255.
  keys_.push_back(static_cast<std::uint16_t>(song.nextOrder >= 0 ? song.nextOrder : song.order));
  keys_.push_back(static_cast<std::uint16_t>(song.nextRow >= 0 ? song.nextRow : song.row));
  for (std::size_t c = 0; c < channels_; ++c) {
    keys_.push_back(static_cast<std::uint16_t>(channels[c].patternLoopCount));
  }
  for (std::size_t c = 0; c < channels_; ++c) {
    keys_.push_back(static_cast<std::uint16_t>(channels[c].patternLoopRow));
  }
  at_.push_back(at);
  const std::size_t now = at_.size() - 1;
  const auto [earlier, fresh] = seen_.insert(now);
  if (fresh) return std::nullopt;
  // From `now` on the song plays the rows it played from *earlier, forever. Starts further
  // back repeat each other at the same distance as long as they take the same course: a loop
  // row differing there is set again (both runs meet in full by `now`) before it is read.
  const std::size_t period = now - *earlier;
  std::size_t first = now;
  while (first > period && sameCourse(first - 1, first - 1 - period)) --first;
  return Repeat{first, period};
}

}  // namespace

std::vector<PassEnd> measurePasses(music::Song* song, std::uint32_t passes,
                                   std::uint64_t maxFrames) {
  std::vector<PassEnd> ends;
  if (passes == 0 || !music::preparePlayback(song) || song->tickOperation == nullptr) return ends;
  RowStarts starts(std::min<std::size_t>(song->numChannels, music::kChannelCount));
  std::optional<RowStarts::Repeat> repeat;
  std::size_t rowIndex = 0;  // of the row starting at the current tick 0
  std::size_t nextEnd = 0;   // row index of the next pass end, once the repeat is known
  // The starts that repeat in full may lie one pass beyond the first end.
  const std::uint64_t searchFrames = maxFrames * 2;
  std::uint64_t ticks = 0;
  std::uint64_t frames = 0;
  while (true) {
    if (song->tick == 0) {
      const PassEnd here{ticks, frames};
      if (!repeat) {
        repeat = starts.take(*song, here);
        if (repeat) {
          for (nextEnd = repeat->row; nextEnd < starts.size(); nextEnd += repeat->period) {
            const PassEnd& end = starts.at(nextEnd);
            if (end.frames > maxFrames) return ends;
            ends.push_back(end);
            if (ends.size() == passes) return ends;
          }
        }
      } else if (rowIndex == nextEnd) {
        if (frames > maxFrames) return ends;
        ends.push_back(here);
        if (ends.size() == passes) return ends;
        nextEnd += repeat->period;
      }
      ++rowIndex;
    }
    if (frames >= (repeat ? maxFrames : searchFrames)) return ends;
    song->tickOperation(song);
    ++ticks;
    // As the block renderer counts a tick: at least one frame.
    frames += static_cast<std::uint64_t>(std::max(song->samplesPerTick, 1));
  }
}

}  // namespace quarvel::tools
