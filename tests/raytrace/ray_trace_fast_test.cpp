// The fast frame pass against the reference on random scenes, eye positions and ray tables.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace.h"
#include "support/vector_paths.h"

namespace quarvel::raytrace {
namespace {

// Spheres in front of, around and behind the eye, some overlapping or holding
// the eye or a light; lights with colours from -0.2 to 1.
RayScene randomScene(std::mt19937& random, int spheres, int lights) {
  std::uniform_real_distribution<float> across(-4.0f, 4.0f), depth(-3.0f, 14.0f),
      size(0.01f, 5.0f), colour(-0.2f, 1.0f);
  RayScene scene;
  for (int i = 0; i < spheres; ++i) {
    scene.spheres.push_back({size(random), {1, 1, 1}, {across(random), across(random), depth(random)}});
  }
  for (int i = 0; i < lights; ++i) {
    scene.lights.push_back({{across(random), across(random), depth(random)},
                            {colour(random), colour(random), colour(random)}});
  }
  return scene;
}

testing::Words trace(const CameraRayTable& rays, const RayScene& scene, std::uint32_t width,
                     std::uint32_t height) {
  testing::Words pixels(std::size_t{width} * height);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>(i * 2654435761u);
  display::Bitmap frame{pixels.data(), width, height};
  traceFrame(rays, scene, frame);
  return pixels;
}

TEST(TraceFrameFast, SameBitsAsTheReference) {
  std::mt19937 random(7);
  // Rays that do not start at the eye, and a table shorter than the frame.
  CameraRayTable moved = buildCameraRays(1.2f, 40, 30);
  const math::Vec3 origins[] = {{0.5f, 0, 0}, {0, -0.5f, 0}, {0, 0, 1.0f}};
  for (std::size_t i = 0; i < moved.size(); i += 2) moved[i].origin = origins[i % 3];
  for (int n = 0; n < 24; ++n) {
    const RayScene scene = randomScene(random, n % 5, n % 4);
    const std::string name = "scene " + std::to_string(n);
    testing::expectSameOnEveryPath(name, [&] { return trace(cameraRayTable(), scene, 320, 240); });
    testing::expectSameOnEveryPath(name + " moved rays", [&] { return trace(moved, scene, 37, 33); });
  }
  double drift = 0.0;
  for (const float angle : {0.0f, 1.1f, 2.35f, 4.0f, 5.5f}) {
    const RayScene scene = buildDemoScene(angle, drift);
    drift += 0.3;
    testing::expectSameOnEveryPath("demo scene at " + std::to_string(angle),
                                   [&] { return trace(cameraRayTable(), scene, 320, 240); });
  }
}

}  // namespace
}  // namespace quarvel::raytrace
