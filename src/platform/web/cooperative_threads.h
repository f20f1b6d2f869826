// Threads for a browser page without shared memory: fibers that take turns on the page's one
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/threads.h"

namespace quarvel::platform::web {

// The page's thread runs everything; the thread that constructs this object
// becomes the main thread. Other threads are fibers with stacks of their own.
// A thread gives up the page only by waiting: a started thread waits for a
// deadline (a sleep), and the main thread waits for a deadline or for the
// next animation frame. While the main thread waits, every thread whose
// deadline has come runs in turn (earliest deadline first, ties in the order
// they were started); when none is due, the page goes back to the browser
// until the next deadline or animation frame. The main thread's turn thus
// carries the others, as a vertical blank wait does on a desktop.
class CooperativeThreads {
 public:
  CooperativeThreads();
  ~CooperativeThreads();

  CooperativeThreads(const CooperativeThreads&) = delete;
  CooperativeThreads& operator=(const CooperativeThreads&) = delete;

  // Milliseconds on the demo's clock (the page's, stopped while the demo is
  // paused), fractional. While paused, no thread's turn comes and no
  // animation frame ends a wait.
  static double now();

  // Starts `procedure(context)` on a new fiber that first runs when the main
  // thread next waits. Gives a handle for join(), never 0.
  ThreadHandle start(ThreadProcedure procedure, void* context);
  // Main thread only: waits (letting the others run) until the thread's
  // procedure has returned, then frees its stacks.
  void join(ThreadHandle handle);

  // Any thread: returns at `deadlineMs` or later.
  void sleepUntil(double deadlineMs);
  // Main thread only: returns at the page's next animation frame.
  void waitForAnimationFrame();

  // Milliseconds the main thread has spent waiting so far, other threads' turns included.
  double waitedMs() const { return waitedMs_; }

 private:
  struct Fiber;

  // Until the deadline or, unless `frameAfter` is negative, until the page's
  // count of animation frames has passed it.
  void mainWait(double deadlineMs, double frameAfter);
  static void enter(void* fiber);

  std::unique_ptr<Fiber> main_;
  std::vector<std::unique_ptr<Fiber>> threads_;  // handle = index + 1
  Fiber* running_ = nullptr;                     // null while the main thread runs
  double waitedMs_ = 0.0;
};

}  // namespace quarvel::platform::web
