// The fast frame pass against the reference on random scenes and ray tables.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_trace.h"
#include "support/vector_paths.h"

namespace quarvel::raytrace {
namespace {

testing::Words trace(const CameraRayTable& rays, const RayScene& scene, std::uint32_t width,
                     std::uint32_t height) {
  testing::Words pixels = testing::noise(std::size_t{width} * height, width);
  display::Bitmap frame{pixels.data(), width, height};
  traceFrame(rays, scene, frame);
  return pixels;
}

TEST(TraceFrameFast, SameBitsAsTheReference) {
  // Rays that do not start at the eye, in a table shorter than the frame.
  CameraRayTable moved = buildCameraRays(1.2f, 40, 30);
  const math::Vec3 origins[] = {{0.5f, 0, 0}, {0, -0.5f, 0}, {0, 0, 1}};
  for (std::size_t i = 0; i < moved.size(); i += 2) moved[i].origin = origins[i % 3];
  // Up to four spheres in front of, around and behind the eye, some
  // overlapping or holding the eye or a light; light colours from -0.2 to 1.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> across(-4, 4), depth(-3, 14), size(0.01f, 5),
      colour(-0.2f, 1);
  for (int n = 0; n < 24; ++n) {
    RayScene scene;
    for (int i = 0; i < n % 5; ++i) {
      scene.spheres.push_back(
          {size(random), {1, 1, 1}, {across(random), across(random), depth(random)}});
    }
    for (int i = 0; i < n % 4; ++i) {
      scene.lights.push_back({{across(random), across(random), depth(random)},
                              {colour(random), colour(random), colour(random)}});
    }
    const std::string name = "scene " + std::to_string(n);
    testing::expectSameOnEveryPath(name, [&] { return trace(cameraRayTable(), scene, 320, 240); });
    testing::expectSameOnEveryPath(name + ", moved rays",
                                   [&] { return trace(moved, scene, 37, 33); });
  }
}

}  // namespace
}  // namespace quarvel::raytrace
