// The headless backend: virtual time, in-memory surfaces and a sound device that records what it plays.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/virtual_scheduler.h"
#include "platform/memory_display.h"
#include "platform/platform.h"
#include "platform/queued_window_system.h"

namespace quarvel::platform::headless {

struct HeadlessOptions {
  // Vertical blanks per second: a flip waits for the next one, so frame k
  // starts when the clock reads floor(k * 1000 / fps) ms.
  std::uint32_t fps = 60;
};

// A real backend that needs no screen and no sound card. Drawing takes no
// virtual time; flips wait for the next vertical blank; sleeps wait in virtual
// time; the sound device plays 44100 frames per virtual second. The same run
// therefore gives the same frames and the same sound, every time.
class HeadlessPlatform final : public QueuedWindowSystem,
                               public DrawSystem,
                               public SoundSystem,
                               public Clock,
                               public Threads,
                               private MemoryScreen {
 public:
  explicit HeadlessPlatform(HeadlessOptions options = {});
  ~HeadlessPlatform() override;

  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  Platform platform();

  // Receives every picture that reaches the screen, as 0x00RRGGBB rows, before
  // the flip's wait. `index` counts pictures from 0.
  using FrameSink = std::function<void(std::uint64_t index, const std::uint32_t* pixels,
                                       std::uint32_t width, std::uint32_t height)>;
  void setFrameSink(FrameSink sink);

  // The user presses Escape: the next query reports it.
  void pressEscape();
  // The user closes the window: its close message is queued.
  void closeWindow();

  // Interleaved 16-bit stereo: everything the sound device has played so far.
  const std::vector<std::int16_t>& recordedSound() const { return recording_; }
  std::uint64_t framesPresented() const { return framesPresented_; }
  std::uint32_t fps() const { return options_.fps; }
  bool cursorVisible() const { return cursorVisible_; }
  const std::string& lastMessageBox() const { return lastMessageBox_; }

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

  // Used by the backend's own sound device.
  struct Playback {
    const std::int16_t* ring = nullptr;
    std::uint64_t ringFrames = 0;
    std::uint64_t startTick = 0;
    std::uint64_t framesPlayed = 0;
    bool playing = false;
  };
  Playback& playback() { return playback_; }
  std::uint64_t ticksNow() const { return scheduler_.now(); }
  void soundDeviceClosed() { soundOpen_ = false; }

 private:
  // MemoryScreen
  PixelSize windowSize(WindowHandle window) override;
  bool enterMode(WindowHandle window, bool exclusive, std::uint32_t width,
                 std::uint32_t height) override;
  Result show(WindowHandle window, const Picture& picture, const Rect* destination) override;

  void advanceSound(std::uint64_t tick);

  HeadlessOptions options_;
  VirtualScheduler scheduler_;
  bool escape_ = false;
  bool cursorVisible_ = true;
  std::string lastMessageBox_;
  FrameSink frameSink_;
  std::uint64_t framesPresented_ = 0;
  Playback playback_;
  bool soundOpen_ = false;
  std::vector<std::int16_t> recording_;
};

}  // namespace quarvel::platform::headless
