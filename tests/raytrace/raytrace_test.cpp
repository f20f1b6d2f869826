// The ray tracer: the camera ray table, intersection edges, shading, and the fast frame pass.
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "math/elementary.h"
#include "raytrace/camera_rays.h"
#include "raytrace/ray_trace.h"
#include "raytrace/ray_trace_lanes.h"
#include "support/vector_paths.h"

namespace quarvel::raytrace {
namespace {

// The normalised direction through the image-plane point (x, y) at f = 1 / tan(pi / 8).
math::Vec3 through(double x, double y) {
  const double f = 1.0 / math::tan(static_cast<double>(kCameraFov) / 2.0);
  return math::normalize({static_cast<float>(x), static_cast<float>(y), static_cast<float>(f)});
}

TEST(CameraRays, StepsAccumulateInDoubleWithNoHalfPixelOffset) {
  const CameraRayTable& rays = cameraRayTable();
  ASSERT_EQ(rays.size(), 76800u);
  // Steps are summed in double, not recomputed from the index: the centre ray
  // keeps a residue of about 1e-15 that -1 + 160 * (2 / 320) would not have.
  double x = -1.0, y = 0.75;
  for (int i = 0; i < 160; ++i) x = x + 2.0 / 320;
  for (int i = 0; i < 120; ++i) y = y - (2.0 * 0.75) / 240;
  ASSERT_TRUE(x != 0.0 && y != 0.0);
  const math::Vec3 want = through(x, y), got = rays[38560].direction;
  EXPECT_TRUE(got.x == want.x && got.y == want.y && got.z == want.z);
  EXPECT_TRUE(buildCameraRays(kCameraFov, 0, 240).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, 320, 0).empty());
  EXPECT_EQ(buildCameraRays(kCameraFov, 1, 1).size(), 1u);
}

const Ray kForward{{0, 0, 0}, {0, 0, 1}};

Sphere sphereAt(float x, float y, float z, float radiusSquared) {
  return {radiusSquared, {1, 1, 1}, {x, y, z}};
}

std::uint32_t tracePixel(const Ray& ray, const RayScene& scene) {
  std::uint32_t pixel = 0xABCDEFu;
  display::Bitmap frame{&pixel, 1, 1};
  traceFrame(CameraRayTable{ray}, scene, frame);
  return pixel;
}

TEST(FindNearestHit, EdgeComparisons) {
  struct Case {
    const char* name;
    std::vector<Sphere> spheres;
    std::size_t excluded;
    float t;  // -1: no hit (and then nothing occludes either)
    std::size_t index;
  };
  const Sphere unitAt10 = sphereAt(0, 0, 10, 1), big = sphereAt(0, 0, 20, 4);
  const std::size_t none = kNoSphere;
  // Found by search: the root taken in float, or rounded before the
  // subtraction, gives the neighbouring float 0x1.2b9f8p+4.
  const Sphere found = sphereAt(0.05f, 0x1.19999ap-1f, 0x1.36e148p+4f, 0.8f);
  const Case cases[] = {
      {"nearest, lower index on a tie", {big, unitAt10, unitAt10}, none, 9, 1},
      {"the excluded one skipped", {big, unitAt10, unitAt10}, 1, 9, 2},
      {"behind the origin", {sphereAt(0, 0, -10, 1)}, none, -1, 0},
      {"tangent: disc 0, t = -b", {sphereAt(1, 0, 10, 1)}, none, 10, 0},
      {"just missing", {sphereAt(1.01f, 0, 10, 1)}, none, -1, 0},
      {"surface at the origin: t = 0", {sphereAt(0, 0, 1, 1)}, none, 0, 0},
      {"inside: the far wall", {sphereAt(0, 0, 1, 4)}, none, 3, 0},
      {"inside, far wall at t = 0", {sphereAt(0, 0, -1, 1)}, none, 0, 0},
      {"inside beats a farther front", {sphereAt(0, 0, 5, 1), sphereAt(0, 0, 1, 4)}, none, 3, 1},
      {"far beyond any light", {sphereAt(0, 0, 1000, 1)}, none, 999, 0},
      {"only the excluded", {unitAt10}, 0, -1, 0},
      {"rounding", {found}, none, 0x1.2b9f82p+4f, 0},
      {"no spheres", {}, none, -1, 0},
  };
  for (const Case& c : cases) {
    const auto hit = findNearestHit(kForward, c.spheres, c.excluded);
    EXPECT_EQ(hit.has_value(), c.t >= 0) << c.name;
    if (hit && c.t >= 0) {
      EXPECT_TRUE(hit->t == c.t && hit->index == c.index) << c.name << ": t " << hit->t;
    }
    EXPECT_EQ(isOccluded(kForward, c.spheres, c.excluded), c.t >= 0) << c.name;
  }
}

testing::Words trace(lanes::VectorPath path, const CameraRayTable& rays, const RayScene& scene,
                     std::uint32_t width, std::uint32_t height) {
  testing::Words pixels = testing::noise(std::size_t{width} * height, width);
  display::Bitmap frame{pixels.data(), width, height};
  const RayTraceKernels kernels = rayTraceKernels(path);
  // A target whose table came out empty would only compare the reference with itself.
  EXPECT_EQ(kernels.traceRun == nullptr, path == lanes::VectorPath::Reference);
  traceFrame(kernels, rays, scene, frame);
  return pixels;
}

struct Case {
  const char* name;
  RayScene scene;
  std::uint32_t primary, pixel;
};

std::vector<Case> handCheckedCases() {
  const Sphere ahead = sphereAt(0, 0, 10, 1), behind = sphereAt(0, 0, -10, 1);
  return {
      // At (0, 0, 9) with the light at the eye: d = sp = 1; 230 * 0.5 + 100 + 25, and 100 + 25.
      {"head on", {{ahead}, {{{0, 0, 0}, {0.5f, 0, 0}}}}, 0xF07D7D, 0xF07D7D},
      {"white, capped at 255", {{ahead}, {{{0, 0, 0}, {1, 1, 1}}}}, 0xFFFFFF, 0xFFFFFF},
      // 230 * 0x1.21642ap-2 rounds to 65 - 2^-17, so red's sum lies halfway between two
      // floats: it rounds to even, 165, + 25 -> 190 (one float lower would give 189).
      {"halfway", {{ahead}, {{{0, 0, 0}, {0x1.21642ap-2f, 0, 0}}}}, 0xBE7D7D, 0xBE7D7D},
      {"no lights: ambient only", {{ahead}, {}}, 0x191919, 0x191919},
      // A sphere behind the eye, beyond the light, still blocks it: no diffuse, no specular.
      {"shadowed", {{ahead, behind}, {{{0, 0, 0}, {0.5f, 0, 0}}}}, 0x191919, 0x191919},
      // The eye ray bounces straight back onto the sphere behind the eye; a white light above:
      //   ahead at (0, 0, 9): L = (0, 0.6, -0.8), d = sp = 0.8: 184 + 100 * 0.8^20 + 25 -> 210;
      //   behind at (0, 0, -9): L = (0, 12, 2) / 12.17, d = 0.1644, no specular: 37.8 + 25 -> 62.
      {"bounce averaged", {{ahead, behind}, {{{0, 12, -7}, {1, 1, 1}}}}, 0xD2D2D2, 0x888888},
  };
}

TEST(Trace, ShadingOnHandCheckedScenes) {
  const std::vector<Case> cases = handCheckedCases();
  for (const Case& c : cases) {
    const auto hit = tracePrimary(kForward, c.scene);
    ASSERT_TRUE(hit) << c.name;
    EXPECT_TRUE(hit->colour == c.primary && hit->sphere == 0) << c.name << std::hex << hit->colour;
    EXPECT_EQ(tracePixel(kForward, c.scene), c.pixel) << c.name;
  }
  const RayScene bounce = cases[5].scene;
  EXPECT_EQ(traceReflected({{0, 0, 9}, {0, 0, -1}}, bounce, 0)->colour, 0x3E3E3Eu);
  EXPECT_EQ(tracePixel({{0, 0, 0}, {0, 1, 0}}, bounce), 0xABCDEFu);  // a miss leaves the pixel
}

using TraceOnEveryTarget = testing::LaneTargetTest;

TEST_P(TraceOnEveryTarget, HandCheckedScenes) {
  // The fast path's bounds on the specular power cannot settle "halfway": the scalar code
  // must, also for a ray in a later lane.
  for (const Case& c : handCheckedCases()) {
    const CameraRayTable rays = {{{0, 0, 0}, {0, 1, 0}}, kForward};
    expectSameAsReference(c.name, [&](auto path) { return trace(path, rays, c.scene, 2, 1); });
  }
}

TEST_P(TraceOnEveryTarget, RandomScenes) {
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
    expectSameAsReference(
        name, [&](auto path) { return trace(path, cameraRayTable(), scene, 320, 240); });
    expectSameAsReference(name + ", moved rays",
                          [&](auto path) { return trace(path, moved, scene, 37, 33); });
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, TraceOnEveryTarget, testing::laneTargets(), testing::targetName);

}  // namespace
}  // namespace quarvel::raytrace
