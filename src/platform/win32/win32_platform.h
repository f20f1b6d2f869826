// The Windows backend: real window messages, DirectDraw 7, waveOut, the system clock, threads.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/platform.h"

namespace quarvel::platform::win32 {

// Each operation is a thin mapping onto the system call of the same meaning;
// device results are the system's HRESULTs, passed through unchanged (negative
// means failure). Only one Win32Platform may exist at a time: the window
// procedure that the system calls is a plain function, and it reaches the
// live object through a static pointer that the constructor sets and the
// destructor clears. Every call except the thread and sound-position ones
// belongs to the thread that made the object.
class Win32Platform final : public WindowSystem,
                            public DrawSystem,
                            public SoundSystem,
                            public Clock,
                            public Threads {
 public:
  Win32Platform();
  ~Win32Platform() override;

  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Platform platform() { return {*this, *this, *this, *this, *this}; }

  // WindowSystem
  CursorHandle loadArrowCursor() override;
  bool registerClass(const WindowClass& windowClass) override;
  bool unregisterClass(const char* className) override;
  Rect adjustWindowRect(Rect client, std::uint32_t style, std::uint32_t exStyle) override;
  WindowHandle createWindow(const WindowRequest& request) override;
  std::intptr_t defaultWindowProcedure(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) override;
  bool destroyWindow(WindowHandle window) override;
  bool peekMessage(Message& message, bool remove) override;
  void translateMessage(const Message& message) override;
  std::intptr_t dispatchMessage(const Message& message) override;
  void postQuitMessage(int exitCode) override;
  bool escapePressed() override;
  void showCursor(bool show) override;
  // Also writes the text to standard error, so that a console or a log keeps it.
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

  // The system's entry for every window of a registered class: routes the
  // message to the portable procedure of the window's class (its signature is
  // the system's window procedure's, with handles as integers).
  static std::intptr_t route(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);

 private:
  WindowProcedure procedureOf(WindowHandle window);

  // The live object, for route(); null when there is none.
  static Win32Platform* live_;

  std::map<std::string, WindowProcedure> classes_;
  std::map<WindowHandle, WindowProcedure> windows_;
  // Set while CreateWindowExA runs: the messages that creation sends arrive
  // before the new window's handle is known.
  WindowProcedure creating_ = nullptr;
};

}  // namespace quarvel::platform::win32
