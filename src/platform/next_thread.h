// Which waiting thread runs next: shared by the schedulers that run one thread at a time.
#pragma once

#include <cstddef>

namespace quarvel::platform {

// Index of the thread to run next among `count` threads: of those for which
// `waiting(i)` holds, the one with the earliest `deadline(i)`, ties going to
// the lowest index (the one started first). -1 when none waits. The caller
// decides whether that deadline has come.
template <class Waiting, class Deadline>
int nextThread(std::size_t count, Waiting waiting, Deadline deadline) {
  int next = -1;
  for (std::size_t i = 0; i < count; ++i) {
    if (!waiting(i)) continue;
    if (next < 0 || deadline(i) < deadline(static_cast<std::size_t>(next))) {
      next = static_cast<int>(i);
    }
  }
  return next;
}

}  // namespace quarvel::platform
