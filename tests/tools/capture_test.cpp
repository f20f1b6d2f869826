// quarvel-capture and the tools' shared parts: PNG and WAV files, the progress display, and the
// command line as a user runs it.
#include <png.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/png_file.h"
#include "common/progress.h"
#include "common/wav_file.h"
#include "run_tool.h"

namespace fs = std::filesystem;
using quarvel::testing::readFile;
using quarvel::testing::ToolFolder;
using quarvel::tools::ProgressBar;
using quarvel::tools::ProgressStyle;

namespace {

// The red, green and blue bytes of a PNG file, read through libpng; `image` gets its size.
std::vector<std::uint8_t> readPng(const fs::path& path, png_image& image) {
  image = {};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::uint8_t> rgb;
  if (png_image_begin_read_from_file(&image, path.string().c_str()) != 0) {
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) rgb.clear();
  }
  return rgb;
}

TEST(ToolFiles, PngKeepsEveryColourAndCompressesWavSaysSixteenBitStereo) {
  const ToolFolder folder;
  const fs::path file = folder.dir / "a.png";
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> rgb;
  for (std::uint32_t i = 0; i < 320 * 240; ++i) {
    rgb.insert(rgb.end(), {std::uint8_t(i % 320), std::uint8_t(i / 320), std::uint8_t(i * 7)});
    pixels.push_back(0x01000000 | rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
  }
  ASSERT_TRUE(quarvel::tools::writePng(file.string(), pixels.data(), 320, 240));
  png_image image;
  EXPECT_EQ(readPng(file, image), rgb);
  EXPECT_EQ(image.width, 320u);
  EXPECT_LT(fs::file_size(file), 320u * 240 * 3 / 4);  // stored rows would take 230 KB

  ASSERT_TRUE(quarvel::tools::writeWav((folder.dir / "a.wav").string(), {1, -2, 3, -32768}, 44100));
  const std::string wav = readFile(folder.dir / "a.wav");
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(22, 14), std::string("\2\0\x44\xAC\0\0\x10\xB1\2\0\4\0\x10\0", 14));
  EXPECT_EQ(wav.substr(40, 8), std::string("\x08\0\0\0\1\0\xFE\xFF", 8));
}

std::string bar(int cells) {
  return "[" + std::string(cells, '#') + std::string(30 - cells, '.') + "]";
}

TEST(ProgressBar, RedrawsInPlaceOnATerminalAndPrintsTenthsElsewhere) {
  const std::pair<ProgressStyle, std::string> cases[] = {
      {ProgressStyle::kBar, "\rrun " + bar(7) + " 25% 1/4 f" + "\rrun " + bar(15) +
                                " 50% 2/4 f, 1 more" + "\rrun " + bar(30) + " 100% 4/4 f" +
                                std::string(7, ' ') + "\n"},
      {ProgressStyle::kTenths, "run: 20% (1/4 f)\nrun: 50% (2/4 f, 1 more)\nrun: 100% (4/4 f)\n"},
      {ProgressStyle::kNone, ""},
  };
  for (const auto& [style, expected] : cases) {
    std::ostringstream out;
    ProgressBar progress(out, style, "run", "f", 4);
    progress.update(1);
    progress.update(1);
    progress.update(2, ", 1 more");
    progress.update(9);  // beyond the total
    progress.finish();
    EXPECT_EQ(out.str(), expected) << static_cast<int>(style);
  }
}

const std::string kCapture = QUARVEL_CAPTURE_PATH " --data " QUARVEL_DATA_DIR;

TEST(CaptureCommand, WritesExactlyTheRequestedFramesTheSameEachTime) {
  const ToolFolder folder;
  ASSERT_EQ(folder.run(kCapture + " --frames 0:9 --png a"), 0);
  ASSERT_EQ(folder.run(kCapture + " --frames 4:5 --png b"), 0);
  const fs::path& dir = folder.dir;
  EXPECT_TRUE(fs::exists(dir / "a" / "frame-00000.png") &&
              fs::exists(dir / "a" / "frame-00009.png"));
  EXPECT_FALSE(fs::exists(dir / "a" / "frame-00010.png"));
  png_image image;
  EXPECT_EQ(readPng(dir / "a" / "frame-00005.png", image).size(), 320u * 240 * 3);
  EXPECT_EQ(readFile(dir / "a" / "frame-00005.png"), readFile(dir / "b" / "frame-00005.png"));
  EXPECT_FALSE(fs::exists(dir / "b" / "frame-00003.png"));
}

// Frame 450's line holds the whole-demo test's pinned hash of that picture.
TEST(CaptureCommand, HashesOneLinePerFrameOfTheRangeThenTheSound) {
  const ToolFolder folder;
  ASSERT_EQ(folder.run(kCapture + " --frames 448:450 --hashes a.txt"), 0);
  ASSERT_EQ(folder.run(kCapture + " --frames 449:449 --hashes b.txt"), 0);
  const std::string a = readFile(folder.dir / "a.txt");
  const std::string b = readFile(folder.dir / "b.txt");
  ASSERT_EQ(a.size(), 3 * 21u + 23u) << a;  // "448 " and 16 digits; "sound " and 16 digits
  EXPECT_EQ(a.substr(0, 4), "448 ");
  EXPECT_EQ(a.substr(42, 21), "450 841969116150ee57\n");
  EXPECT_EQ(a.substr(63, 6), "sound ");
  EXPECT_EQ(b.substr(0, 21), a.substr(21, 21));
  EXPECT_NE(b.substr(21), a.substr(63)) << "the shorter run played less music";
}

// Shown in real time, the same frames take at least their blanks' time:
// twenty frames at 10 per second, two seconds (far more than they take to draw).
TEST(CaptureCommand, InRealTimeTheSameFramesTakeTheirTime) {
  const ToolFolder folder;
  ASSERT_EQ(folder.run(kCapture + " --fps 10 --frames 0:19 --hashes a.txt"), 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(folder.run(kCapture + " --fps 10 --frames 0:19 --hashes b.txt --real-time"), 0);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took.count(), 2.0);
  EXPECT_EQ(readFile(folder.dir / "a.txt"), readFile(folder.dir / "b.txt"));
}

TEST(CaptureCommand, OnATerminalTheDemosLinesGoAboveTheBar) {
  const ToolFolder folder;
  if (folder.run("script -V") != 0) GTEST_SKIP() << "no script command";
  // script gives the run a terminal of its own, as a user's shell does.
  std::string screen;
  ASSERT_EQ(
      folder.run("script -qec '" + kCapture + " --frames 0:70' /dev/null < /dev/null", &screen), 0);
  // The bar's line is blanked, the line printed, and the bar drawn again below it.
  const std::size_t line = screen.find("\r[60]\r\n\rrendering [");
  ASSERT_NE(line, std::string::npos) << screen;
  const std::size_t blanked = screen.find_last_not_of(' ', line - 1);
  EXPECT_TRUE(blanked < line - 1 && screen.compare(blanked - 6, 7, "frames\r") == 0) << screen;
  const std::string bar = screen.substr(line + 19, screen.find(']', line + 19) - line - 19);
  const std::size_t dots = bar.find('.');
  EXPECT_TRUE(dots > 0 && dots != std::string::npos && bar.find_first_not_of('#') == dots &&
              bar.find_first_not_of('.', dots) == std::string::npos)
      << screen;
}

TEST(CaptureCommand, RefusesBadArguments) {
  const ToolFolder folder;
  for (const char* arguments : {"--frames 9:3", "--fps 0", "--bogus"}) {
    EXPECT_EQ(folder.run(QUARVEL_CAPTURE_PATH " " + std::string(arguments)), 2) << arguments;
  }
  EXPECT_EQ(folder.run(QUARVEL_CAPTURE_PATH " --data /nonexistent/quarvel"), 1);
}

}  // namespace
