// Virtual time for the headless backend: one thread runs at a time and time jumps to the next deadline.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quarvel::platform::headless {

// Threads that run under the scheduler hand a baton to each other: only the
// holder runs. A thread gives the baton up only by waiting for a deadline (or
// by ending); the scheduler then wakes the waiting thread with the earliest
// deadline, ties going to the thread that was registered first, and moves the
// clock forward to that deadline. Nothing else advances time, so a run is the
// same every time, however the host schedules the real threads.
class VirtualScheduler {
 public:
  // Time is counted in ticks; the constructing thread holds the baton.
  VirtualScheduler();
  ~VirtualScheduler();

  VirtualScheduler(const VirtualScheduler&) = delete;
  VirtualScheduler& operator=(const VirtualScheduler&) = delete;

  std::uint64_t now() const;

  // Called with the new time, before any thread runs at it.
  void setTimeListener(std::function<void(std::uint64_t)> listener);

  // Blocks the calling thread (the baton holder) until `deadline`; returns at
  // once, with time moved on, when no other thread is due earlier.
  void waitUntil(std::uint64_t deadline);

  // Starts `body` on a new thread that first runs when the caller next waits.
  // Gives a handle for join().
  std::uintptr_t start(std::function<void()> body);

  // Waits (in real time, without giving up the baton) for a thread whose body
  // has already returned or is returning, and forgets it.
  void join(std::uintptr_t handle);

 private:
  struct Task {
    std::uint64_t deadline = 0;
    bool waiting = false;
    bool finished = false;
    std::thread thread;
  };

  int currentTaskLocked() const;
  void handOverLocked(std::unique_lock<std::mutex>& lock, int self);
  void finish(int self);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t now_ = 0;
  int holder_ = 0;  // index into tasks_ of the thread that runs
  std::vector<std::unique_ptr<Task>> tasks_;
  std::vector<std::thread::id> threadIds_;
  std::function<void(std::uint64_t)> timeListener_;
};

}  // namespace quarvel::platform::headless
