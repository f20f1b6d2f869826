// The desktop backend over SDL2: a full-screen or plain window, vsync flips, audio.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <thread>

#include "platform/memory_display.h"
#include "platform/platform.h"
#include "platform/queued_window_system.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace quarvel::platform::sdl {

// The exclusive screen mode becomes a full-screen window of the desktop's size;
// each flip shows the mode-sized picture as large as its shape fits the
// window, with nearest-neighbour scaling and vertical sync. A windowed display
// gets a plain window whose client area takes the blits. Without a display,
// device creation fails (and the display's fatal path runs); without a sound
// card, the demo is silent.
class SdlPlatform final : public QueuedWindowSystem,
                          public DrawSystem,
                          public SoundSystem,
                          public Clock,
                          public Threads,
                          private MemoryScreen {
 public:
  SdlPlatform();
  ~SdlPlatform() override;

  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  Platform platform() { return {*this, *this, *this, *this, *this}; }

  // WindowSystem
  WindowHandle createWindow(const WindowRequest& request) override;
  bool destroyWindow(WindowHandle window) override;
  bool escapePressed() override;
  void showCursor(bool show) override;
  void messageBox(const char* text) override;
  Rect clientRect(WindowHandle window) override;
  Point clientToScreen(WindowHandle window, Point point) override;

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

 private:
  // What a window's primary surface shows through: a renderer, and the
  // texture that takes each picture.
  struct Screen {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::uint32_t textureWidth = 0;
    std::uint32_t textureHeight = 0;
  };

  // MemoryScreen
  PixelSize windowSize(WindowHandle window) override;
  bool enterMode(WindowHandle window, bool exclusive, std::uint32_t width,
                 std::uint32_t height) override;
  bool attach(WindowHandle window) override;
  void detach(WindowHandle window) override;
  Result show(WindowHandle window, const Picture& picture, const Rect* destination) override;

  SDL_Window* nativeWindow(WindowHandle window) const;
  // SDL's quit and close events become close messages, its key presses key-down messages.
  void pumpEvents() override;

  bool videoReady_ = false;
  std::map<WindowHandle, SDL_Window*> natives_;  // kept until the platform ends
  std::map<WindowHandle, Screen> screens_;
  bool escapeLatched_ = false;
  std::map<ThreadHandle, std::thread> threads_;
  ThreadHandle nextThread_ = 1;
};

}  // namespace quarvel::platform::sdl
