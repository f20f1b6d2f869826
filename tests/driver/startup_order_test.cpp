// The order of start-up and shutdown, seen through the recording platform and the console.
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "support/recording_platform.h"
#include "xmwriter/xm_writer.h"

namespace quarvel::driver {
namespace {

namespace fs = std::filesystem;
using quarvel::testing::RecordingPlatform;

// Sends each console line into the fake's call log, so that the mesh loader's
// lines fall in place among the platform calls.
class LogLines final : public std::streambuf {
 public:
  explicit LogLines(RecordingPlatform& fake) : fake_(fake) {}

 protected:
  int overflow(int c) override {
    if (c == '\n') {
      fake_.record("stdout " + line_);
      line_.clear();
    } else if (c != traits_type::eof()) {
      line_ += static_cast<char>(c);
    }
    return c;
  }

 private:
  RecordingPlatform& fake_;
  std::string line_;
};

// A directory with the demo's meshes and a small module in place of the music.
fs::path prepareDataDirectory() {
  const fs::path dir = fs::temp_directory_path() / "quarvel-startup-order";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* name : {"star.df", "plonix.df", "hv.df", "wendup.df", "tolvenaq.df"}) {
    fs::copy_file(fs::path(QUARVEL_DATA_DIR) / name, dir / name);
  }
  xmwriter::Module m;
  m.orders = {0};
  m.addPattern(4);
  xmwriter::Instrument beep;
  beep.samples.push_back({});
  beep.samples.back().values = {0, 60, 0, -60};
  beep.samples.back().loop = xmwriter::Loop::kForward;
  beep.samples.back().loopLength = 4;
  m.instruments.push_back(beep);
  m.patterns[0].at(0, 0, m.channels) = {xmwriter::note(4, 0), 1, 0, 0, 0};
  EXPECT_TRUE(xmwriter::save(m, (dir / "zyl-mirvash2.xm").string()));
  return dir;
}

TEST(StartupOrder, MusicFirstThenMeshesAndDisplayAndTheReverseAtTheEnd) {
  const fs::path dir = prepareDataDirectory();
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  RecordingPlatform fake;
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t) { f.escape = true; };
  LogLines lines(fake);
  std::streambuf* console = std::cout.rdbuf(&lines);
  const int result = runDemo(fake.platform());
  std::cout.rdbuf(console);
  fs::current_path(previous);
  ASSERT_EQ(result, 0);

  const auto at = [&](const std::string& prefix) {
    const int i = fake.indexOf(prefix);
    EXPECT_GE(i, 0) << prefix << " never happened";
    return i;
  };
  // Start-up: the music plays (device written, worker started) before the star is
  // loaded; the display comes next, then the cursor, then the greetings in order.
  EXPECT_LT(at("openSoundDevice"), at("sound write"));
  EXPECT_LT(at("sound write"), at("startThread"));
  EXPECT_LT(at("startThread"), at("stdout star"));
  EXPECT_LT(at("stdout star"), at("registerClass"));
  EXPECT_LT(at("getPixelFormat"), at("showCursor 0"));
  EXPECT_LT(at("showCursor 0"), at("stdout plonix"));
  EXPECT_LT(at("stdout plonix"), at("stdout hv"));
  EXPECT_LT(at("stdout hv"), at("stdout wendup"));
  EXPECT_LT(at("stdout wendup"), at("stdout tolvenaq"));
  EXPECT_LT(at("stdout tolvenaq"), at("peekMessage keep"));
  EXPECT_LT(at("peekMessage keep"), at("lock back"));
  // Shutdown: the display goes before the music, and the worker has ended
  // before the device stops.
  EXPECT_LT(at("unregisterClass"), at("forgetThread"));
  EXPECT_LT(at("forgetThread"), at("sound reset"));
  EXPECT_EQ(fake.calls.back(), "sound close");
}

TEST(StartupOrder, WithoutSoundTheDemoRunsSilently) {
  RecordingPlatform fake;
  fake.failing = {"openSoundDevice"};
  fake.onPresent = [](RecordingPlatform& f, std::uint64_t shown) {
    if (shown == 2) f.escape = true;
  };
  const fs::path previous = fs::current_path();
  fs::current_path(prepareDataDirectory());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(fake.platform()), 0);
  ::testing::internal::GetCapturedStdout();
  fs::current_path(previous);
  EXPECT_EQ(fake.presents, 3u);
  EXPECT_EQ(fake.indexOf("startThread"), -1);
}

}  // namespace
}  // namespace quarvel::driver
