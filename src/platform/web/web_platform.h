// The browser backend: a canvas for the screen, WebAudio for the sound, fibers for threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_display.h"
#include "platform/platform.h"
#include "platform/queued_window_system.h"
#include "platform/web/cooperative_threads.h"

namespace quarvel::platform::web {

class WebSoundDevice;

// The exclusive 320 x 240 mode is the page's canvas at that size, scaled up
// by the page with square pixels; a flip draws the picture into the canvas
// and waits for the next animation frame, which paces the demo at the
// display's refresh rate. The clock is the demo's clock: the page's clock,
// stopped while the page is hidden or the browser holds the sound back, so
// picture and music pause and resume together. Escape ends the demo, and so
// does leaving the page. The sound device plays the looping buffer on the
// audio thread of an AudioContext; a page without WebAudio is silent. Must be
// constructed on the page's thread, and it is the only one (its threads adopt
// that thread as their main thread); one at a time.
class WebPlatform final : public QueuedWindowSystem,
                          public DrawSystem,
                          public SoundSystem,
                          public Clock,
                          public Threads,
                          private MemoryScreen {
 public:
  WebPlatform();
  ~WebPlatform() override;

  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  Platform platform() { return {*this, *this, *this, *this, *this}; }

  // For the page's statistics: the demo's clock in fractional milliseconds; the
  // time the frame loop has spent waiting (other threads' turns included); the
  // time spent handing pictures to the canvas (converting them, and the
  // browser taking them).
  double nowMs() const { return CooperativeThreads::now(); }
  double waitedMs() const { return threads_.waitedMs(); }
  double handedOverMs() const { return handedOverMs_; }
  // Bytes the sound device has played since it started (0 without sound), and
  // how many frames of those it had to play before the music for them arrived.
  std::uint64_t soundBytesPlayed() const;
  std::uint64_t soundLateFrames() const;
  // Shows a status text on the page (its statistics line, when it has one).
  void showStatus(const std::string& text);
  // Tells the page which scene (1 to 4) the picture just shown belongs to.
  void frameDrawn(int scene);
  // Tells the page that the demo is over.
  void demoEnded();

  // WindowSystem
  bool escapePressed() override;
  void showCursor(bool show) override;
  void messageBox(const char* text) override;

  // DrawSystem
  Result createDevice(DeviceInterface*& out) override;

  // SoundSystem
  SoundDevice* openDevice(const WaveFormat& format) override;

  // Clock
  std::uint32_t milliseconds() override;

  // Threads
  ThreadHandle startTimeCritical(ThreadProcedure procedure, void* context) override;
  void forget(ThreadHandle thread) override;
  void sleep(std::uint32_t ms) override;

  // For the backend's own sound device.
  void soundDeviceClosed() { sound_ = nullptr; }

 private:
  // MemoryScreen
  PixelSize windowSize(WindowHandle window) override;
  bool enterMode(WindowHandle window, bool exclusive, std::uint32_t width,
                 std::uint32_t height) override;
  Result show(WindowHandle window, const Picture& picture, const Rect* destination) override;

  // Escape and leaving the page become key-down and close messages.
  void pumpEvents() override;

  CooperativeThreads threads_;
  bool escapeLatched_ = false;
  WebSoundDevice* sound_ = nullptr;
  std::vector<std::uint32_t> rgba_;  // the picture in the canvas's byte order
  double handedOverMs_ = 0.0;
};

// After the demo has ended: waits until the viewer asks to watch it again
// (true), with the page's button; it may wait for good.
bool waitToWatchAgain();

}  // namespace quarvel::platform::web
