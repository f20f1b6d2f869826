// quarvel-capture and its file writers: PNG and WAV bytes, and the command line as a user runs it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/png_file.h"
#include "common/wav_file.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t big32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("quarvel-capture-test-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Reads back the scanlines of a PNG made of stored deflate blocks.
std::vector<std::uint8_t> storedScanlines(const std::vector<std::uint8_t>& png) {
  std::size_t at = 8;
  std::vector<std::uint8_t> zlib;
  while (at + 8 <= png.size()) {
    const std::uint32_t length = big32(png, at);
    const std::string type(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8);
    if (type == "IDAT") {
      zlib.insert(zlib.end(), png.begin() + static_cast<long>(at) + 8,
                  png.begin() + static_cast<long>(at + 8 + length));
    }
    at += 12 + length;
  }
  std::vector<std::uint8_t> out;
  std::size_t p = 2;
  for (;;) {
    const bool last = zlib[p] & 1;
    const std::size_t n = zlib[p + 1] | (zlib[p + 2] << 8);
    EXPECT_EQ(n, static_cast<std::size_t>((~(zlib[p + 3] | (zlib[p + 4] << 8))) & 0xFFFF));
    out.insert(out.end(), zlib.begin() + static_cast<long>(p + 5),
               zlib.begin() + static_cast<long>(p + 5 + n));
    p += 5 + n;
    if (last) break;
  }
  return out;
}

TEST(PngFile, StoresEveryPixelAsRgbAcrossSeveralBlocks) {
  const fs::path dir = scratch("png");
  // 200 x 120 RGB rows are 72120 bytes: more than one stored block.
  std::vector<std::uint32_t> pixels(200 * 120);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
  ASSERT_TRUE(quarvel::tools::writePng((dir / "a.png").string(), pixels.data(), 200, 120));
  const auto png = readBytes(dir / "a.png");
  ASSERT_GT(png.size(), 72120u);
  EXPECT_EQ(big32(png, 16), 200u);
  EXPECT_EQ(big32(png, 20), 120u);
  const auto rows = storedScanlines(png);
  ASSERT_EQ(rows.size(), 120u * (1 + 600));
  for (std::size_t y : {0u, 57u, 119u}) {
    EXPECT_EQ(rows[y * 601], 0);  // no filter
    for (std::size_t x : {0u, 1u, 199u}) {
      const std::uint32_t p = pixels[y * 200 + x];
      EXPECT_EQ(rows[y * 601 + 1 + 3 * x], (p >> 16) & 0xFF);
      EXPECT_EQ(rows[y * 601 + 2 + 3 * x], (p >> 8) & 0xFF);
      EXPECT_EQ(rows[y * 601 + 3 + 3 * x], p & 0xFF);
    }
  }
}

TEST(WavFile, HeaderDescribesSixteenBitStereo) {
  const fs::path dir = scratch("wav");
  ASSERT_TRUE(quarvel::tools::writeWav((dir / "a.wav").string(), {1, -2, 3, -32768}, 44100));
  const auto wav = readBytes(dir / "a.wav");
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav[22], 2);                                   // channels
  EXPECT_EQ(wav[24] | (wav[25] << 8), 44100 & 0xFFFF);     // rate, low half
  EXPECT_EQ(wav[34], 16);                                  // bits
  EXPECT_EQ(wav[40], 8);                                   // data bytes
  EXPECT_EQ(wav[46], 0xFE);                                // -2, little-endian
  EXPECT_EQ(wav[47], 0xFF);
}

int run(const std::string& arguments) {
  const std::string command = std::string(QUARVEL_CAPTURE_PATH) + " " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
#if defined(_WIN32)
  return status;  // Windows gives the exit code itself
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST(CaptureCommand, WritesExactlyTheRequestedFrames) {
  const fs::path dir = scratch("frames");
  ASSERT_EQ(run("--data " QUARVEL_DATA_DIR " --frames 0:9 --png " + (dir / "out").string() +
                " > /dev/null"),
            0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir / "out")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "frame-00000.png");
  EXPECT_EQ(names.back(), "frame-00009.png");
}

TEST(CaptureCommand, SameFramesGiveTheSameBytes) {
  const fs::path dir = scratch("repeat");
  for (const char* name : {"a", "b"}) {
    ASSERT_EQ(run("--data " QUARVEL_DATA_DIR " --frames 3:4 --png " + (dir / name).string() +
                  " > /dev/null"),
              0);
  }
  EXPECT_EQ(readBytes(dir / "a" / "frame-00004.png"), readBytes(dir / "b" / "frame-00004.png"));
  EXPECT_FALSE(fs::exists(dir / "a" / "frame-00002.png"));
}

TEST(CaptureCommand, RefusesBadArguments) {
  EXPECT_EQ(run("--frames 9:3"), 2);
  EXPECT_EQ(run("--fps 0"), 2);
  EXPECT_EQ(run("--bogus"), 2);
  EXPECT_EQ(run("--data /nonexistent/quarvel"), 1);
}

}  // namespace
