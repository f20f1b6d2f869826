// quarvel-capture and the tools' shared parts: PNG and WAV files, the progress display, and the
// command line as a user runs it.
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/png_file.h"
#include "common/progress.h"
#include "common/wav_file.h"

namespace fs = std::filesystem;
using quarvel::tools::ProgressBar;
using quarvel::tools::ProgressStyle;

namespace {

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("quarvel-capture-test-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The image's pixels as 0xRRGGBB, read through libpng; empty when it is not a readable PNG.
std::vector<std::uint32_t> readPng(const fs::path& path, std::uint32_t& width,
                                   std::uint32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.string().c_str()) == 0) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) return {};
  width = image.width;
  height = image.height;
  std::vector<std::uint32_t> pixels(rgb.size() / 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = (std::uint32_t{rgb[3 * i]} << 16) | (rgb[3 * i + 1] << 8) | rgb[3 * i + 2];
  }
  return pixels;
}

TEST(PngFile, KeepsEveryColourDropsTheTopByteAndCompresses) {
  const fs::path file = scratch("png") / "a.png";
  std::vector<std::uint32_t> pixels(320 * 240);
  for (std::uint32_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = 0x01000000 | ((i % 320) & 0xFF) << 16 | (i / 320) << 8 | ((i * 7) & 0xFF);
  }
  ASSERT_TRUE(quarvel::tools::writePng(file.string(), pixels.data(), 320, 240));
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::vector<std::uint32_t> back = readPng(file, width, height);
  ASSERT_EQ(width, 320u);
  ASSERT_EQ(height, 240u);
  for (std::size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(back[i], pixels[i] & 0xFFFFFF) << i;
  EXPECT_LT(fs::file_size(file), 320u * 240 * 3 / 4);  // stored rows would take 230 KB
}

TEST(WavFile, HeaderDescribesSixteenBitStereo) {
  const fs::path file = scratch("wav") / "a.wav";
  ASSERT_TRUE(quarvel::tools::writeWav(file.string(), {1, -2, 3, -32768}, 44100));
  const std::string wav = readText(file);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav[22], 2);                                         // channels
  EXPECT_EQ(wav.substr(24, 4), std::string("\x44\xAC\0\0", 4));  // 44100
  EXPECT_EQ(wav[34], 16);                                        // bits
  EXPECT_EQ(wav[40], 8);                                         // data bytes
  EXPECT_EQ(wav.substr(46, 2), "\xFE\xFF");                      // -2, little-endian
}

std::string bar(int cells) {
  return "[" + std::string(cells, '#') + std::string(30 - cells, '.') + "]";
}

TEST(ProgressBar, RedrawsInPlaceOnATerminalAndPrintsTenthsElsewhere) {
  struct Case {
    ProgressStyle style;
    std::string expected;
  };
  const Case cases[] = {
      {ProgressStyle::kBar, "\rrun " + bar(7) + " 25% 1/4 f" + "\rrun " + bar(15) +
                                " 50% 2/4 f, 1 more" + "\rrun " + bar(30) + " 100% 4/4 f" +
                                std::string(7, ' ') + "\n"},
      {ProgressStyle::kTenths, "run: 20% (1/4 f)\nrun: 50% (2/4 f, 1 more)\nrun: 100% (4/4 f)\n"},
      {ProgressStyle::kNone, ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    ProgressBar progress(out, c.style, "run", "f", 4);
    progress.update(1);
    progress.update(1);
    progress.update(2, ", 1 more");
    progress.update(9);  // beyond the total
    progress.finish();
    EXPECT_EQ(out.str(), c.expected) << static_cast<int>(c.style);
  }
}

TEST(ProgressBar, LinesPrintedMeanwhileGoAboveIt) {
  std::ostringstream screen;
  ProgressBar progress(screen, ProgressStyle::kBar, "run", "f", 4);
  std::ostream demo(screen.rdbuf());
  {
    const quarvel::tools::LinesAboveBar lines(demo, progress);
    demo << "star\n";  // before the bar is first drawn
    progress.update(1);
    demo << '[' << 60 << ']' << std::endl;
    demo << "half";
  }
  const std::string drawn = "\rrun " + bar(7) + " 25% 1/4 f";
  const std::string blank = "\r" + std::string(drawn.size() - 1, ' ') + "\r";
  EXPECT_EQ(screen.str(), "star\n" + drawn + blank + "[60]\n" + drawn + blank + "half");
}

int run(const std::string& arguments) {
  const int status = std::system((QUARVEL_CAPTURE_PATH " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CaptureCommand, WritesExactlyTheRequestedFramesTheSameEachTime) {
  const fs::path dir = scratch("frames");
  const std::string args = "--data " QUARVEL_DATA_DIR " > /dev/null 2>&1 --png ";
  ASSERT_EQ(run(args + (dir / "a").string() + " --frames 0:9"), 0);
  ASSERT_EQ(run(args + (dir / "b").string() + " --frames 4:5"), 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir / "a")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "frame-00000.png");
  EXPECT_EQ(names.back(), "frame-00009.png");
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  EXPECT_EQ(readPng(dir / "a" / "frame-00005.png", width, height).size(), 320u * 240);
  EXPECT_EQ(readText(dir / "a" / "frame-00005.png"), readText(dir / "b" / "frame-00005.png"));
  EXPECT_FALSE(fs::exists(dir / "b" / "frame-00003.png"));
}

TEST(CaptureCommand, OnATerminalTheDemosLinesGoAboveTheBar) {
  if (std::system("script -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "no script command";
  const fs::path screen = scratch("terminal") / "screen";
  // script gives the run a terminal of its own, as a user's shell does.
  ASSERT_EQ(std::system(("script -qec '" QUARVEL_CAPTURE_PATH " --data " QUARVEL_DATA_DIR
                         " --frames 0:70' /dev/null < /dev/null > " +
                         screen.string())
                            .c_str()),
            0);
  // The bar's line is blanked, the line printed, and the bar drawn again below it.
  EXPECT_TRUE(std::regex_search(readText(screen),
                                std::regex("frames\r +\r\\[60\\]\r\n\rrendering \\[#+\\.+\\]")))
      << readText(screen);
}

TEST(CaptureCommand, RefusesBadArguments) {
  EXPECT_EQ(run("--frames 9:3 2> /dev/null"), 2);
  EXPECT_EQ(run("--fps 0 2> /dev/null"), 2);
  EXPECT_EQ(run("--bogus 2> /dev/null"), 2);
  EXPECT_EQ(run("--data /nonexistent/quarvel 2> /dev/null"), 1);
}

}  // namespace
