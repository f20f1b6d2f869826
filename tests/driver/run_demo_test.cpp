// The command line, where data files are found, and the frame loop over the recording platform:
// start-up and shutdown order, the screen the options lead to, and how a run ends.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "driver/demo_options.h"
#include "driver/run_demo.h"
#include "platform/file_names.h"
#include "support/recording_platform.h"
#include "support/scratch.h"

namespace quarvel::driver {
namespace {

namespace fs = std::filesystem;
using quarvel::testing::RecordingPlatform;
using Action = CommandLine::Action;

TEST(DemoOptions, CommandLines) {
  // What each line leads to: "run" with full screen (1 or 0) and scale, "usage" or "help".
  std::vector<std::pair<std::string, std::string>> cases = {{"", "run 1 1"},
                                                            {"--window", "run 0 2"},
                                                            {"--window --scale 1", "run 0 1"},
                                                            {"--scale 6 --window", "run 0 6"},
                                                            {"--window --help", "help"},
                                                            {"--version --window", "version"}};
  for (const char* bad : {"--window --scale 0", "--window --scale 7", "--window --scale 12",
                          "--window --scale 2x", "--window --scale", "--scale 3", "--windowed"}) {
    cases.push_back({bad, "usage"});
  }
  for (const auto& [text, expected] : cases) {
    std::istringstream words(text);
    const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    const CommandLine line =
        parseCommandLine(std::vector<std::string_view>(args.begin(), args.end()));
    const DemoOptions& o = line.options;
    const std::string got = line.action == Action::Run ? "run " + std::to_string(o.fullScreen) +
                                                             " " + std::to_string(o.scale)
                            : line.action == Action::Help    ? "help"
                            : line.action == Action::Version ? "version"
                                                             : "usage";
    EXPECT_EQ(got, expected) << text;
    EXPECT_EQ(line.action == Action::Usage, !line.error.empty()) << text;
  }
}

TEST(DemoOptions, DataFilesAreFoundInTheFirstFolderThatHoldsThem) {
  // The installed layout, under a name outside any ANSI code page.
  const fs::path scratch = quarvel::testing::scratchDirectory();
  const fs::path root = scratch / platform::pathFromUtf8("\u00dcbung \u2713");
  const fs::path bin = root / "bin", share = root / "share" / "quarvel";
  fs::create_directories(root / "here" / "hv.df");  // a folder, not a file
  fs::create_directories(bin);
  fs::create_directories(share);
  for (const fs::path& file : {root / "here" / "star.df", bin / "star.df", bin / "hv.df",
                               share / "hv.df", share / "wendup.df"}) {
    std::ofstream(file) << "x";
  }
  const fs::path previous = fs::current_path();
  fs::current_path(root / "here");
  const std::vector<fs::path> near = dataFoldersNear(bin), none;
  const std::vector<fs::path> programFirst{bin, fs::path()};
  const auto in = [](const fs::path& folder, const char* name) {
    return platform::utf8FromPath(folder / name);
  };
  const std::tuple<const char*, const std::vector<fs::path>&, std::string> cases[] = {
      {"star.df", near, "star.df"},
      {"hv.df", near, in(bin, "hv.df")},
      {"wendup.df", near, in(share, "wendup.df")},
      {"plonix.df", near, "plonix.df"},
      {"hv.df", none, "hv.df"},
      {"star.df", programFirst, in(bin, "star.df")},
      {"plonix.df", programFirst, in(bin, "plonix.df")},
  };
  for (const auto& [name, folders, expected] : cases) {
    EXPECT_EQ(dataFilePath(name, folders), expected) << name << " in " << folders.size();
  }
  EXPECT_EQ(missingDataWarning("quarvel-capture", near),
            "quarvel-capture: data files not found: zyl-mirvash2.xm, plonix.df, tolvenaq.df "
            "(searched " +
                platform::utf8FromPath(root / "here") + ", " + platform::utf8FromPath(bin) +
                " and " + platform::utf8FromPath(share) + "); the demo runs without them");
  for (const char* name : kDataFileNames) std::ofstream(share / name) << "x";
  EXPECT_EQ(missingDataWarning("quarvel", near), "");
  fs::current_path(previous);
  fs::remove_all(scratch);
}

// Sends each console line into the fake's call log, among the platform calls.
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
std::vector<Scene> run(RecordingPlatform& fake, const DemoOptions& options = {}) {
  const auto previous = fs::current_path();
  fs::current_path(QUARVEL_DATA_DIR);
  LogLines lines(fake);
  std::streambuf* console = std::cout.rdbuf(&lines);
  SceneLog log;
  EXPECT_EQ(runDemo(fake.platform(), &log, options), 0);
  std::cout.rdbuf(console);
  fs::current_path(previous);
  return log.scenes;
}

TEST(RunDemo, StartsInOrderAndTearsDownInReverse) {
  RecordingPlatform fake;
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  EXPECT_EQ(run(fake).size(), 1u);
  // The music plays (device written, worker started) before the star is loaded, then the display,
  // the cursor, the greetings in order, and one peek that keeps the message before the first frame.
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
  EXPECT_EQ(escape.callsFrom("postQuitMessage"), teardown);
  RecordingPlatform close;
  close.onPresent = [](RecordingPlatform& f, std::uint64_t shown) {
    if (shown == 1) f.queue.push_back({100, platform::kMessageClose, 0, 0});
  };
  EXPECT_EQ(run(close).size(), 2u);
  EXPECT_EQ(close.callsFrom("dispatchMessage 16"),
            "dispatchMessage 16; destroyWindow 100; " + teardown);
}

TEST(RunDemo, AWindowAtTheChosenScaleAndPendingMessagesDrainedBeforeAnyFrame) {
  RecordingPlatform fake;
  fake.queue = {{100, platform::kMessageKeyDown, 65, 0}, {100, platform::kMessageKeyDown, 66, 0}};
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  run(fake, {false, 3, {}});
  EXPECT_GE(fake.indexOf("createSurface back flags=7 caps=64 count=0 size=960x720"), 0);
  EXPECT_TRUE(fake.indexOf("setDisplayMode") == -1 && fake.count("blit primary back") == 1);
  const std::string drained =
      "peekMessage keep; peekMessage remove; translateMessage 256; dispatchMessage 256; "
      "defaultWindowProcedure 256; peekMessage remove; translateMessage 256; "
      "dispatchMessage 256; defaultWindowProcedure 256; peekMessage remove; restore primary; ";
  EXPECT_EQ(fake.callsFrom("peekMessage keep").substr(0, drained.size()), drained);
}

TEST(RunDemo, OneSecondFramesEndAtEightySecondsAndReportOnceEveryTwoFrames) {
  RecordingPlatform fake;
  fake.frameMs = 1000;
  fake.failing = {"openSoundDevice"};  // without sound the demo runs silently all the same
  const std::vector<Scene> scenes = run(fake);
  // Frames at t = 0 .. 79 draw; the frame at t = 80 only quits and is still presented.
  ASSERT_EQ(scenes.size(), 81u);
  EXPECT_EQ(fake.presents, 81u);
  // Each scene starts on the frame whose clock reaches its start exactly.
  const Scene expected[] = {Scene::Star,  Scene::Rays,      Scene::Rays,      Scene::Blobs,
                            Scene::Blobs, Scene::Greetings, Scene::Greetings, Scene::End};
  const int frames[] = {14, 15, 39, 40, 54, 55, 79, 80};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(scenes[frames[i]], expected[i]) << frames[i];
  EXPECT_EQ(fake.indexOf("startThread"), -1);
  // Each window holds one one-second frame; the next call reports and drops its own.
  EXPECT_TRUE(fake.count("stdout [") == 40 && fake.count("stdout [1]") == 40);
  EXPECT_EQ(fake.count("postQuitMessage"), 1);
}

}  // namespace
}  // namespace quarvel::driver
