// The window calls that the backends with their own window bookkeeping share.
#include "platform/queued_window_system.h"

namespace quarvel::platform {

bool QueuedWindowSystem::registerClass(const WindowClass& windowClass) {
  return queue_.registerClass(windowClass);
}

bool QueuedWindowSystem::unregisterClass(const char* className) {
  return queue_.unregisterClass(className);
}

Rect QueuedWindowSystem::adjustWindowRect(Rect client, std::uint32_t, std::uint32_t) {
  return client;
}

WindowHandle QueuedWindowSystem::createWindow(const WindowRequest& request) {
  const WindowHandle handle = queue_.addWindow(request.className);
  if (handle != 0) clientRects_[handle] = {0, 0, request.width, request.height};
  return handle;
}

std::intptr_t QueuedWindowSystem::defaultWindowProcedure(WindowHandle, std::uint32_t,
                                                         std::uintptr_t, std::intptr_t) {
  return 0;
}

bool QueuedWindowSystem::destroyWindow(WindowHandle window) {
  return queue_.destroyWindow(*this, window);
}

bool QueuedWindowSystem::peekMessage(Message& message, bool remove) {
  pumpEvents();
  return queue_.peek(message, remove);
}

void QueuedWindowSystem::translateMessage(const Message&) {}

std::intptr_t QueuedWindowSystem::dispatchMessage(const Message& message) {
  return queue_.dispatch(*this, message);
}

void QueuedWindowSystem::postQuitMessage(int exitCode) { queue_.postQuit(exitCode); }

Rect QueuedWindowSystem::clientRect(WindowHandle window) {
  const auto found = clientRects_.find(window);
  return found == clientRects_.end() || !queue_.exists(window) ? Rect{} : found->second;
}

Point QueuedWindowSystem::clientToScreen(WindowHandle, Point point) { return point; }

}  // namespace quarvel::platform
