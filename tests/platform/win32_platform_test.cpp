// The Windows backend on the real system or Wine: window routing, the queue, drawing, threads.
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

bool contains(const std::vector<std::uint32_t>& messages, std::uint32_t message) {
  for (std::uint32_t m : messages) {
    if (m == message) return true;
  }
  return false;
}

// Takes the pending messages until the quit message; false if none came.
bool drainUntilQuit(WindowSystem& windows, Message& quit) {
  for (int i = 0; i < 1000; ++i) {
    Message message{};
    if (!windows.peekMessage(message, true)) return false;
    if (message.message == kMessageQuit) {
      quit = message;
      return true;
    }
    windows.translateMessage(message);
    windows.dispatchMessage(message);
  }
  return false;
}

TEST(Win32Windows, CreationMessagesReachTheClassProcedureAndDestroyPostsQuit) {
  Win32Platform win32;
  seen.clear();
  ASSERT_TRUE(win32.registerClass({3, recordingProcedure, win32.loadArrowCursor(), "win32_test"}));
  EXPECT_FALSE(win32.registerClass({3, recordingProcedure, 0, "win32_test"}));  // taken

  const WindowHandle window = win32.createWindow({0, "win32_test", "test", kStylePopup, 64, 48});
  ASSERT_NE(window, 0u);
  // Sent from inside the creation call, before its handle was known.
  EXPECT_TRUE(contains(seen, kMessageCreate));

  seen.clear();
  ASSERT_TRUE(win32.destroyWindow(window));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), kMessageDestroy);
  EXPECT_EQ(seen.back(), kMessageNcDestroy);
  EXPECT_FALSE(win32.destroyWindow(window));

  Message quit{};
  ASSERT_TRUE(drainUntilQuit(win32, quit));
  EXPECT_EQ(quit.wParam, 7u);
  EXPECT_TRUE(win32.unregisterClass("win32_test"));
  EXPECT_FALSE(win32.unregisterClass("win32_test"));
}

// The display's own procedure over the real queue: close destroys, destroy quits.
TEST(Win32Windows, CloseMessageDispatchedToTheDisplayProcedureEndsInQuit) {
  Win32Platform win32;
  ASSERT_TRUE(win32.registerClass({3, display::windowProc, 0, "win32_close_test"}));
  const WindowHandle window =
      win32.createWindow({0, "win32_close_test", "test", kStylePopup, 64, 48});
  ASSERT_NE(window, 0u);
  win32.dispatchMessage({window, kMessageClose, 0, 0});
  Message quit{};
  ASSERT_TRUE(drainUntilQuit(win32, quit));
  EXPECT_EQ(quit.wParam, 0u);
  EXPECT_FALSE(win32.destroyWindow(window));  // already gone
  EXPECT_TRUE(win32.unregisterClass("win32_close_test"));
}

TEST(Win32Windows, AdjustedOuterSizeGivesTheRequestedClientArea) {
  Win32Platform win32;
  ASSERT_TRUE(win32.registerClass({3, display::windowProc, 0, "win32_size_test"}));
  // Within the size limits of the system: never shrunk to the screen nor grown to a minimum.
  const std::uint32_t captioned = display::kStyleWindowed & ~0x10000000u;  // without WS_VISIBLE
  const Rect outer =
      win32.adjustWindowRect({0, 0, 200, 100}, captioned, display::kExStyleAppWindow);
  EXPECT_LT(outer.top, 0);  // room for the caption
  EXPECT_GT(outer.right - outer.left, 200);
  const WindowHandle window =
      win32.createWindow({display::kExStyleAppWindow, "win32_size_test", "test", captioned,
                          outer.right - outer.left, outer.bottom - outer.top});
  ASSERT_NE(window, 0u);
  EXPECT_EQ(win32.clientRect(window), (Rect{0, 0, 200, 100}));
  const Point origin = win32.clientToScreen(window, {0, 0});
  const Point corner = win32.clientToScreen(window, {200, 100});
  EXPECT_EQ(corner.x - origin.x, 200);
  EXPECT_EQ(corner.y - origin.y, 100);
  win32.destroyWindow(window);
  Message quit{};
  drainUntilQuit(win32, quit);
  EXPECT_TRUE(win32.unregisterClass("win32_size_test"));
}

TEST(Win32Queue, PeekWithoutRemovingLeavesTheMessage) {
  Win32Platform win32;
  win32.postQuitMessage(3);
  Message message{};
  ASSERT_TRUE(win32.peekMessage(message, false));
  EXPECT_EQ(message.message, kMessageQuit);
  ASSERT_TRUE(win32.peekMessage(message, true));
  EXPECT_EQ(message.message, kMessageQuit);
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_FALSE(win32.peekMessage(message, true));
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
    if (locked.bitsPerPixel == 32) {
      const auto* bits = static_cast<const unsigned char*>(locked.bits);
      for (std::uint32_t y : {0u, 1u, 119u, 239u}) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(bits + std::size_t{y} * locked.pitch);
        for (std::uint32_t x : {0u, 1u, 160u, 319u}) {
          EXPECT_EQ(row[x] & 0xFFFFFFu, screen.pixels[y * 320 + x] & 0xFFFFFFu) << x << "," << y;
        }
      }
    }
    back.unlock();
  }
  Message quit{};
  drainUntilQuit(win32, quit);
}

struct Worker {
  Threads* threads;
  std::atomic<int> runs{0};
};

TEST(Win32Threads, ForgetReturnsOnlyAfterTheProcedureHasRun) {
  Win32Platform win32;
  Worker worker{&win32};
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
