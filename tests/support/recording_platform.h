// A scriptable fake platform for tests: records every call, fails any step on request.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace quarvel::testing {

// Every call is appended to `calls` as a short text ("setDisplayMode 320x240x32").
// A step named in `failing` fails: the call names are those texts' first words,
// plus "setDisplayMode32", "setDisplayMode16", "createPrimary", "createBack" and
// "lost" (the primary surface reports itself lost).
class RecordingPlatform final : public platform::WindowSystem,
                                public platform::DrawSystem,
                                public platform::SoundSystem,
                                public platform::Clock,
                                public platform::Threads {
 public:
  RecordingPlatform();
  ~RecordingPlatform() override;

  platform::Platform platform() { return {*this, *this, *this, *this, *this}; }

  bool fails(const std::string& step) const { return failing.count(step) != 0; }
  // Calls whose text starts with `prefix`, in order.
  std::vector<std::string> callsStartingWith(const std::string& prefix) const;
  // Index of the first call starting with `prefix`, or -1.
  int indexOf(const std::string& prefix) const;

  std::vector<std::string> calls;
  std::set<std::string> failing;

  // What the surfaces report and how they are laid out in memory.
  platform::PixelFormat format{platform::kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF};
  std::int32_t pitchPadding = 0;  // extra bytes at the end of each surface row

  // The clock advances by `frameMs` at every flip or blit, starting at `clockMs`.
  std::uint32_t clockMs = 0;
  std::uint32_t frameMs = 16;
  // Called at every flip or blit with the number of pictures shown before it.
  std::function<void(RecordingPlatform&, std::uint64_t)> onPresent;
  std::uint64_t presents = 0;

  std::deque<platform::Message> queue;  // pending window messages
  bool escape = false;                  // reported (once) by the next Escape query
  bool cursorShown = true;
  std::vector<std::string> messageBoxes;

  // A surface's memory with guard bytes around it, for checking that nothing
  // is written outside the locked area.
  struct SurfaceMemory {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 32;
    std::int32_t pitch = 0;
    std::vector<std::uint8_t> bytes;  // guard, height * pitch, guard
    static constexpr std::size_t kGuard = 64;
    std::uint8_t* rows() { return bytes.data() + kGuard; }
    bool guardsIntact() const;
    std::uint32_t pixel32(std::uint32_t x, std::uint32_t y) const;
    std::uint16_t pixel16(std::uint32_t x, std::uint32_t y) const;
  };
  // The memory of the most recently created back surface (full screen or windowed).
  SurfaceMemory* backMemory = nullptr;

  // WindowSystem
  platform::CursorHandle loadArrowCursor() override;
  bool registerClass(const platform::WindowClass& windowClass) override;
  bool unregisterClass(const char* className) override;
  platform::Rect adjustWindowRect(platform::Rect client, std::uint32_t style,
                                  std::uint32_t exStyle) override;
  platform::WindowHandle createWindow(const platform::WindowRequest& request) override;
  std::intptr_t defaultWindowProcedure(platform::WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) override;
  bool destroyWindow(platform::WindowHandle window) override;
  bool peekMessage(platform::Message& message, bool remove) override;
  void translateMessage(const platform::Message& message) override;
  std::intptr_t dispatchMessage(const platform::Message& message) override;
  void postQuitMessage(int exitCode) override;
  bool escapePressed() override;
  void showCursor(bool show) override;
  void messageBox(const char* text) override;
  platform::Rect clientRect(platform::WindowHandle window) override;
  platform::Point clientToScreen(platform::WindowHandle window, platform::Point point) override;

  // DrawSystem
  platform::Result createDevice(platform::DeviceInterface*& out) override;

  // SoundSystem: a device that records its calls and stays at position 0, so a
  // worker never renders; none at all when "openSoundDevice" fails.
  platform::SoundDevice* openDevice(const platform::WaveFormat& format) override;

  // Clock
  std::uint32_t milliseconds() override;

  // Threads: real threads and real sleeps; sleeps are not recorded (a worker
  // polls all the time).
  platform::ThreadHandle startTimeCritical(platform::ThreadProcedure procedure,
                                           void* context) override;
  void forget(platform::ThreadHandle thread) override;
  void sleep(std::uint32_t ms) override;

  // For the fake device objects; safe from any thread.
  void record(std::string call) {
    std::lock_guard lock(recordMutex_);
    calls.push_back(std::move(call));
  }
  SurfaceMemory& newSurfaceMemory(std::uint32_t width, std::uint32_t height);
  void presented();

 private:
  std::map<std::string, platform::WindowClass> classes_;
  std::map<platform::WindowHandle, platform::WindowProcedure> windows_;
  std::map<platform::WindowHandle, platform::Rect> clientRects_;
  platform::WindowHandle nextWindow_ = 100;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  std::vector<std::unique_ptr<SurfaceMemory>> memories_;
  std::mutex recordMutex_;
  std::map<platform::ThreadHandle, std::thread> threads_;
  platform::ThreadHandle nextThread_ = 1;
};

}  // namespace quarvel::testing
