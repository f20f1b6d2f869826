// The camera ray table: order, grid, accumulated stepping and unit directions.
#include <cmath>

#include <gtest/gtest.h>

#include "raytrace/camera_rays.h"

namespace quarvel::raytrace {
namespace {

// The table's direction for the image-plane point (x, y), normalised as the table does.
math::Vec3 through(double x, double y) {
  const double f = 1.0 / std::tan(static_cast<double>(kCameraFov) / 2.0);
  return math::normalize({static_cast<float>(x), static_cast<float>(y), static_cast<float>(f)});
}

void expectDirection(const Ray& ray, const math::Vec3& expected) {
  EXPECT_EQ(ray.direction.x, expected.x);
  EXPECT_EQ(ray.direction.y, expected.y);
  EXPECT_EQ(ray.direction.z, expected.z);
}

TEST(CameraRays, GridStartsTopLeftWithoutHalfPixelOffset) {
  const CameraRayTable rays = buildCameraRays(kCameraFov, 320, 240);
  ASSERT_EQ(rays.size(), 76800u);
  expectDirection(rays[0], through(-1.0, 0.75));
  EXPECT_NEAR(rays[0].direction.x, -0.367833f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.y, 0.275875f, 1e-6f);
  EXPECT_NEAR(rays[0].direction.z, 0.888027f, 1e-6f);
  expectDirection(rays[319], through(0.99375, 0.75));
  expectDirection(rays[76480], through(-1.0, -0.74375));
  // The centre ray keeps the residue of accumulated steps, which the closed
  // form -1 + 160 * (2 / 320) would not have.
  double x = -1.0;
  for (int i = 0; i < 160; ++i) x = x + 2.0 / 320;
  double y = 0.75;
  for (int i = 0; i < 120; ++i) y = y - (2.0 * 0.75) / 240;
  ASSERT_TRUE(x != 0.0 || y != 0.0);
  expectDirection(rays[38560], through(x, y));
  EXPECT_LT(std::fabs(rays[38560].direction.x) + std::fabs(rays[38560].direction.y), 1e-14f);
  EXPECT_EQ(rays[38560].direction.z, 1.0f);
}

TEST(CameraRays, GlobalTableHasUnitForwardRaysFromTheOrigin) {
  const CameraRayTable& rays = cameraRayTable();
  ASSERT_EQ(&rays, &cameraRayTable());
  ASSERT_EQ(rays.size(), 76800u);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    const Ray& r = rays[i];
    ASSERT_TRUE(r.origin.x == 0.0f && r.origin.y == 0.0f && r.origin.z == 0.0f) << i;
    ASSERT_GT(r.direction.z, 0.0f) << i;
    const double length =
        std::sqrt(double{r.direction.x} * r.direction.x + double{r.direction.y} * r.direction.y +
                  double{r.direction.z} * r.direction.z);
    ASSERT_NEAR(length, 1.0, 2e-7) << i;
  }
  expectDirection(rays[76799], through(0.99375, -0.74375));
}

TEST(CameraRays, EmptySizesGiveEmptyTables) {
  EXPECT_TRUE(buildCameraRays(kCameraFov, 0, 240).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, 320, 0).empty());
  EXPECT_TRUE(buildCameraRays(kCameraFov, -5, -1).empty());
  EXPECT_EQ(buildCameraRays(kCameraFov, 1, 1).size(), 1u);
}

}  // namespace
}  // namespace quarvel::raytrace
