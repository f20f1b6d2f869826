// A window system whose classes, windows and messages the program keeps itself, for backends to build on.
#pragma once

#include <cstdint>
#include <map>

#include "platform/message_queue.h"
#include "platform/window_system.h"

namespace quarvel::platform {

// The window calls of a backend that keeps its windows in a MessageQueue:
// windows have no borders, their client areas have the size asked for and sit
// at the screen's origin, the arrow cursor is 1 and the default procedure
// answers 0. A backend adds its input, the Escape key, the cursor and the
// message box, and replaces the window calls where it has windows of its own.
class QueuedWindowSystem : public WindowSystem {
 public:
  CursorHandle loadArrowCursor() override { return 1; }
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
  // The size asked for at creation; empty once the window is gone.
  Rect clientRect(WindowHandle window) override;
  Point clientToScreen(WindowHandle window, Point point) override;

 protected:
  // Queues the input that arrived since the last call; runs before every peek.
  virtual void pumpEvents() {}
  MessageQueue& queue() { return queue_; }

 private:
  MessageQueue queue_;
  std::map<WindowHandle, Rect> clientRects_;
};

}  // namespace quarvel::platform
