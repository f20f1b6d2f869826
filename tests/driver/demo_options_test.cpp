// The demo's command line, the screen it leads to, and where data files are found.
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "driver/demo_options.h"
#include "driver/run_demo.h"
#include "support/recording_platform.h"
#include "support/scratch.h"

namespace quarvel::driver {
namespace {

namespace fs = std::filesystem;
using Action = CommandLine::Action;

TEST(DemoOptions, CommandLines) {
  struct Case {
    std::vector<std::string_view> args;
    Action action;
    bool fullScreen;
    std::uint32_t scale;
  };
  const Case cases[] = {
      {{}, Action::Run, true, 1},
      {{"--window"}, Action::Run, false, 2},
      {{"--window", "--scale", "1"}, Action::Run, false, 1},
      {{"--scale", "6", "--window"}, Action::Run, false, 6},
      {{"--window", "--scale", "0"}, Action::Usage, false, 2},
      {{"--window", "--scale", "7"}, Action::Usage, false, 2},
      {{"--window", "--scale", "12"}, Action::Usage, false, 2},
      {{"--window", "--scale", "2x"}, Action::Usage, false, 2},
      {{"--window", "--scale"}, Action::Usage, false, 2},
      {{"--scale", "3"}, Action::Usage, true, 3},
      {{"--windowed"}, Action::Usage, true, 1},
      {{"--window", "--help"}, Action::Help, false, 1},
  };
  for (const Case& c : cases) {
    std::string name;
    for (std::string_view a : c.args) name += std::string(a) + " ";
    const CommandLine line = parseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action) << name;
    EXPECT_EQ(line.action == Action::Usage, !line.error.empty()) << name;
    if (line.action != Action::Run) continue;
    EXPECT_EQ(line.options.fullScreen, c.fullScreen) << name;
    EXPECT_EQ(line.options.scale, c.scale) << name;
  }
}

TEST(DemoOptions, DataFilesAreFoundInTheFirstFolderThatHoldsThem) {
  const fs::path root = quarvel::testing::scratchDirectory();
  fs::create_directories(root / "here" / "hv.df");  // a folder, not a file
  fs::create_directories(root / "program");
  for (const char* file : {"here/star.df", "program/star.df", "program/hv.df"}) {
    std::ofstream(root / file) << "x";
  }
  const fs::path previous = fs::current_path();
  fs::current_path(root / "here");
  const std::vector<fs::path> near = dataFoldersNear(root / "program"), none;
  const std::vector<fs::path> programFirst{root / "program", fs::path()};
  const auto program = [&](const char* name) { return (root / "program" / name).string(); };
  const std::tuple<const char*, const std::vector<fs::path>&, std::string> cases[] = {
      {"star.df", near, "star.df"},
      {"hv.df", near, program("hv.df")},
      {"plonix.df", near, "plonix.df"},
      {"hv.df", none, "hv.df"},
      {"star.df", programFirst, program("star.df")},
      {"plonix.df", programFirst, program("plonix.df")},
  };
  for (const auto& [name, folders, expected] : cases) {
    EXPECT_EQ(dataFilePath(name, folders), expected) << name << " in " << folders.size();
  }
  EXPECT_EQ(missingDataWarning("quarvel-capture", near),
            "quarvel-capture: data files not found: zyl-mirvash2.xm, plonix.df, wendup.df, "
            "tolvenaq.df (searched " +
                (root / "here").string() + " and " + (root / "program").string() +
                "); the demo runs without them");
  for (const char* name : kDataFileNames) std::ofstream(root / "program" / name) << "x";
  EXPECT_EQ(missingDataWarning("quarvel", near), "");
  fs::current_path(previous);
  fs::remove_all(root);
}

TEST(DemoOptions, TheWindowedScaleReachesTheDisplay) {
  quarvel::testing::RecordingPlatform fake;
  fake.onPresent = [](quarvel::testing::RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  DemoOptions options;
  options.fullScreen = false;
  options.scale = 3;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(fake.platform(), nullptr, options), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_GE(fake.indexOf("setCooperativeLevel 100 8"), 0);
  EXPECT_GE(fake.indexOf("createSurface back flags=7 caps=64 count=0 size=960x720"), 0);
  EXPECT_GE(fake.indexOf("blit primary back"), 0);
  EXPECT_EQ(fake.indexOf("setDisplayMode"), -1);
}

}  // namespace
}  // namespace quarvel::driver
