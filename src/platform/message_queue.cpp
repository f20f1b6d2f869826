// Window and message bookkeeping shared by the headless and desktop backends.
#include "platform/message_queue.h"

namespace quarvel::platform {

bool MessageQueue::registerClass(const WindowClass& windowClass) {
  if (windowClass.className == nullptr || windowClass.procedure == nullptr) return false;
  return classes_.emplace(windowClass.className, windowClass).second;
}

bool MessageQueue::unregisterClass(const char* className) {
  return className != nullptr && classes_.erase(className) == 1;
}

WindowHandle MessageQueue::addWindow(const char* className) {
  if (className == nullptr) return 0;
  const auto found = classes_.find(className);
  if (found == classes_.end()) return 0;
  const WindowHandle handle = nextWindow_++;
  windows_[handle] = found->second.procedure;
  return handle;
}

bool MessageQueue::destroyWindow(WindowSystem& system, WindowHandle window) {
  const auto found = windows_.find(window);
  if (found == windows_.end()) return false;
  const WindowProcedure procedure = found->second;
  windows_.erase(found);
  procedure(system, window, kMessageDestroy, 0, 0);
  return true;
}

WindowHandle MessageQueue::newestWindow() const {
  return windows_.empty() ? 0 : windows_.rbegin()->first;
}

void MessageQueue::postQuit(int exitCode) {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

bool MessageQueue::peek(Message& message, bool remove) {
  if (!pending_.empty()) {
    message = pending_.front();
    if (remove) pending_.pop_front();
    return true;
  }
  if (quitPosted_) {
    message = {0, kMessageQuit, static_cast<std::uintptr_t>(quitCode_), 0};
    if (remove) quitPosted_ = false;
    return true;
  }
  return false;
}

std::intptr_t MessageQueue::dispatch(WindowSystem& system, const Message& message) {
  const auto found = windows_.find(message.window);
  if (found == windows_.end()) return 0;
  return found->second(system, message.window, message.message, message.wParam, message.lParam);
}

}  // namespace quarvel::platform
