// The headless backend: virtual time, vertical blanks, sleeping threads and the recorded sound.
#include <atomic>
#include <vector>

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"

namespace quarvel::platform::headless {
namespace {

TEST(HeadlessTime, FlipsWaitForTheNextVerticalBlank) {
  HeadlessPlatform headless;
  DeviceInterface* first = nullptr;
  ASSERT_EQ(headless.createDevice(first), kOk);
  DrawDevice* device = nullptr;
  first->queryDrawDevice(device);
  first->release();
  ASSERT_EQ(device->setDisplayMode(320, 240, 32), kOk);
  EXPECT_NE(device->setDisplayMode(320, 240, 16), kOk);
  Surface* primary = nullptr;
  device->createSurface({kRequestCaps | kRequestBackBufferCount,
                         kCapsPrimarySurface | kCapsFlip | kCapsComplex, 1, 0, 0},
                        primary);
  Surface* back = nullptr;
  ASSERT_EQ(primary->getAttachedSurface(kCapsBackBuffer, back), kOk);
  std::vector<std::uint32_t> starts;
  for (int k = 0; k < 7; ++k) {
    starts.push_back(headless.milliseconds());
    primary->flip(*back);
  }
  EXPECT_EQ(starts, (std::vector<std::uint32_t>{0, 16, 33, 50, 66, 83, 100}));
  EXPECT_EQ(headless.framesPresented(), 7u);
  primary->release();
  device->release();
}

TEST(HeadlessTime, ThreadsTakeTurnsByDeadline) {
  HeadlessPlatform headless;
  std::vector<std::pair<char, std::uint32_t>> events;
  std::atomic<bool> stop{false};
  struct Context {
    HeadlessPlatform* platform;
    std::vector<std::pair<char, std::uint32_t>>* events;
    std::atomic<bool>* stop;
  } context{&headless, &events, &stop};
  const ThreadHandle worker = headless.startTimeCritical(
      [](void* raw) {
        auto& c = *static_cast<Context*>(raw);
        while (!c.stop->load()) {
          c.events->push_back({'w', c.platform->milliseconds()});
          c.platform->sleep(5);
        }
      },
      &context);
  ASSERT_NE(worker, 0u);
  for (int i = 0; i < 2; ++i) {
    headless.sleep(7);
    events.push_back({'m', headless.milliseconds()});
  }
  stop = true;
  headless.sleep(10);  // the worker sees the flag at its next wake-up and ends
  headless.forget(worker);
  using E = std::pair<char, std::uint32_t>;
  EXPECT_EQ(events, (std::vector<E>{{'w', 0}, {'w', 5}, {'m', 7}, {'w', 10}, {'m', 14}}));
  EXPECT_EQ(headless.milliseconds(), 24u);
}

TEST(HeadlessSound, PlaysFortyFourThousandFramesPerVirtualSecond) {
  HeadlessPlatform headless;
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
  EXPECT_EQ(played[2 * 999 + 1], 1999);
  EXPECT_EQ(played[2 * 1000], 0);  // the loop starts over
  EXPECT_EQ(played[2 * 1322 + 1], 2 * 322 + 1);
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
  headless.postQuitMessage(0);
  ASSERT_TRUE(headless.registerClass({3, [](WindowSystem&, WindowHandle, std::uint32_t,
                                            std::uintptr_t, std::intptr_t) -> std::intptr_t {
                                        return 0;
                                      },
                                      1, "c"}));
  const WindowHandle window = headless.createWindow({0, "c", "t", 0, 320, 240});
  headless.closeWindow();
  Message m;
  ASSERT_TRUE(headless.peekMessage(m, false));
  EXPECT_EQ(m.message, kMessageClose);
  ASSERT_TRUE(headless.peekMessage(m, true));
  EXPECT_EQ(m.window, window);
  ASSERT_TRUE(headless.peekMessage(m, true));
  EXPECT_EQ(m.message, kMessageQuit);
  EXPECT_FALSE(headless.peekMessage(m, true));
  headless.pressEscape();
  EXPECT_TRUE(headless.escapePressed());
  EXPECT_FALSE(headless.escapePressed());
}

}  // namespace
}  // namespace quarvel::platform::headless
