// The whole demo on the headless backend: pinned pictures and sound at 60 fps, the scene
// boundaries, the frame-rate line, the blob centres as the first draws of the shared sequence,
// and every frame the same on every vector path as on the reference.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "effects/particle_system.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/output_hash.h"
#include "support/vector_paths.h"

namespace quarvel::driver {
namespace {

using platform::headless::HeadlessPlatform;
using platform::headless::outputHash;

struct SceneLog final : FrameObserver {
  std::vector<Scene> scenes;
  void frameDrawn(Scene scene) override { scenes.push_back(scene); }
};

// Runs the whole demo from the data folder; returns what it printed.
std::string runWhole(HeadlessPlatform& headless, FrameObserver* observer,
                     const DemoOptions& options = {}) {
  effects::ParticleSystem::swing = 1.0f;  // its value at program start: this process runs it twice
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform(), observer, options), 0);
  std::filesystem::current_path(previous);
  return ::testing::internal::GetCapturedStdout();
}

TEST(DemoRun, PicturesSoundAndScheduleAsPinned) {
  // Frames: mid-opening, the first frame where the star's orbit rounds its
  // cosine once (it was an ulp off before), the last star frame, the first
  // frame of every other scene, a greetings frame where a particle lands on
  // x = 274.5 (274.49997 when its motion was rounded twice), and the last picture.
  const std::map<std::uint64_t, std::uint64_t> pinned = {
      {450, 0x841969116150ee57ull},  {794, 0x1b7c04160312f16bull},
      {899, 0xfa4703a9332b2730ull},  {900, 0xfc27547b74b7a35cull},
      {2401, 0xe03a813294474e2cull}, {3301, 0xaba9b09a297629d2ull},
      {3757, 0x8e4ddcf87131c834ull}, {4800, 0x4ef6ed9fd66c51fdull},
      {4801, 0x4ef6ed9fd66c51fdull},  // the end frame draws nothing: the last picture again
  };
  std::map<std::uint64_t, std::uint64_t> got;
  std::vector<std::uint32_t> firstBlobFrame;
  HeadlessPlatform headless;
  headless.setFrameSink(
      [&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t w, std::uint32_t h) {
        if (index == 2401) firstBlobFrame.assign(pixels, pixels + std::size_t{w} * h);
        if (pinned.count(index) != 0) got[index] = outputHash(pixels, std::size_t{w} * h);
      });
  SceneLog log;
  const std::string out = runWhole(headless, &log);
  for (const auto& [frame, hash] : pinned) {
    EXPECT_EQ(got[frame], hash) << "frame " << frame << " is now 0x" << std::hex << got[frame];
  }
  // Frames last 16, 17, 17 ms; their float sum reaches 15, 40, 55 and 80 s at
  // the starts of frames 900, 2401, 3301 and 4801.
  ASSERT_EQ(log.scenes.size(), 4802u);
  const std::pair<std::size_t, Scene> boundaries[] = {
      {899, Scene::Star},       {900, Scene::Rays},   {2400, Scene::Rays},
      {2401, Scene::Blobs},     {3300, Scene::Blobs}, {3301, Scene::Greetings},
      {4800, Scene::Greetings}, {4801, Scene::End}};
  for (const auto& [frame, scene] : boundaries) EXPECT_EQ(log.scenes[frame], scene) << frame;
  EXPECT_EQ(headless.framesPresented(), 4802u);
  EXPECT_EQ(out.substr(out.find('['), 5), "[60]\n");

  // The blobs were filled before the particles took their draws, so the first
  // blob frame lights the ten centres of the classic runtime sequence (state 1,
  // never seeded): five draws each, of which the third and fourth are x and y.
  ASSERT_EQ(firstBlobFrame.size(), 76800u);
  std::uint32_t state = 1, draws[50];
  for (std::uint32_t& d : draws) d = ((state = state * 214013u + 2531011u) >> 16) & 0x7FFFu;
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t x = draws[5 * i + 2] % 319 + 1, y = draws[5 * i + 3] % 239 + 1;
    EXPECT_NE(firstBlobFrame[y * 320 + x], 0u) << "blob centre " << x << "," << y;
  }

  // The music plays from the start until the shutdown, which comes after the
  // last frame's vertical blank (4802 blanks at 60 Hz) and one 10 ms wait for
  // the audio worker: 44100 frames a second, two samples each.
  const std::uint64_t ticks = 4802ull * 1000 + 10 * 60;  // a tick is 1/60 ms
  const auto& sound = headless.recordedSound();
  EXPECT_EQ(sound.size(), 2 * (ticks * 44100 / 60000));
  const std::uint64_t hash = outputHash(sound.data(), sound.size());
  EXPECT_EQ(hash, 0x5e10cf9b15636506ull) << "the sound is now 0x" << std::hex << hash;
}

// In a window at scale 2 the same pictures reach the screen, each pixel as a 2 x 2 block.
TEST(DemoRun, AWindowAtScaleTwoShowsEveryPixelDoubled) {
  std::vector<std::uint32_t> pictures[2];
  for (const bool windowed : {false, true}) {
    HeadlessPlatform headless;
    headless.setFrameSink(
        [&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t w, std::uint32_t h) {
          if (index != 700) return;
          pictures[windowed].assign(pixels, pixels + std::size_t{w} * h);
          EXPECT_EQ(w, windowed ? 640u : 320u);
          headless.pressEscape();
        });
    runWhole(headless, nullptr,
             {.fullScreen = !windowed, .scale = windowed ? 2u : 1u, .dataFolders = {}});
  }
  ASSERT_TRUE(pictures[0].size() == 76800 && pictures[1].size() == 4 * 76800);
  for (std::size_t i = 0; i < pictures[1].size(); ++i) {
    const std::size_t x = i % 640 / 2, y = i / 640 / 2;
    ASSERT_EQ(pictures[1][i], pictures[0][y * 320 + x]) << "window pixel " << i;
  }
}

// One hash per presented frame at 20 frames per second (scenes 2, 3 and 4 start
// near frames 300, 800 and 1100); a failure names the first frame that differs.
// The demo draws through the public functions, which use the program's choice
// of target: this is the one comparison that switches it between runs.
using WholeRunOnEveryTarget = testing::LaneTargetTest;

TEST_P(WholeRunOnEveryTarget, EveryFrameMatchesTheReference) {
  expectSameAsReference("whole run", [](lanes::VectorPath path) {
    lanes::setVectorPath(path);
    HeadlessPlatform headless({20});
    testing::Words hashes;
    headless.setFrameSink(
        [&](std::uint64_t, const std::uint32_t* pixels, std::uint32_t w, std::uint32_t h) {
          hashes.push_back(static_cast<std::uint32_t>(outputHash(pixels, std::size_t{w} * h)));
        });
    runWhole(headless, nullptr);
    EXPECT_EQ(hashes.size(), 1601u);  // 80 s at 20 frames per second, then the end frame
    const auto& sound = headless.recordedSound();
    const std::uint64_t soundHash = outputHash(sound.data(), sound.size());
    hashes.push_back(static_cast<std::uint32_t>(soundHash));
    hashes.push_back(static_cast<std::uint32_t>(soundHash >> 32));
    return hashes;
  });
}

INSTANTIATE_TEST_SUITE_P(Targets, WholeRunOnEveryTarget, testing::laneTargets(),
                         testing::targetName);

}  // namespace
}  // namespace quarvel::driver
