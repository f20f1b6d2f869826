// The window system: window classes, windows, the message queue, the Escape key, the cursor.
#pragma once

#include <cstdint>

namespace quarvel::platform {

using WindowHandle = std::uintptr_t;  // 0 means no window
using CursorHandle = std::uintptr_t;

// Window messages known to the portable code, by their numbers on the desktop.
inline constexpr std::uint32_t kMessageDestroy = 0x0002;
inline constexpr std::uint32_t kMessageClose = 0x0010;
inline constexpr std::uint32_t kMessageQuit = 0x0012;
inline constexpr std::uint32_t kMessageKeyDown = 0x0100;

struct Message {
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

class WindowSystem;

// The procedure that a window class routes its messages to. It receives the
// window system that dispatched the message, so that it can answer through it.
using WindowProcedure = std::intptr_t (*)(WindowSystem& windows, WindowHandle window,
                                          std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);

struct WindowClass {
  std::uint32_t style = 0;
  WindowProcedure procedure = nullptr;
  CursorHandle cursor = 0;
  const char* className = nullptr;
};

struct WindowRequest {
  std::uint32_t exStyle = 0;
  const char* className = nullptr;
  const char* title = nullptr;
  std::uint32_t style = 0;
  std::int32_t width = 0;   // outer size, borders included
  std::int32_t height = 0;  // (the position is always the system's default)
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  virtual CursorHandle loadArrowCursor() = 0;
  // Both give false on failure.
  virtual bool registerClass(const WindowClass& windowClass) = 0;
  virtual bool unregisterClass(const char* className) = 0;
  // Grows a client rectangle to the outer size of a window of that style.
  virtual Rect adjustWindowRect(Rect client, std::uint32_t style, std::uint32_t exStyle) = 0;
  // Gives 0 when no window could be made.
  virtual WindowHandle createWindow(const WindowRequest& request) = 0;
  virtual std::intptr_t defaultWindowProcedure(WindowHandle window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Destroying a window delivers its destroy message to its procedure at once.
  virtual bool destroyWindow(WindowHandle window) = 0;

  // Takes the next pending message for any window of this thread; false when
  // none is pending. Without `remove` the message stays in the queue.
  virtual bool peekMessage(Message& message, bool remove) = 0;
  virtual void translateMessage(const Message& message) = 0;
  // Calls the procedure of the message's window; gives its result.
  virtual std::intptr_t dispatchMessage(const Message& message) = 0;
  virtual void postQuitMessage(int exitCode) = 0;

  // True when Escape is down or was pressed since the last query.
  virtual bool escapePressed() = 0;
  virtual void showCursor(bool show) = 0;
  // A modal box with one OK button and no owner window; returns once dismissed.
  virtual void messageBox(const char* text) = 0;

  virtual Rect clientRect(WindowHandle window) = 0;
  virtual Point clientToScreen(WindowHandle window, Point point) = 0;
};

}  // namespace quarvel::platform
