// The frame loop: how it ends (Escape, window close, end of the timeline), its order and its output.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "platform/headless/headless_platform.h"
#include "support/recording_platform.h"

namespace quarvel::driver {
namespace {

using quarvel::testing::RecordingPlatform;

// The frame-rate lines of the console output, without the mesh loader's lines.
std::vector<std::string> fpsLines(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    if (!line.empty() && line.front() == '[' && line.back() == ']') lines.push_back(line);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

struct SceneLog final : FrameObserver {
  std::vector<Scene> scenes;
  void frameDrawn(Scene scene) override { scenes.push_back(scene); }
};

// The calls from the first one starting with `from` to the end.
std::vector<std::string> tailFrom(const RecordingPlatform& fake, const std::string& from) {
  const int start = fake.indexOf(from);
  if (start < 0) return {};
  return {fake.calls.begin() + start, fake.calls.end()};
}

TEST(RunDemo, EscapeEndsTheRunAfterTheCurrentFrame) {
  RecordingPlatform fake;
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t shown) {
    if (shown == 2) f.escape = true;
  };
  SceneLog log;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(fake.platform(), &log), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(log.scenes.size(), 3u);
  // The cursor is hidden once the display exists; the queue is peeked once
  // before the first frame.
  EXPECT_LT(fake.indexOf("getPixelFormat"), fake.indexOf("showCursor 0"));
  EXPECT_LT(fake.indexOf("showCursor 0"), fake.indexOf("peekMessage keep"));
  EXPECT_LT(fake.indexOf("peekMessage keep"), fake.indexOf("lock back"));
  // The quit message goes through translate and dispatch like any other,
  // then the display is torn down.
  EXPECT_THAT(tailFrom(fake, "postQuitMessage"),
              ::testing::ElementsAre("postQuitMessage 0", "peekMessage remove",
                                     "translateMessage 18", "dispatchMessage 18",
                                     "release primary", "release directDraw",
                                     "unregisterClass project_screen"));
}

TEST(RunDemo, ClosingTheWindowEndsTheRun) {
  RecordingPlatform fake;
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t shown) {
    if (shown == 1) f.queue.push_back({100, platform::kMessageClose, 0, 0});
  };
  SceneLog log;
  EXPECT_EQ(runDemo(fake.platform(), &log), 0);
  EXPECT_EQ(log.scenes.size(), 2u);
  EXPECT_THAT(tailFrom(fake, "dispatchMessage 16"),
              ::testing::ElementsAre("dispatchMessage 16", "destroyWindow 100",
                                     "postQuitMessage 0", "peekMessage remove",
                                     "translateMessage 18", "dispatchMessage 18",
                                     "release primary", "release directDraw",
                                     "unregisterClass project_screen"));
}

TEST(RunDemo, PendingMessagesAreDrainedBeforeAnyFrame) {
  RecordingPlatform fake;
  fake.queue = {{100, platform::kMessageKeyDown, 65, 0}, {100, platform::kMessageKeyDown, 66, 0}};
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  EXPECT_EQ(runDemo(fake.platform()), 0);
  EXPECT_LT(fake.indexOf("defaultWindowProcedure 256"), fake.indexOf("lock back"));
  EXPECT_EQ(fake.callsStartingWith("defaultWindowProcedure").size(), 2u);
  EXPECT_EQ(fake.presents, 1u);
}

TEST(RunDemo, EndsByItselfAtEightySecondsAndPrintsTheFrameRate) {
  RecordingPlatform fake;
  fake.frameMs = 1000;  // every frame lasts one second of scene clock
  SceneLog log;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(fake.platform(), &log), 0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  // Frames at t = 0 .. 79 draw scenes; the frame at t = 80 only quits, and is
  // still presented.
  ASSERT_EQ(log.scenes.size(), 81u);
  EXPECT_EQ(fake.presents, 81u);
  EXPECT_EQ(log.scenes[14], Scene::Star);
  EXPECT_EQ(log.scenes[15], Scene::Rays);
  EXPECT_EQ(log.scenes[40], Scene::Blobs);
  EXPECT_EQ(log.scenes[55], Scene::Greetings);
  EXPECT_EQ(log.scenes[79], Scene::Greetings);
  EXPECT_EQ(log.scenes[80], Scene::End);
  // One-second frames: each window holds one frame, so every second call reports 1.
  const auto lines = fpsLines(out);
  EXPECT_EQ(lines.size(), 40u);
  EXPECT_EQ(lines.front(), "[1]");
  EXPECT_EQ(fake.callsStartingWith("postQuitMessage").size(), 1u);
}

std::vector<std::uint64_t> frameHashes(std::uint64_t frames) {
  platform::headless::HeadlessPlatform headless;
  std::vector<std::uint64_t> hashes;
  headless.setFrameSink([&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t w,
                            std::uint32_t h) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint32_t i = 0; i < w * h; ++i) hash = (hash ^ pixels[i]) * 1099511628211ull;
    hashes.push_back(hash);
    if (index + 1 == frames) headless.pressEscape();
  });
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform()), 0);
  ::testing::internal::GetCapturedStdout();
  return hashes;
}

TEST(RunDemo, HeadlessRunsAreIdentical) {
  const auto first = frameHashes(90);
  EXPECT_EQ(first.size(), 90u);
  EXPECT_EQ(first, frameHashes(90));
}

TEST(RunDemo, HeadlessRunEndsWhenTheSummedFrameTimesReachEightySeconds) {
  platform::headless::HeadlessPlatform headless;
  SceneLog log;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform(), &log), 0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  // Frame k starts at floor(k * 1000 / 60) ms; the scene clock is the float
  // sum of those durations, so its rounding decides the last frame.
  float clock = 0.0f;
  std::size_t frames = 0;
  while (clock < 80.0f) {
    const std::uint32_t ms = (frames + 1) * 1000 / 60 - frames * 1000 / 60;
    clock = static_cast<float>(static_cast<double>(clock) + ms * 0.001);
    ++frames;
  }
  EXPECT_EQ(log.scenes.size(), frames + 1);
  EXPECT_EQ(log.scenes.back(), Scene::End);
  EXPECT_EQ(headless.framesPresented(), frames + 1);
  const auto lines = fpsLines(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "[60]");
}

}  // namespace
}  // namespace quarvel::driver
