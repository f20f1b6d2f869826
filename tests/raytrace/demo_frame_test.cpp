// Whole demo frames: a pinned hash, the hit mask, and pixels that follow from the geometry.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace.h"

namespace quarvel::raytrace {
namespace {

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
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (p >> shift) & 0xFFu;
      hash *= 1099511628211u;
    }
  }
  return hash;
}

TEST(DemoFrame, IsDeterministicAndPinned) {
  const auto first = traceDemoFrame(0.0f, 0.0);
  EXPECT_EQ(first, traceDemoFrame(0.0f, 0.0));
  EXPECT_EQ(fnv1a(first), 12630987934418824961u);
  const auto later = traceDemoFrame(2.35f, 0.6);
  EXPECT_EQ(fnv1a(later), 4218188582739644143u);
  EXPECT_NE(first, later);
}

TEST(DemoFrame, BackgroundStaysBlackAndHitsAreAtLeastAmbient) {
  const auto pixels = traceDemoFrame(0.0f, 0.0);
  // Both spheres sit below the eye line: the top half and the centre are empty.
  for (std::size_t i = 0; i < 120 * 320; ++i) ASSERT_EQ(pixels[i], 0u) << i;
  EXPECT_EQ(pixels[120 * 320 + 160], 0u);
  EXPECT_EQ(pixels[76799], 0u);
  std::size_t hits = 0;
  for (std::uint32_t p : pixels) {
    if (p == 0) continue;
    ++hits;
    EXPECT_EQ(p >> 24, 0u);
    EXPECT_GE((p >> 16) & 0xFFu, 0x19u);
    EXPECT_GE((p >> 8) & 0xFFu, 0x19u);
    EXPECT_GE(p & 0xFFu, 0x19u);
  }
  // Sphere 1 (radius 1 at z = 12) covers about pi * 32^2 pixels and hides part of sphere 0.
  EXPECT_GT(hits, 3000u);
  EXPECT_LT(hits, 4500u);
  // The ray towards sphere 0's centre (0, -2, 10): y = -0.2 f, about 77 rows below the centre.
  EXPECT_NE(pixels[(120 + 77) * 320 + 160], 0u);
}

TEST(DemoFrame, LightsChangeColoursButNotWhichPixelsHit) {
  for (float angle : {0.0f, 2.35f}) {
    const auto lit = traceDemoFrame(angle, 0.3);
    const auto dark = traceDemoFrame(angle, 0.3, false);
    for (std::size_t i = 0; i < lit.size(); ++i) {
      ASSERT_EQ(dark[i], lit[i] == 0 ? 0u : 0x00191919u) << "pixel " << i;
    }
  }
}

}  // namespace
}  // namespace quarvel::raytrace
