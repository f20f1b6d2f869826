// The camera ray table: order, grid, accumulated stepping and unit directions; the demo's scene.
#include <cmath>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"

namespace quarvel::raytrace {
namespace {

// The normalised direction through the image-plane point (x, y) at f = 1 / tan(pi / 8).
math::Vec3 through(double x, double y) {
  const double f = 1.0 / std::tan(static_cast<double>(kCameraFov) / 2.0);
  return math::normalize({static_cast<float>(x), static_cast<float>(y), static_cast<float>(f)});
}

TEST(CameraRays, GridStartsTopLeftWithAccumulatedStepsAndNoHalfPixelOffset) {
  const CameraRayTable& rays = cameraRayTable();
  ASSERT_EQ(rays.size(), 76800u);
  EXPECT_NEAR(rays[0].direction.x, -0.367833f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.y, 0.275875f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.z, 0.888027f, 1e-6f);
  // Steps are summed in double, not recomputed from the index: the centre ray
  // keeps a residue of about 1e-15 that -1 + 160 * (2 / 320) would not have.
  double x = -1.0, y = 0.75;
  for (int i = 0; i < 160; ++i) x = x + 2.0 / 320;
  for (int i = 0; i < 120; ++i) y = y - (2.0 * 0.75) / 240;
  ASSERT_TRUE(x != 0.0 && y != 0.0);
  const std::pair<std::size_t, math::Vec3> cases[] = {{0, through(-1.0, 0.75)},
                                                      {319, through(0.99375, 0.75)},
                                                      {76480, through(-1.0, -0.74375)},
                                                      {76799, through(0.99375, -0.74375)},
                                                      {38560, through(x, y)}};
  for (const auto& [i, d] : cases) {
    EXPECT_TRUE(rays[i].direction.x == d.x && rays[i].direction.y == d.y &&
                rays[i].direction.z == d.z)
        << "ray " << i;
  }
  for (std::size_t i = 0; i < rays.size(); ++i) {
    const Ray& r = rays[i];
    ASSERT_TRUE(r.origin.x == 0.0f && r.origin.y == 0.0f && r.origin.z == 0.0f) << i;
    const double length =
        std::sqrt(double{r.direction.x} * r.direction.x + double{r.direction.y} * r.direction.y +
                  double{r.direction.z} * r.direction.z);
    ASSERT_NEAR(length, 1.0, 2e-7) << i;
  }
  EXPECT_TRUE(buildCameraRays(kCameraFov, 0, 240).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, 320, 0).empty());
  EXPECT_EQ(buildCameraRays(kCameraFov, 1, 1).size(), 1u);
}

TEST(DemoScene, ThreeLightsAndTwoSpheresRisingWithDrift) {
  double drift = 0.5;
  const RayScene scene = buildDemoScene(1.3f, drift);
  EXPECT_EQ(drift, 0.5 + 0.002);  // formed first, then drift grows
  ASSERT_EQ(scene.lights.size(), 3u);
  const float lights[3][6] = {{0, 0, 6, 0, 1, 0}, {-10, 10, 10, 0, 0, 1}, {3, -2, 0, 1, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    const Light& l = scene.lights[i];
    const float got[6] = {l.position.x, l.position.y, l.position.z,
                          l.colour.x,   l.colour.y,   l.colour.z};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(got[k], lights[i][k]) << "light " << i << " " << k;
  }
  ASSERT_EQ(scene.spheres.size(), 2u);
  const Sphere& a = scene.spheres[0];
  const Sphere& b = scene.spheres[1];
  EXPECT_TRUE(a.radiusSquared == 0.25f && a.centre.x == 0 && a.centre.y == -1.5f &&
              a.centre.z == 10 && a.colour.x == 1 && a.colour.z == 0);
  // 2 sin a and 10 + 2 cos a of the float angle 1.3, in double, rounded once.
  EXPECT_TRUE(b.radiusSquared == 1 && b.centre.x == 0x1.ed578p+0f && b.centre.y == -1.5f &&
              b.centre.z == 0x1.511eb4p+3f && b.colour.x == 0 && b.colour.z == 1);
}

}  // namespace
}  // namespace quarvel::raytrace
