// The demo's ray-traced scene: lights, sphere placement and the drift step.
#include <cmath>

#include <gtest/gtest.h>

#include "raytrace/ray_scene.h"

namespace quarvel::raytrace {
namespace {

TEST(DemoScene, FirstFrameLightsAndSpheres) {
  double drift = 0.0;
  const RayScene scene = buildDemoScene(0.0f, drift);
  ASSERT_EQ(scene.lights.size(), 3u);
  ASSERT_EQ(scene.spheres.size(), 2u);
  const float lights[3][6] = {{0, 0, 6, 0, 1, 0}, {-10, 10, 10, 0, 0, 1}, {3, -2, 0, 1, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    const Light& l = scene.lights[i];
    EXPECT_EQ(l.position.x, lights[i][0]) << i;
    EXPECT_EQ(l.position.y, lights[i][1]) << i;
    EXPECT_EQ(l.position.z, lights[i][2]) << i;
    EXPECT_EQ(l.colour.x, lights[i][3]) << i;
    EXPECT_EQ(l.colour.y, lights[i][4]) << i;
    EXPECT_EQ(l.colour.z, lights[i][5]) << i;
  }
  EXPECT_EQ(scene.spheres[0].radiusSquared, 0.25f);
  EXPECT_EQ(scene.spheres[0].centre.x, 0.0f);
  EXPECT_EQ(scene.spheres[0].centre.y, -2.0f);
  EXPECT_EQ(scene.spheres[0].centre.z, 10.0f);
  EXPECT_EQ(scene.spheres[0].colour.x, 1.0f);
  EXPECT_EQ(scene.spheres[1].radiusSquared, 1.0f);
  EXPECT_EQ(scene.spheres[1].centre.x, 0.0f);
  EXPECT_EQ(scene.spheres[1].centre.y, -2.0f);
  EXPECT_EQ(scene.spheres[1].centre.z, 12.0f);
  EXPECT_EQ(scene.spheres[1].colour.z, 1.0f);
  EXPECT_EQ(drift, 0.002);
}

TEST(DemoScene, OrbitAndDriftAreComputedInDouble) {
  double drift = 0.5;
  const float angle = 1.3f;
  const RayScene scene = buildDemoScene(angle, drift);
  const double a = angle;
  EXPECT_EQ(scene.spheres[1].centre.x, static_cast<float>(2.0 * std::sin(a)));
  EXPECT_EQ(scene.spheres[1].centre.z, static_cast<float>(10.0 + 2.0 * std::cos(a)));
  EXPECT_EQ(scene.spheres[0].centre.y, -1.5f);
  EXPECT_EQ(scene.spheres[1].centre.y, -1.5f);
  EXPECT_EQ(drift, 0.5 + 0.002);
  buildDemoScene(angle, drift);
  EXPECT_EQ(drift, 0.5 + 0.002 + 0.002);
  // The drift is accumulated in double: the sphere height is rounded only at the end.
  double small = 0.0;
  for (int i = 0; i < 1000; ++i) buildDemoScene(0.0f, small);
  const RayScene later = buildDemoScene(0.0f, small);
  double expected = 0.0;
  for (int i = 0; i < 1000; ++i) expected = expected + 0.002;
  EXPECT_EQ(later.spheres[0].centre.y, static_cast<float>(expected - 2.0));
}

TEST(DemoScene, SpheresNeverTouch) {
  double drift = 0.0;
  for (int frame = 0; frame < 200; ++frame) {
    const RayScene scene = buildDemoScene(0.05f * static_cast<float>(frame), drift);
    const math::Vec3 d = math::subtract(scene.spheres[1].centre, scene.spheres[0].centre);
    EXPECT_GT(std::sqrt(math::dot(d, d)), 1.5f) << frame;
  }
}

}  // namespace
}  // namespace quarvel::raytrace
