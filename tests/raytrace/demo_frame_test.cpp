// The demo's scene and whole traced frames: a pinned hash, the hit mask, known pixels.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace.h"

namespace quarvel::raytrace {
namespace {

TEST(DemoScene, SpheresFollowAngleAndDriftInDouble) {
  double drift = 0.5;
  const RayScene scene = buildDemoScene(1.3f, drift);
  ASSERT_EQ(scene.lights.size(), 3u);
  ASSERT_EQ(scene.spheres.size(), 2u);
  EXPECT_EQ(scene.spheres[0].centre.y, -1.5f);
  EXPECT_EQ(scene.spheres[1].centre.x, static_cast<float>(2.0 * std::sin(double{1.3f})));
  EXPECT_EQ(scene.spheres[1].centre.z, static_cast<float>(10.0 + 2.0 * std::cos(double{1.3f})));
  EXPECT_EQ(drift, 0.5 + 0.002);
}

std::vector<std::uint32_t> traceDemoFrame(float angle, double drift, bool withLights = true) {
  std::vector<std::uint32_t> pixels(76800, 0);
  display::Bitmap frame{pixels.data(), 320, 240};
  RayScene scene = buildDemoScene(angle, drift);
  if (!withLights) scene.lights.clear();
  traceFrame(cameraRayTable(), scene, frame);
  return pixels;
}

std::uint64_t fnv1a(const std::vector<std::uint32_t>& pixels) {
  std::uint64_t hash = 14695981039346656037u;
  for (std::uint32_t p : pixels) {
    for (int shift = 0; shift < 32; shift += 8)
      hash = (hash ^ ((p >> shift) & 0xFFu)) * 1099511628211u;
  }
  return hash;
}

TEST(DemoFrame, IsDeterministicAndPinned) {
  const auto first = traceDemoFrame(0.0f, 0.0);
  EXPECT_EQ(first, traceDemoFrame(0.0f, 0.0));
  EXPECT_EQ(fnv1a(first), 12630987934418824961u);
  EXPECT_EQ(fnv1a(traceDemoFrame(2.35f, 0.6)), 4218188582739644143u);
}

TEST(DemoFrame, BackgroundStaysBlackAndLightsDoNotChangeTheHitMask) {
  const auto pixels = traceDemoFrame(0.0f, 0.0);
  // Both spheres sit below the eye line: the top half and the centre ray are empty.
  for (std::size_t i = 0; i <= 120 * 320 + 160; ++i) ASSERT_EQ(pixels[i], 0u) << i;
  // Sphere 0's centre (0, -2, 10) lies about 0.2 f * 160 = 77 rows below the centre.
  EXPECT_NE(pixels[(120 + 77) * 320 + 160], 0u);
  const auto dark = traceDemoFrame(0.0f, 0.0, false);
  std::size_t hits = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    hits += pixels[i] != 0;
    ASSERT_EQ(dark[i], pixels[i] == 0 ? 0u : 0x00191919u) << i;
  }
  // Sphere 1 (radius 1 at z = 12) covers about pi * 32^2 pixels, partly behind sphere 0.
  EXPECT_GT(hits, 3000u);
  EXPECT_LT(hits, 4500u);
}

}  // namespace
}  // namespace quarvel::raytrace
