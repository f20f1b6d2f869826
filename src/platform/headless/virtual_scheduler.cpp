// Baton passing between the threads of a headless run, in virtual time.
#include "platform/headless/virtual_scheduler.h"

#include <cstdio>
#include <cstdlib>

#include "platform/next_thread.h"

namespace quarvel::platform::headless {

VirtualScheduler::VirtualScheduler() {
  tasks_.push_back(std::make_unique<Task>());
  threadIds_.push_back(std::this_thread::get_id());
}

VirtualScheduler::~VirtualScheduler() {
  for (auto& task : tasks_) {
    if (task->thread.joinable()) {
      // A thread still running here would wait forever for the baton.
      std::fputs("headless: a thread outlived its scheduler\n", stderr);
      std::abort();
    }
  }
}

std::uint64_t VirtualScheduler::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualScheduler::setTimeListener(std::function<void(std::uint64_t)> listener) {
  std::lock_guard lock(mutex_);
  timeListener_ = std::move(listener);
}

int VirtualScheduler::currentTaskLocked() const {
  const auto id = std::this_thread::get_id();
  for (std::size_t i = 0; i < threadIds_.size(); ++i) {
    if (threadIds_[i] == id && !tasks_[i]->finished) return static_cast<int>(i);
  }
  std::fputs("headless: a thread outside the scheduler asked to wait\n", stderr);
  std::abort();
}

// Picks the next thread to run, moves time to its deadline and, unless that is
// the caller itself, waits until the baton comes back.
void VirtualScheduler::handOverLocked(std::unique_lock<std::mutex>& lock, int self) {
  const int next = nextThread(
      tasks_.size(), [&](std::size_t i) { return tasks_[i]->waiting && !tasks_[i]->finished; },
      [&](std::size_t i) { return tasks_[i]->deadline; });
  if (next < 0) return;  // the last thread has ended
  Task& chosen = *tasks_[static_cast<std::size_t>(next)];
  if (chosen.deadline > now_) {
    now_ = chosen.deadline;
    if (timeListener_) timeListener_(now_);
  }
  chosen.waiting = false;
  holder_ = next;
  changed_.notify_all();
  if (self >= 0) changed_.wait(lock, [&] { return holder_ == self; });
}

void VirtualScheduler::waitUntil(std::uint64_t deadline) {
  std::unique_lock lock(mutex_);
  const int self = currentTaskLocked();
  Task& task = *tasks_[static_cast<std::size_t>(self)];
  task.deadline = deadline < now_ ? now_ : deadline;
  task.waiting = true;
  handOverLocked(lock, self);
}

std::uintptr_t VirtualScheduler::start(std::function<void()> body) {
  std::unique_lock lock(mutex_);
  const int self = static_cast<int>(tasks_.size());
  auto task = std::make_unique<Task>();
  task->deadline = now_;
  task->waiting = true;
  Task& ref = *task;
  tasks_.push_back(std::move(task));
  threadIds_.emplace_back();
  ref.thread = std::thread([this, self, body = std::move(body)] {
    {
      std::unique_lock inner(mutex_);
      changed_.wait(inner, [&] { return holder_ == self; });
    }
    body();
    finish(self);
  });
  threadIds_[static_cast<std::size_t>(self)] = ref.thread.get_id();
  return static_cast<std::uintptr_t>(self);
}

void VirtualScheduler::finish(int self) {
  std::unique_lock lock(mutex_);
  tasks_[static_cast<std::size_t>(self)]->finished = true;
  handOverLocked(lock, -1);
}

void VirtualScheduler::join(std::uintptr_t handle) {
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    if (handle == 0 || handle >= tasks_.size()) return;
    thread = std::move(tasks_[handle]->thread);
  }
  if (thread.joinable()) thread.join();
}

}  // namespace quarvel::platform::headless
