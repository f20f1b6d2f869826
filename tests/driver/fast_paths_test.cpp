// Every frame of a whole headless run is the same on every vector path as on the reference.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/run_demo.h"
#include "effects/particle_system.h"
#include "math/vector_path.h"
#include "platform/headless/headless_platform.h"

namespace quarvel::driver {
namespace {

struct Frames final : FrameObserver {
  std::vector<std::uint64_t> hashes;  // one per presented frame
  std::vector<Scene> scenes;          // one per drawn frame
  void frameDrawn(Scene scene) override { scenes.push_back(scene); }
};

Frames runOn(math::VectorPath path) {
  math::setVectorPath(path);
  effects::ParticleSystem::swing = 1.0f;  // program-wide, and this process runs the demo again
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(QUARVEL_DATA_DIR);
  // 20 vertical blanks per second: every scene, in a quarter of the frames.
  platform::headless::HeadlessPlatform headless({20});
  Frames frames;
  headless.setFrameSink([&](std::uint64_t, const std::uint32_t* pixels, std::uint32_t w,
                            std::uint32_t h) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the pixel words
    for (std::size_t i = 0; i < std::size_t{w} * h; ++i) hash = (hash ^ pixels[i]) * 1099511628211ull;
    frames.hashes.push_back(hash);
  });
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(runDemo(headless.platform(), &frames), 0);
  ::testing::internal::GetCapturedStdout();
  std::filesystem::current_path(previous);
  math::setVectorPath(math::bestVectorPath());
  return frames;
}

TEST(FastPaths, EveryFrameOfAWholeRunMatchesTheReference) {
  const Frames reference = runOn(math::VectorPath::Reference);
  ASSERT_EQ(reference.hashes.size(), 1601u);  // 80 s at 20 frames per second, then the end frame
  for (int p = 1; p <= static_cast<int>(math::bestVectorPath()); ++p) {
    const auto path = static_cast<math::VectorPath>(p);
    const Frames fast = runOn(path);
    ASSERT_EQ(fast.hashes.size(), reference.hashes.size()) << math::vectorPathName(path);
    for (std::size_t i = 0; i < fast.hashes.size(); ++i) {
      ASSERT_EQ(fast.hashes[i], reference.hashes[i])
          << "frame " << i << " of scene " << static_cast<int>(reference.scenes.at(i)) + 1
          << " differs on " << math::vectorPathName(path);
    }
  }
}

}  // namespace
}  // namespace quarvel::driver
