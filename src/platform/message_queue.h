// Window classes, windows and their message queue, for backends that keep these themselves.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "platform/window_system.h"

namespace quarvel::platform {

// The bookkeeping of a desktop window system: which classes are registered,
// which windows exist and route to which procedure, and the pending messages,
// with the quit message delivered after every other one.
class MessageQueue {
 public:
  bool registerClass(const WindowClass& windowClass);
  bool unregisterClass(const char* className);

  // Gives the new window's handle, or 0 when the class is not registered.
  WindowHandle addWindow(const char* className);
  // Destroys a window: its procedure receives the destroy message at once.
  // False when there is no such window.
  bool destroyWindow(WindowSystem& system, WindowHandle window);
  bool exists(WindowHandle window) const { return windows_.count(window) != 0; }
  // The most recently created window that still exists, or 0.
  WindowHandle newestWindow() const;

  void post(const Message& message) { pending_.push_back(message); }
  void postQuit(int exitCode);
  bool peek(Message& message, bool remove);
  // Calls the procedure of the message's window; 0 for a window that is gone.
  std::intptr_t dispatch(WindowSystem& system, const Message& message);

 private:
  std::map<std::string, WindowClass> classes_;
  std::map<WindowHandle, WindowProcedure> windows_;
  WindowHandle nextWindow_ = 1;
  std::deque<Message> pending_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

}  // namespace quarvel::platform
