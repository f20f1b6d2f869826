// A scriptable fake platform for tests: records every call, fails any step on request.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace quarvel::testing {

// Every call is appended to `calls` as a short text ("setDisplayMode 320x240x32").
// A step named in `failing` fails: the names are those texts' first words, plus
// "setDisplayMode32", "setDisplayMode16", "createPrimary" and "lost" (the primary
// reports itself lost).
class RecordingPlatform final : public platform::WindowSystem,
                                public platform::DrawSystem,
                                public platform::SoundSystem,
                                public platform::Clock,
                                public platform::Threads {
 public:
  ~RecordingPlatform() override {
    for (auto& [handle, thread] : threads_) thread.join();
  }
  platform::Platform platform() { return {*this, *this, *this, *this, *this}; }
  bool fails(const std::string& step) const { return failing.count(step) != 0; }
  // Records the parts as one text; safe from any thread (the music worker records too).
  template <typename... Parts>
  void record(const Parts&... parts) {
    std::ostringstream text;
    (text << ... << parts);
    std::lock_guard lock(recordMutex_);
    calls.push_back(text.str());
  }
  // Records, then fails if `name` is in `failing`.
  template <typename... Parts>
  platform::Result step(const std::string& name, const Parts&... parts) {
    record(name, parts...);
    return fails(name) ? platform::kFailed : platform::kOk;
  }
  // How many calls start with `prefix`; the index of the first, or -1.
  long count(const std::string& prefix) const {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
  }
  int indexOf(const std::string& prefix) const {
    const auto found = std::find_if(calls.begin(), calls.end(),
                                    [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return found == calls.end() ? -1 : static_cast<int>(found - calls.begin());
  }
  // The calls from the first that starts with `prefix` to the end, each followed by "; ".
  std::string callsFrom(const std::string& prefix) const {
    std::string out;
    for (auto i = calls.begin() + std::max(indexOf(prefix), 0); i != calls.end(); ++i) {
      out += *i + "; ";
    }
    return out;
  }

  std::vector<std::string> calls;
  std::set<std::string> failing;
  // What the primary surface reports, and extra bytes at the end of each back surface row.
  platform::PixelFormat format{platform::kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF};
  std::int32_t pitchPadding = 0;
  // The clock advances by `frameMs` at every flip or blit; `onPresent` is called
  // first with the number of pictures shown before.
  std::uint32_t clockMs = 0, frameMs = 16;
  std::uint64_t presents = 0;
  std::function<void(RecordingPlatform&, std::uint64_t)> onPresent;
  std::deque<platform::Message> queue;  // pending window messages, the quit message too
  bool escape = false;                  // reported (once) by the next Escape query

  // A back surface's memory, with 64 guard bytes of 0xAB before and after the
  // rows (and in each row's padding), to show that nothing is written outside.
  struct SurfaceMemory {
    static constexpr std::size_t kGuard = 64;
    std::uint32_t width, height, bitsPerPixel;
    std::int32_t pitch;
    std::vector<std::uint8_t> bytes;
    bool guardsIntact() const {
      const auto guard = [](std::uint8_t b) { return b == 0xAB; };
      return std::all_of(bytes.begin(), bytes.begin() + kGuard, guard) &&
             std::all_of(bytes.end() - kGuard, bytes.end(), guard);
    }
    std::uint32_t pixel(std::uint32_t x, std::uint32_t y) const {  // 16 or 32 bits
      std::uint32_t v = 0;
      std::memcpy(&v, &bytes[kGuard + y * std::size_t(pitch) + bitsPerPixel / 8 * x],
                  bitsPerPixel / 8);
      return v;
    }
  };
  SurfaceMemory* backMemory = nullptr;  // of the most recent back surface, while it lives
  // Records a flip or blit and moves the clock on.
  template <typename... Parts>
  platform::Result presented(const Parts&... parts) {
    record(parts...);
    if (onPresent) onPresent(*this, presents);
    ++presents;
    clockMs += frameMs;
    return platform::kOk;
  }

  // Windows: a captioned window's outer size is the client size plus 3 pixels a
  // side and a 20-pixel caption; the client area sits at (1000, 500) on the screen.
  platform::CursorHandle loadArrowCursor() override {
    return step("loadArrowCursor") == platform::kOk;
  }
  bool registerClass(const platform::WindowClass& c) override {
    return step("registerClass", " ", c.className, " style=", c.style) == platform::kOk &&
           classes_.emplace(c.className, c.procedure).second;
  }
  bool unregisterClass(const char* name) override {
    return step("unregisterClass", " ", name) == platform::kOk && classes_.erase(name) == 1;
  }
  platform::Rect adjustWindowRect(platform::Rect client, std::uint32_t style,
                                  std::uint32_t exStyle) override {
    record("adjustWindowRect ", client.right, "x", client.bottom, " style=", style,
           " ex=", exStyle);
    if ((style & 0x00C00000u) != 0x00C00000u) return client;  // no caption, no border
    return {client.left - 3, client.top - 23, client.right + 3, client.bottom + 3};
  }
  platform::WindowHandle createWindow(const platform::WindowRequest& r) override {
    record("createWindow ", r.className, " \"", r.title, "\" style=", r.style, " ex=", r.exStyle,
           " size=", r.width, "x", r.height);
    const auto found = classes_.find(r.className);
    if (found == classes_.end()) return 0;  // registered with another fake
    windows_[nextWindow_] = {found->second, {0, 0, r.width, r.height}};
    return nextWindow_++;
  }
  std::intptr_t defaultWindowProcedure(platform::WindowHandle, std::uint32_t message,
                                       std::uintptr_t, std::intptr_t) override {
    record("defaultWindowProcedure ", message);
    return 7;
  }
  bool destroyWindow(platform::WindowHandle window) override {
    record("destroyWindow ", window);
    const auto found = windows_.find(window);
    if (found == windows_.end()) return false;
    const platform::WindowProcedure procedure = found->second.first;
    windows_.erase(found);
    procedure(*this, window, platform::kMessageDestroy, 0, 0);
    return true;
  }
  bool peekMessage(platform::Message& message, bool remove) override {
    record(remove ? "peekMessage remove" : "peekMessage keep");
    if (queue.empty()) return false;
    message = queue.front();
    if (remove) queue.pop_front();
    return true;
  }
  void translateMessage(const platform::Message& m) override {
    record("translateMessage ", m.message);
  }
  std::intptr_t dispatchMessage(const platform::Message& m) override {
    record("dispatchMessage ", m.message);
    const auto found = windows_.find(m.window);
    if (found == windows_.end()) return 0;
    return found->second.first(*this, m.window, m.message, m.wParam, m.lParam);
  }
  void postQuitMessage(int exitCode) override {
    record("postQuitMessage ", exitCode);
    queue.push_back({0, platform::kMessageQuit, static_cast<std::uintptr_t>(exitCode), 0});
  }
  bool escapePressed() override { return std::exchange(escape, false); }
  void showCursor(bool show) override { record("showCursor ", show ? 1 : 0); }
  void messageBox(const char* text) override {  // printed too, for death tests
    record("messageBox ", text);
    std::fprintf(stderr, "messageBox: %s\n", text);
  }
  platform::Rect clientRect(platform::WindowHandle window) override {
    return windows_.count(window) != 0 ? windows_[window].second : platform::Rect{};
  }
  platform::Point clientToScreen(platform::WindowHandle, platform::Point p) override {
    record("clientToScreen ", p.x, ",", p.y);
    return {p.x + 1000, p.y + 500};
  }
  platform::Result createDevice(platform::DeviceInterface*& out) override;
  // Sound: a device that records its calls and stays at position 0, so a worker never renders.
  platform::SoundDevice* openDevice(const platform::WaveFormat&) override;
  std::uint32_t milliseconds() override { return clockMs; }
  // Real threads and real sleeps; sleeps are not recorded.
  platform::ThreadHandle startTimeCritical(platform::ThreadProcedure procedure,
                                           void* context) override {
    record("startThread");
    threads_[nextThread_] = std::thread(procedure, context);
    return nextThread_++;
  }
  void forget(platform::ThreadHandle thread) override {
    record("forgetThread");
    threads_.at(thread).join();
    threads_.erase(thread);
  }
  void sleep(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

 private:
  std::map<std::string, platform::WindowProcedure> classes_;
  std::map<platform::WindowHandle, std::pair<platform::WindowProcedure, platform::Rect>> windows_;
  platform::WindowHandle nextWindow_ = 100;
  std::mutex recordMutex_;
  std::map<platform::ThreadHandle, std::thread> threads_;
  platform::ThreadHandle nextThread_ = 1;
};

}  // namespace quarvel::testing
