// The frame loop over the recording platform: start-up and shutdown order, and how a run ends.
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "support/recording_platform.h"

namespace quarvel::driver {
namespace {

using quarvel::testing::RecordingPlatform;

// Sends each console line into the fake's call log, so that the mesh loader's
// and the frame-rate lines fall in place among the platform calls.
struct LogLines final : std::streambuf {
  explicit LogLines(RecordingPlatform& f) : fake(f) {}
  int overflow(int c) override {
    if (c == '\n') fake.record("stdout " + std::exchange(line, ""));
    if (c != '\n' && c != traits_type::eof()) line += static_cast<char>(c);
    return c;
  }
  RecordingPlatform& fake;
  std::string line;
};

struct SceneLog final : FrameObserver {
  std::vector<Scene> scenes;
  void frameDrawn(Scene scene) override { scenes.push_back(scene); }
};

// Runs the demo from the data directory with the console routed into the call log.
std::vector<Scene> run(RecordingPlatform& fake) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  LogLines lines(fake);
  std::streambuf* console = std::cout.rdbuf(&lines);
  SceneLog log;
  EXPECT_EQ(runDemo(fake.platform(), &log), 0);
  std::cout.rdbuf(console);
  std::filesystem::current_path(previous);
  return log.scenes;
}

// The calls from the first one starting with `from` to the end, joined by "; ".
std::string tailFrom(const RecordingPlatform& fake, const std::string& from) {
  std::string out;
  for (int i = std::max(fake.indexOf(from), 0); i < static_cast<int>(fake.calls.size()); ++i) {
    out += fake.calls[static_cast<std::size_t>(i)] + "; ";
  }
  return out;
}

TEST(RunDemo, StartsInOrderAndTearsDownInReverse) {
  RecordingPlatform fake;
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  EXPECT_EQ(run(fake).size(), 1u);
  // The music plays (device written, worker started) before the star is
  // loaded, then the display, the cursor, the greetings in order, and one
  // peek that keeps the message before the first frame.
  const char* order[] = {
      "openSoundDevice", "sound write",     "startThread",     "stdout star",
      "registerClass",   "getPixelFormat",  "showCursor 0",    "stdout plonix",
      "stdout hv",       "stdout wendup",   "stdout tolvenaq", "peekMessage keep",
      "lock back",       "unregisterClass", "forgetThread",    "sound reset"};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    EXPECT_GE(fake.indexOf(order[i]), 0) << order[i];
    EXPECT_LT(fake.indexOf(order[i]), fake.indexOf(order[i + 1])) << order[i];
  }
  EXPECT_EQ(fake.calls.back(), "sound close");  // the music goes last
}

TEST(RunDemo, EscapeOrClosingTheWindowEndsTheRunAfterTheFrame) {
  // The quit message goes through translate and dispatch like any other.
  const std::string teardown =
      "postQuitMessage 0; peekMessage remove; translateMessage 18; dispatchMessage 18; "
      "release primary; release directDraw; unregisterClass project_screen; forgetThread; "
      "sound reset; sound unprepare; sound close; ";
  RecordingPlatform escape;
  escape.onPresent = [](RecordingPlatform& f, std::uint64_t shown) { f.escape = shown == 2; };
  EXPECT_EQ(run(escape).size(), 3u);
  EXPECT_EQ(tailFrom(escape, "postQuitMessage"), teardown);
  RecordingPlatform close;
  close.onPresent = [](RecordingPlatform& f, std::uint64_t shown) {
    if (shown == 1) f.queue.push_back({100, platform::kMessageClose, 0, 0});
  };
  EXPECT_EQ(run(close).size(), 2u);
  EXPECT_EQ(tailFrom(close, "dispatchMessage 16"),
            "dispatchMessage 16; destroyWindow 100; " + teardown);
}

TEST(RunDemo, PendingMessagesAreDrainedOneAtATimeBeforeAnyFrame) {
  RecordingPlatform fake;
  fake.queue = {{100, platform::kMessageKeyDown, 65, 0}, {100, platform::kMessageKeyDown, 66, 0}};
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  run(fake);
  const std::string drained =
      "peekMessage keep; peekMessage remove; translateMessage 256; dispatchMessage 256; "
      "defaultWindowProcedure 256; peekMessage remove; translateMessage 256; "
      "dispatchMessage 256; defaultWindowProcedure 256; peekMessage remove; restore primary; ";
  EXPECT_EQ(tailFrom(fake, "peekMessage keep").substr(0, drained.size()), drained);
}

TEST(RunDemo, OneSecondFramesEndAtEightySecondsAndReportOnceEveryTwoFrames) {
  RecordingPlatform fake;
  fake.frameMs = 1000;
  fake.failing = {"openSoundDevice"};  // without sound the demo runs silently all the same
  const std::vector<Scene> scenes = run(fake);
  // Frames at t = 0 .. 79 draw; the frame at t = 80 only quits and is still presented.
  ASSERT_EQ(scenes.size(), 81u);
  EXPECT_EQ(fake.presents, 81u);
  EXPECT_TRUE(scenes[14] == Scene::Star && scenes[15] == Scene::Rays && scenes[80] == Scene::End);
  EXPECT_EQ(fake.indexOf("startThread"), -1);
  // Each window holds one one-second frame; the next call reports and drops its own.
  EXPECT_EQ(fake.callsStartingWith("stdout ["), std::vector<std::string>(40, "stdout [1]"));
  EXPECT_EQ(fake.callsStartingWith("postQuitMessage").size(), 1u);
}

}  // namespace
}  // namespace quarvel::driver
