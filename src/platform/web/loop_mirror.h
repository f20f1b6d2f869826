// Which parts of a looping sound buffer to copy to a player that plays its own copy of the loop.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace quarvel::platform::web {

// `count` frames from frame `offset` of the loop, which the copy plays from
// absolute frame `playsAt` on (frames counted from the start of the first lap).
struct LoopPart {
  std::uint64_t offset = 0;
  std::uint64_t count = 0;
  std::uint64_t playsAt = 0;
  friend bool operator==(const LoopPart&, const LoopPart&) = default;
};

struct LoopParts {
  std::array<LoopPart, 2> part{};  // a stretch that wraps past the loop's end is two parts
  int count = 0;
};

// Follows the play position of a loop that a filler keeps rewriting: each
// time it reads the position, the filler rewrites every block that the
// position has left, in blocks of at most `block` frames. So by the next
// query everything from a block behind the last position read holds the
// next lap, and that is copied then. The copy starts out holding the whole
// first lap, and stays nearly a lap ahead of the position: the page may stall
// for almost a lap before the copy plays music that has not arrived.
class LoopMirror {
 public:
  // `loopFrames` > 0; parts are copied in stretches of at least `block` frames.
  LoopMirror(std::uint64_t loopFrames, std::uint64_t block)
      : loopFrames_(loopFrames), block_(block) {}

  // The parts to copy now that `played` frames (never fewer than at the last
  // call) have been played. After a stall of more than a lap only the last
  // lap is copied.
  LoopParts advance(std::uint64_t played) {
    LoopParts parts;
    const std::uint64_t due = previous_ > block_ ? previous_ - block_ : 0;
    previous_ = played;
    if (due < mirrored_ + block_) return parts;
    mirrored_ = std::max(mirrored_, due - std::min(due, loopFrames_));
    while (mirrored_ < due) {
      const std::uint64_t offset = mirrored_ % loopFrames_;
      const std::uint64_t count = std::min(due - mirrored_, loopFrames_ - offset);
      parts.part[static_cast<std::size_t>(parts.count++)] = {offset, count,
                                                             mirrored_ + loopFrames_};
      mirrored_ += count;
    }
    return parts;
  }

 private:
  std::uint64_t loopFrames_;
  std::uint64_t block_;
  std::uint64_t previous_ = 0;  // the position at the last call
  std::uint64_t mirrored_ = 0;  // frames played so far whose next lap the copy holds
};

}  // namespace quarvel::platform::web
