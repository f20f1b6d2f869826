// The headless backend: vertical blanks and sleeping threads in virtual time, the recorded
// sound, and messages.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"

namespace quarvel::platform::headless {
namespace {

TEST(HeadlessTime, FlipsWaitForTheNextVerticalBlankAtTheChosenRate) {
  // Frame k starts at k * 1000 / fps ms, truncated; 0 asks for the default, 60.
  const std::pair<std::uint32_t, std::vector<std::uint32_t>> cases[] = {
      {30, {0, 33, 66, 100, 133, 166, 200}}, {0, {0, 16, 33, 50, 66, 83, 100}}};
  for (const auto& [fps, starts] : cases) {
    HeadlessPlatform headless({fps});
    DeviceInterface* first = nullptr;
    DrawDevice* device = nullptr;
    ASSERT_TRUE(headless.createDevice(first) == kOk && first->queryDrawDevice(device) == kOk);
    first->release();
    // Only the 32-bit mode, of some size.
    EXPECT_TRUE(device->setDisplayMode(320, 240, 16) != kOk &&
                device->setDisplayMode(320, 0, 32) != kOk);
    ASSERT_EQ(device->setDisplayMode(320, 240, 32), kOk);
    Surface* primary = nullptr;
    Surface* back = nullptr;
    device->createSurface(
        {kRequestCaps | kRequestBackBufferCount, kCapsPrimarySurface | kCapsFlip, 1, 0, 0},
        primary);
    ASSERT_EQ(primary->getAttachedSurface(kCapsBackBuffer, back), kOk);
    std::vector<std::uint32_t> got;
    for (int k = 0; k < 7; ++k, primary->flip(*back)) got.push_back(headless.milliseconds());
    EXPECT_EQ(got, starts) << fps << " fps";
    EXPECT_EQ(headless.framesPresented(), 7u);
    primary->release();
    device->release();
  }
}

TEST(HeadlessTime, SleepersWakeByDeadlineAndTiesInTheOrderTheyStarted) {
  struct Rig {
    HeadlessPlatform headless;
    std::string events;  // who woke, and when
    void log(char who) { events += who + std::to_string(headless.milliseconds()) + " "; }
  } rig;
  rig.headless.sleep(3);
  const ThreadHandle worker = rig.headless.startTimeCritical(
      [](void* raw) {
        auto& r = *static_cast<Rig*>(raw);
        for (int i = 0; i < 3; ++i, r.headless.sleep(5)) r.log('w');
      },
      &rig);
  ASSERT_NE(worker, 0u);
  // The worker is due at once, at 3 ms, like the main thread's zero sleep, which
  // started first and so goes first.
  for (const std::uint32_t ms : {0u, 7u, 7u, 20u}) {
    rig.headless.sleep(ms);
    rig.log('m');
  }
  rig.headless.forget(worker);  // it ended at 18 ms
  EXPECT_EQ(rig.events, "m3 w3 w8 m10 w13 m17 m37 ");
}

TEST(HeadlessTime, AThreadLeftBehindEndsTheProcessWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        HeadlessPlatform headless;
        headless.startTimeCritical([](void*) {}, nullptr);  // never waited for, never forgotten
      },
      "headless: a thread outlived its scheduler");
}

TEST(HeadlessSound, PlaysFortyFourThousandOneHundredFramesPerVirtualSecond) {
  HeadlessPlatform headless;
  EXPECT_EQ(headless.openDevice({2, 22050, 16}), nullptr);  // only 16-bit stereo at 44100 Hz
  SoundDevice* device = headless.openDevice({2, 44100, 16});
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(headless.openDevice({2, 44100, 16}), nullptr);  // one device at a time
  std::vector<std::int16_t> ring(2 * 1000);
  for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = static_cast<std::int16_t>(i);
  device->prepareLoop(ring.data(), static_cast<std::uint32_t>(ring.size() * 2));
  device->write();
  headless.sleep(10);
  EXPECT_EQ(device->playPositionBytes(), 441u * 4);
  headless.sleep(20);  // 30 ms: 1323 frames, one lap of the 1000-frame ring and more
  EXPECT_EQ(device->playPositionBytes(), 1323u * 4);
  const auto& played = headless.recordedSound();
  ASSERT_EQ(played.size(), 2u * 1323);
  EXPECT_TRUE(played[2 * 999 + 1] == 1999 && played[2 * 1000] == 0 && played[2 * 1322 + 1] == 645);
  device->reset();
  headless.sleep(10);
  EXPECT_EQ(headless.recordedSound().size(), 2u * 1323);  // nothing plays after a reset
  device->unprepare();
  device->close();
  SoundDevice* again = headless.openDevice({2, 44100, 16});
  ASSERT_NE(again, nullptr);
  again->close();
}

TEST(HeadlessMessages, QuitComesAfterOtherMessagesAndEscapeIsReportedOnce) {
  HeadlessPlatform headless;
  const WindowClass windowClass{3,
                                [](WindowSystem&, WindowHandle, std::uint32_t, std::uintptr_t,
                                   std::intptr_t) { return std::intptr_t{5}; },
                                1, "c"};
  ASSERT_TRUE(headless.registerClass(windowClass));
  EXPECT_FALSE(headless.registerClass(windowClass) ||
               headless.registerClass({3, nullptr, 1, "no procedure"}) ||
               headless.registerClass({3, windowClass.procedure, 1, nullptr}));
  headless.postQuitMessage(4);
  const WindowHandle window = headless.createWindow({0, "c", "t", 0, 320, 240});
  EXPECT_EQ(headless.clientRect(window), (Rect{0, 0, 320, 240}));
  headless.closeWindow();
  Message m;
  ASSERT_TRUE(headless.peekMessage(m, false) && m.message == kMessageClose);
  ASSERT_TRUE(headless.peekMessage(m, true) && m.window == window);
  EXPECT_EQ(headless.dispatchMessage(m), 5);
  ASSERT_TRUE(headless.peekMessage(m, true) && m.message == kMessageQuit && m.wParam == 4);
  EXPECT_FALSE(headless.peekMessage(m, true));
  const WindowHandle other = headless.createWindow({0, "c", "u", 0, 64, 48});
  EXPECT_TRUE(other != 0 && other != window && headless.destroyWindow(other));
  EXPECT_TRUE(headless.destroyWindow(window) && !headless.destroyWindow(window));
  EXPECT_EQ(headless.dispatchMessage({window, kMessageClose, 0, 0}), 0);  // gone: no answer
  EXPECT_EQ(headless.clientRect(window), Rect{});
  EXPECT_TRUE(headless.unregisterClass("c") && !headless.unregisterClass("c"));
  EXPECT_EQ(headless.createWindow({0, "c", "t", 0, 320, 240}), 0u);
  EXPECT_EQ(headless.createWindow({0, nullptr, "t", 0, 320, 240}), 0u);
  headless.pressEscape();
  EXPECT_TRUE(headless.escapePressed() && !headless.escapePressed());
}

}  // namespace
}  // namespace quarvel::platform::headless
