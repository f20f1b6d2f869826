// Regression guard for the pictures: hashes of frames from every scene of a headless run at 60 fps.
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "platform/headless/headless_platform.h"

namespace quarvel::driver {
namespace {

std::uint64_t hashPixels(const std::uint32_t* pixels, std::size_t count) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the pixel words
  for (std::size_t i = 0; i < count; ++i) hash = (hash ^ pixels[i]) * 1099511628211ull;
  return hash;
}

// Runs the demo from the data directory and hashes the frames asked for.
std::map<std::uint64_t, std::uint64_t> runAndHash(const std::map<std::uint64_t, std::uint64_t>& want) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  platform::headless::HeadlessPlatform headless;
  std::map<std::uint64_t, std::uint64_t> got;
  headless.setFrameSink([&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t w,
                            std::uint32_t h) {
    if (want.count(index) != 0) got[index] = hashPixels(pixels, std::size_t{w} * h);
  });
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform()), 0);
  ::testing::internal::GetCapturedStdout();
  std::filesystem::current_path(previous);
  return got;
}

// Frames: the first two, mid-scene and the last of the opening scene, the
// first frames of the others, and the frame that ends the run.
const std::map<std::uint64_t, std::uint64_t> kExpected = {
    {0, 0x80a69197c1fb9325ull},
    {1, 0x80a69197c1fb9325ull},
    {450, 0x841969116150ee57ull},
    {899, 0x11b7700b9ee88dafull},
    {900, 0xfc27547b74b7a35cull},
    {901, 0xb135658994bf6bfeull},
    {1700, 0xc267847dceac67b7ull},
    {2400, 0x9ffa26479c08ace0ull},
    {2401, 0xe03a813294474e2cull},
    {2900, 0x8cf65a14dd1970feull},
    {3300, 0x0bc305e96ef28926ull},
    {3301, 0xaba9b09a297629d2ull},
    {4200, 0xa27cfd46aa1d66abull},
    {4800, 0x4ef6ed9fd66c51fdull},
    {4801, 0x4ef6ed9fd66c51fdull},
};

TEST(DemoFrames, EveryScenePicturesAsPinned) {
  const auto got = runAndHash(kExpected);
  for (const auto& [frame, hash] : kExpected) {
    ASSERT_EQ(got.count(frame), 1u) << "frame " << frame << " was never presented";
    EXPECT_EQ(got.at(frame), hash) << "frame " << frame << " changed: now 0x" << std::hex
                                   << got.at(frame);
  }
  // The end frame draws nothing: the last picture is shown once more.
  EXPECT_EQ(got.at(4801), got.at(4800));
}

}  // namespace
}  // namespace quarvel::driver
