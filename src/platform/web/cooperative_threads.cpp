// Fibers under Asyncify: switching stacks, and handing the page back to the browser between turns.
#include "platform/web/cooperative_threads.h"

#include <emscripten/emscripten.h>
#include <emscripten/fiber.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/next_thread.h"

// From web_platform.js. The demo's clock; the count of animation frames so far (asking for the
// next one); and the idle wait: the page goes back to the browser until
// `timeoutMs` have passed (none when negative) or, unless `frameAfter` is
// negative, the count has passed `frameAfter`; 1 when that frame came first.
extern "C" {
double quarvel_web_clock_ms();
double quarvel_web_frame_count();
int quarvel_web_idle(double timeoutMs, double frameAfter);
}

namespace quarvel::platform::web {
namespace {

// The audio worker mixes with a few kilobytes of locals; the saved call chain
// of a switch is far smaller than its stack.
constexpr std::size_t kThreadStackBytes = 256 * 1024;
constexpr std::size_t kAsyncifyBytes = 64 * 1024;
// The compiler assumes a 16-byte-aligned stack pointer and may form a local's address by
// setting low bits instead of adding them; malloc only aligns to 8.
constexpr std::uintptr_t kStackAlignment = 16;

}  // namespace

struct CooperativeThreads::Fiber {
  emscripten_fiber_t context{};
  std::vector<unsigned char> stack;
  std::vector<unsigned char> asyncifyStack = std::vector<unsigned char>(kAsyncifyBytes);
  CooperativeThreads* owner = nullptr;
  ThreadProcedure procedure = nullptr;
  void* procedureContext = nullptr;
  double deadline = 0.0;
  bool finished = false;
};

CooperativeThreads::CooperativeThreads() : main_(std::make_unique<Fiber>()) {
  emscripten_fiber_init_from_current_context(&main_->context, main_->asyncifyStack.data(),
                                             main_->asyncifyStack.size());
}

CooperativeThreads::~CooperativeThreads() {
  for (const auto& fiber : threads_) {
    if (fiber && !fiber->finished) {
      // Its stack would go while it still waits to run on it.
      std::fputs("web: a thread outlived its scheduler\n", stderr);
      std::abort();
    }
  }
}

double CooperativeThreads::now() {
  return quarvel_web_clock_ms();
}

ThreadHandle CooperativeThreads::start(ThreadProcedure procedure, void* context) {
  auto fiber = std::make_unique<Fiber>();
  fiber->owner = this;
  fiber->procedure = procedure;
  fiber->procedureContext = context;
  fiber->deadline = now();
  fiber->stack.resize(kThreadStackBytes + kStackAlignment);
  const auto base = reinterpret_cast<std::uintptr_t>(fiber->stack.data());
  const std::uintptr_t skip = (kStackAlignment - base % kStackAlignment) % kStackAlignment;
  emscripten_fiber_init(&fiber->context, &CooperativeThreads::enter, fiber.get(),
                        fiber->stack.data() + skip, kThreadStackBytes,
                        fiber->asyncifyStack.data(), fiber->asyncifyStack.size());
  threads_.push_back(std::move(fiber));
  return static_cast<ThreadHandle>(threads_.size());
}

// A fiber's procedure must never return into the browser: the fiber ends by
// switching back to the main thread for good.
void CooperativeThreads::enter(void* opaque) {
  auto* fiber = static_cast<Fiber*>(opaque);
  fiber->procedure(fiber->procedureContext);
  fiber->finished = true;
  emscripten_fiber_swap(&fiber->context, &fiber->owner->main_->context);
  std::abort();  // a finished fiber is never resumed
}

void CooperativeThreads::join(ThreadHandle handle) {
  if (handle == 0 || handle > threads_.size() || !threads_[handle - 1]) return;
  while (!threads_[handle - 1]->finished) sleepUntil(now() + 1.0);
  threads_[handle - 1].reset();
}

void CooperativeThreads::sleepUntil(double deadlineMs) {
  if (running_ == nullptr) {
    mainWait(deadlineMs, -1.0);
    return;
  }
  running_->deadline = deadlineMs;
  emscripten_fiber_swap(&running_->context, &main_->context);
}

void CooperativeThreads::waitForAnimationFrame() {
  if (running_ != nullptr) {
    sleepUntil(now() + 1.0);  // only the main thread presents frames
    return;
  }
  mainWait(0.0, quarvel_web_frame_count());
}

void CooperativeThreads::mainWait(double deadlineMs, double frameAfter) {
  const bool untilFrame = frameAfter >= 0.0;
  const double began = now();
  for (;;) {
    const double t = now();
    if (!untilFrame && t >= deadlineMs) break;
    const int next = nextThread(
        threads_.size(), [&](std::size_t i) { return threads_[i] && !threads_[i]->finished; },
        [&](std::size_t i) { return threads_[i]->deadline; });
    Fiber* const earliest = next >= 0 ? threads_[static_cast<std::size_t>(next)].get() : nullptr;
    double nextDeadline = untilFrame ? std::numeric_limits<double>::infinity() : deadlineMs;
    if (earliest != nullptr && earliest->deadline < nextDeadline) nextDeadline = earliest->deadline;
    if (earliest != nullptr && earliest->deadline <= t) {
      running_ = earliest;
      emscripten_fiber_swap(&main_->context, &earliest->context);
      running_ = nullptr;
      continue;
    }
    const double timeout =
        nextDeadline == std::numeric_limits<double>::infinity() ? -1.0 : nextDeadline - t;
    if (quarvel_web_idle(timeout, frameAfter) != 0) break;
  }
  waitedMs_ += now() - began;
}

}  // namespace quarvel::platform::web
