// Every frame of a whole headless run is the same on every vector path as on the reference.
#include <filesystem>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "effects/particle_system.h"
#include "platform/headless/headless_platform.h"
#include "support/vector_paths.h"

namespace quarvel::driver {
namespace {

// One hash per presented frame; a failure names the first frame that differs
// (at 20 frames per second scenes 2, 3 and 4 start near frames 300, 800, 1100).
testing::Words frameHashes() {
  effects::ParticleSystem::swing = 1.0f;  // program-wide, and this process runs the demo again
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  platform::headless::HeadlessPlatform headless({20});  // every scene in a quarter of the frames
  testing::Words hashes;
  headless.setFrameSink(
      [&](std::uint64_t, const std::uint32_t* pixels, std::uint32_t w, std::uint32_t h) {
        std::uint32_t hash = 2166136261u;  // FNV-1a over the pixel words
        for (std::size_t i = 0; i < std::size_t{w} * h; ++i) hash = (hash ^ pixels[i]) * 16777619u;
        hashes.push_back(hash);
      });
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform()), 0);
  ::testing::internal::GetCapturedStdout();
  std::filesystem::current_path(previous);
  EXPECT_EQ(hashes.size(), 1601u);  // 80 s at 20 frames per second, then the end frame
  return hashes;
}

TEST(FastPaths, EveryFrameOfAWholeRunMatchesTheReference) {
  testing::expectSameOnEveryPath("whole run", frameHashes);
}

}  // namespace
}  // namespace quarvel::driver
