// Threads and sleeping: the audio worker runs on one of these.
#pragma once

#include <cstdint>

namespace quarvel::platform {

using ThreadHandle = std::uintptr_t;  // 0 means no thread
using ThreadProcedure = void (*)(void* context);

class Threads {
 public:
  virtual ~Threads() = default;
  // Starts `procedure(context)` on a new thread at time-critical priority
  // (where the system allows it); gives 0 when no thread could be started.
  virtual ThreadHandle startTimeCritical(ThreadProcedure procedure, void* context) = 0;
  // Lets go of a thread whose procedure has finished or is finishing; returns
  // once the thread is completely gone.
  virtual void forget(ThreadHandle thread) = 0;
  // Suspends the calling thread for at least `ms` milliseconds.
  virtual void sleep(std::uint32_t ms) = 0;
};

}  // namespace quarvel::platform
