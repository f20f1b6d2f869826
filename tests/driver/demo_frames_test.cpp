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

struct RunHashes {
  std::map<std::uint64_t, std::uint64_t> frames;
  std::uint64_t sound = 0;
  std::size_t soundSamples = 0;
};

// Runs the demo from the data directory and hashes the frames asked for and
// everything the sound device played.
RunHashes runAndHash(const std::map<std::uint64_t, std::uint64_t>& want) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  platform::headless::HeadlessPlatform headless;
  RunHashes got;
  headless.setFrameSink([&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t w,
                            std::uint32_t h) {
    if (want.count(index) != 0) got.frames[index] = hashPixels(pixels, std::size_t{w} * h);
  });
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform()), 0);
  ::testing::internal::GetCapturedStdout();
  std::filesystem::current_path(previous);
  const auto& sound = headless.recordedSound();
  got.soundSamples = sound.size();
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::int16_t s : sound) {
    hash = (hash ^ static_cast<std::uint16_t>(s)) * 1099511628211ull;
  }
  got.sound = hash;
  return got;
}

// Frames: the first two, mid-scene, the first with the star's once-rounded
// cosine (794) and the last of the opening scene, the first frames of the
// others, a particle landing on x = 274.5 (3757), and the frame that ends the run.
const std::map<std::uint64_t, std::uint64_t> kExpected = {
    {0, 0x80a69197c1fb9325ull},
    {1, 0x80a69197c1fb9325ull},
    {450, 0x841969116150ee57ull},
    {794, 0x1b7c04160312f16bull},
    {899, 0xfa4703a9332b2730ull},
    {900, 0xfc27547b74b7a35cull},
    {901, 0xb135658994bf6bfeull},
    {1700, 0xc267847dceac67b7ull},
    {2400, 0x9ffa26479c08ace0ull},
    {2401, 0xe03a813294474e2cull},
    {2900, 0x8cf65a14dd1970feull},
    {3300, 0x0bc305e96ef28926ull},
    {3301, 0xaba9b09a297629d2ull},
    {3757, 0x8e4ddcf87131c834ull},
    {4200, 0xa27cfd46aa1d66abull},
    {4800, 0x4ef6ed9fd66c51fdull},
    {4801, 0x4ef6ed9fd66c51fdull},
};

const std::uint64_t kSoundHash = 0x5e10cf9b15636506ull;

TEST(DemoFrames, EveryScenePictureAndTheSoundAsPinned) {
  const RunHashes got = runAndHash(kExpected);
  for (const auto& [frame, hash] : kExpected) {
    ASSERT_EQ(got.frames.count(frame), 1u) << "frame " << frame << " was never presented";
    EXPECT_EQ(got.frames.at(frame), hash)
        << "frame " << frame << " changed: now 0x" << std::hex << got.frames.at(frame);
  }
  // The end frame draws nothing: the last picture is shown once more.
  EXPECT_EQ(got.frames.at(4801), got.frames.at(4800));
  // The music plays from the start of the run until the shutdown, which comes
  // after the last frame's vertical blank (4802 blanks at 60 Hz) and one 10 ms
  // wait for the audio worker to end.
  const std::uint64_t ticks = 4802ull * 1000 + 10 * 60;  // a tick is 1/60 ms
  EXPECT_EQ(got.soundSamples, 2 * (ticks * 44100 / 60000));
  EXPECT_EQ(got.sound, kSoundHash) << "the sound changed: now 0x" << std::hex << got.sound;
}

}  // namespace
}  // namespace quarvel::driver
