// The Windows backend on the real system or Wine: window routing, the queue, drawing, threads.
#include <algorithm>
#include <atomic>
#include <vector>

#include <gtest/gtest.h>

#include "display/display.h"
#include "platform/win32/win32_platform.h"

namespace quarvel::platform::win32 {
namespace {

constexpr std::uint32_t kStylePopup = 0x80000000;  // not visible: no screen needed
constexpr std::uint32_t kMessageCreate = 0x0001;
constexpr std::uint32_t kMessageNcDestroy = 0x0082;

std::vector<std::uint32_t> seen;  // messages the recording procedure got, in order

std::intptr_t recordingProcedure(WindowSystem& windows, WindowHandle window, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam) {
  seen.push_back(message);
  if (message == kMessageDestroy) windows.postQuitMessage(7);
  return windows.defaultWindowProcedure(window, message, wParam, lParam);
}

// Takes the pending messages until the quit message; its exit code, or -1 if none came.
std::intptr_t drainUntilQuit(WindowSystem& windows) {
  Message message{};
  for (int i = 0; i < 1000 && windows.peekMessage(message, true); ++i) {
    if (message.message == kMessageQuit) return static_cast<std::intptr_t>(message.wParam);
    windows.translateMessage(message);
    windows.dispatchMessage(message);
  }
  return -1;
}

TEST(Win32Windows, ClassProceduresGetTheirMessagesAndDestroyPostsQuit) {
  Win32Platform win32;
  seen.clear();
  ASSERT_TRUE(win32.registerClass({3, recordingProcedure, win32.loadArrowCursor(), "win32_test"}));
  EXPECT_FALSE(win32.registerClass({3, recordingProcedure, 0, "win32_test"}));  // taken
  const WindowHandle window = win32.createWindow({0, "win32_test", "test", kStylePopup, 64, 48});
  ASSERT_NE(window, 0u);
  EXPECT_NE(std::find(seen.begin(), seen.end(), kMessageCreate), seen.end());  // before the handle
  seen.clear();
  ASSERT_TRUE(win32.destroyWindow(window));
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(seen.front() == kMessageDestroy && seen.back() == kMessageNcDestroy);
  EXPECT_FALSE(win32.destroyWindow(window));
  EXPECT_EQ(drainUntilQuit(win32), 7);
  EXPECT_TRUE(win32.unregisterClass("win32_test"));
  EXPECT_FALSE(win32.unregisterClass("win32_test"));
  // The display's own procedure over the real queue: close destroys, destroy quits.
  ASSERT_TRUE(win32.registerClass({3, display::windowProc, 0, "win32_close_test"}));
  const WindowHandle closing =
      win32.createWindow({0, "win32_close_test", "t", kStylePopup, 64, 48});
  ASSERT_NE(closing, 0u);
  win32.dispatchMessage({closing, kMessageClose, 0, 0});
  EXPECT_EQ(drainUntilQuit(win32), 0);
  EXPECT_FALSE(win32.destroyWindow(closing));  // already gone
  // A quit message is seen by a peek that keeps it, then taken.
  win32.postQuitMessage(3);
  Message message{};
  ASSERT_TRUE(win32.peekMessage(message, false) && message.message == kMessageQuit);
  EXPECT_EQ(drainUntilQuit(win32), 3);
}

// A windowed display over DirectDraw: the picture reaches the back surface at
// the pitch the lock reports, whatever that pitch is.
TEST(Win32Draw, WindowedDisplayPresentsTheFramebufferIntoTheLockedSurface) {
  Win32Platform win32;
  {
    display::Display screen(win32, win32, "test", 320, 240, 1, 0);
    ASSERT_NE(screen.rowConverter, nullptr);
    for (std::uint32_t i = 0; i < screen.pixelCount; ++i) screen.pixels[i] = i * 2654435761u;
    ASSERT_TRUE(screen.present());
    Surface& back = *screen.device->back;
    LockedSurface locked{};
    ASSERT_EQ(back.lock(locked), kOk);
    EXPECT_GE(locked.pitch, 320 * static_cast<std::int32_t>(locked.bitsPerPixel / 8));
    const auto* bits = static_cast<const unsigned char*>(locked.bits);
    for (std::uint32_t y : {0u, 1u, 119u, 239u}) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(bits + std::size_t{y} * locked.pitch);
      for (std::uint32_t x : {0u, 1u, 160u, 319u}) {
        if (locked.bitsPerPixel != 32) continue;
        EXPECT_EQ(row[x] & 0xFFFFFFu, screen.pixels[y * 320 + x] & 0xFFFFFFu) << x << "," << y;
      }
    }
    back.unlock();
  }
  drainUntilQuit(win32);
}

TEST(Win32Threads, ForgetReturnsOnlyAfterTheProcedureHasRun) {
  Win32Platform win32;
  struct Worker {
    Threads* threads;
    std::atomic<int> runs{0};
  } worker{&win32};
  const ThreadHandle thread = win32.startTimeCritical(
      [](void* context) {
        auto& w = *static_cast<Worker*>(context);
        w.threads->sleep(20);  // still running when forget() is called
        w.runs.fetch_add(1);
      },
      &worker);
  ASSERT_NE(thread, 0u);
  win32.forget(thread);
  EXPECT_EQ(worker.runs.load(), 1);
  EXPECT_EQ(win32.startTimeCritical(nullptr, nullptr), 0u);
}

}  // namespace
}  // namespace quarvel::platform::win32
