// The camera ray table: order, grid, accumulated stepping and unit directions.
#include <cmath>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"

namespace quarvel::raytrace {
namespace {

math::Vec3 expectedDirection(float x, float y) {
  const auto f = static_cast<float>(1.0 / std::tan(static_cast<double>(kCameraFov) / 2.0));
  return math::normalize({x, y, f});
}

void expectSameVec(const math::Vec3& actual, const math::Vec3& expected) {
  EXPECT_EQ(actual.x, expected.x);
  EXPECT_EQ(actual.y, expected.y);
  EXPECT_EQ(actual.z, expected.z);
}

TEST(CameraRays, CornersOfTheDemoTable) {
  const CameraRayTable rays = buildCameraRays(kCameraFov, 320, 240);
  ASSERT_EQ(rays.size(), 76800u);
  expectSameVec(rays[0].direction, expectedDirection(-1.0f, 0.75f));
  EXPECT_NEAR(rays[0].direction.x, -0.367833f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.y, 0.275875f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.z, 0.888027f, 1e-6f);
  expectSameVec(rays[319].direction, expectedDirection(0.99375f, 0.75f));
  expectSameVec(rays[76480].direction, expectedDirection(-1.0f, -0.74375f));
  expectSameVec(rays[76799].direction, expectedDirection(0.99375f, -0.74375f));
}

TEST(CameraRays, CentreRayKeepsTheAccumulatedStepError) {
  const CameraRayTable rays = buildCameraRays(kCameraFov, 320, 240);
  const math::Vec3 centre = rays[120 * 320 + 160].direction;
  EXPECT_LT(std::fabs(centre.x), 1e-14f);
  EXPECT_LT(std::fabs(centre.y), 1e-14f);
  EXPECT_EQ(centre.z, 1.0f);
  // Stepping by accumulation leaves a residue that the closed form would not.
  double x = -1.0;
  for (int i = 0; i < 160; ++i) x = x + 2.0 / 320;
  double y = 0.75;
  for (int i = 0; i < 120; ++i) y = y - (2.0 * 0.75) / 240;
  const auto f = static_cast<float>(1.0 / std::tan(static_cast<double>(kCameraFov) / 2.0));
  expectSameVec(centre, math::normalize({static_cast<float>(x), static_cast<float>(y), f}));
  EXPECT_TRUE(x != 0.0 || y != 0.0);
}

TEST(CameraRays, EveryRayIsUnitLengthFromTheOriginAndForward) {
  const CameraRayTable& rays = cameraRayTable();
  ASSERT_EQ(rays.size(), 76800u);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    const Ray& r = rays[i];
    ASSERT_EQ(r.origin.x, 0.0f) << i;
    ASSERT_EQ(r.origin.y, 0.0f) << i;
    ASSERT_EQ(r.origin.z, 0.0f) << i;
    ASSERT_GT(r.direction.z, 0.0f) << i;
    const double length = std::sqrt(double{r.direction.x} * r.direction.x +
                                    double{r.direction.y} * r.direction.y +
                                    double{r.direction.z} * r.direction.z);
    ASSERT_NEAR(length, 1.0, 2e-7) << i;
  }
}

TEST(CameraRays, GlobalTableIsTheDemoTableBuiltOnce) {
  const CameraRayTable& table = cameraRayTable();
  EXPECT_EQ(&table, &cameraRayTable());
  const CameraRayTable fresh = buildCameraRays(kCameraFov, kCameraWidth, kCameraHeight);
  ASSERT_EQ(table.size(), fresh.size());
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    ASSERT_EQ(table[i].direction.x, fresh[i].direction.x) << i;
    ASSERT_EQ(table[i].direction.y, fresh[i].direction.y) << i;
    ASSERT_EQ(table[i].direction.z, fresh[i].direction.z) << i;
  }
}

TEST(CameraRays, SmallGridRunsRowsFromTheTopWithoutHalfPixelOffset) {
  // fov = pi/2 gives f = 1 up to rounding; a 4 x 2 grid has x = -1, -0.5, 0, 0.5
  // and y = 0.5, 0.
  const float fov = 1.5707964f;
  const auto f = static_cast<float>(1.0 / std::tan(static_cast<double>(fov) / 2.0));
  const CameraRayTable rays = buildCameraRays(fov, 4, 2);
  ASSERT_EQ(rays.size(), 8u);
  const float xs[] = {-1.0f, -0.5f, 0.0f, 0.5f};
  const float ys[] = {0.5f, 0.0f};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 4; ++column) {
      SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
      expectSameVec(rays[row * 4 + column].direction,
                    math::normalize({xs[column], ys[row], f}));
    }
  }
}

TEST(CameraRays, EmptySizesGiveEmptyTables) {
  EXPECT_TRUE(buildCameraRays(kCameraFov, 0, 240).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, 320, 0).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, -5, 240).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, 320, -1).empty());
  EXPECT_EQ(buildCameraRays(kCameraFov, 1, 1).size(), 1u);
}

}  // namespace
}  // namespace quarvel::raytrace
