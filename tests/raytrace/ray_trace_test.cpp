// Intersection, shadows and shading on small hand-checked scenes.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "raytrace/ray_trace.h"

namespace quarvel::raytrace {
namespace {

const Ray kForward{{0, 0, 0}, {0, 0, 1}};

Sphere sphereAt(float x, float y, float z, float radiusSquared) {
  return {radiusSquared, {1, 1, 1}, {x, y, z}};
}

TEST(FindNearestHit, FrontRootOfTheNearestSphere) {
  const std::vector<Sphere> spheres{sphereAt(0, 0, 20, 4), sphereAt(0, 0, 10, 1)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->index, 1u);
  EXPECT_EQ(hit->t, 9.0f);
  const auto skipping = findNearestHit(kForward, spheres, 1);
  ASSERT_TRUE(skipping);
  EXPECT_EQ(skipping->index, 0u);
  EXPECT_EQ(skipping->t, 18.0f);
}

TEST(FindNearestHit, TiesKeepTheLowerIndex) {
  const std::vector<Sphere> spheres{sphereAt(0, 0, 30, 1), sphereAt(0, 0, 10, 1),
                                    sphereAt(0, 0, 10, 1)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->index, 1u);
  EXPECT_EQ(hit->t, 9.0f);
}

TEST(FindNearestHit, MissesBehindBesideAndEmpty) {
  EXPECT_FALSE(findNearestHit(kForward, {}, kNoSphere));
  const std::vector<Sphere> behind{sphereAt(0, 0, -10, 1)};
  EXPECT_FALSE(findNearestHit(kForward, behind, kNoSphere));
  const std::vector<Sphere> beside{sphereAt(1.01f, 0, 10, 1)};
  EXPECT_FALSE(findNearestHit(kForward, beside, kNoSphere));
  const std::vector<Sphere> only{sphereAt(0, 0, 10, 1)};
  EXPECT_FALSE(findNearestHit(kForward, only, 0));
}

TEST(FindNearestHit, TangentRayHitsAtMinusB) {
  // b = -10, c = 101 - 1 = 100, disc = 0.
  const std::vector<Sphere> spheres{sphereAt(1, 0, 10, 1)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->t, 10.0f);
  EXPECT_TRUE(isOccluded(kForward, spheres, kNoSphere));
}

TEST(FindNearestHit, RootIsTakenInDoubleAndRoundedOnce) {
  // Found by search: rounding the root to float before subtracting, or taking
  // it in float, gives the neighbouring float 0x1.2b9f8p+4.
  const std::vector<Sphere> spheres{sphereAt(0.05f, 0x1.19999ap-1f, 0x1.36e148p+4f, 0.8f)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->t, 0x1.2b9f82p+4f);
}

TEST(FindNearestHit, RayStartingInsideReportsTheFarWall) {
  const std::vector<Sphere> spheres{sphereAt(0, 0, 1, 4)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->t, 3.0f);
}

TEST(IsOccluded, AnySphereAheadOfTheOriginBlocksWithoutDistanceLimit) {
  const std::vector<Sphere> far{sphereAt(0, 0, 1e6f, 1)};
  EXPECT_TRUE(isOccluded(kForward, far, kNoSphere));
  EXPECT_FALSE(isOccluded(kForward, far, 0));
  const std::vector<Sphere> behind{sphereAt(0, 0, -5, 1)};
  EXPECT_FALSE(isOccluded(kForward, behind, kNoSphere));
  const std::vector<Sphere> around{sphereAt(0, 0, 0.5f, 1)};  // origin inside
  EXPECT_TRUE(isOccluded(kForward, around, kNoSphere));
  const std::vector<Sphere> twoOfThem{sphereAt(0, 0, 5, 1), sphereAt(0, 5, 5, 1)};
  EXPECT_FALSE(isOccluded(kForward, twoOfThem, 0));
  EXPECT_TRUE(isOccluded(kForward, twoOfThem, 1));
}

// One sphere straight ahead and a red light at the eye: d = 1, sp = 1.
RayScene headOnScene(math::Vec3 lightColour) {
  RayScene scene;
  scene.spheres.push_back(sphereAt(0, 0, 10, 1));
  scene.lights.push_back({{0, 0, 0}, lightColour});
  return scene;
}

TEST(TracePrimary, HeadOnRedLight) {
  const RayScene scene = headOnScene({0.5f, 0, 0});
  const auto hit = tracePrimary(kForward, scene);
  ASSERT_TRUE(hit);
  // red = 230 * 0.5 + 100 + 25, green = blue = 100 + 25
  EXPECT_EQ(hit->colour, 0x00F07D7Du);
  EXPECT_EQ(hit->sphere, 0u);
  EXPECT_EQ(hit->reflected.origin.z, 9.0f);
  EXPECT_EQ(hit->reflected.direction.x, 0.0f);
  EXPECT_EQ(hit->reflected.direction.y, 0.0f);
  EXPECT_EQ(hit->reflected.direction.z, -1.0f);
  // The bounce starts on the sphere it left and must not find it again.
  EXPECT_FALSE(traceReflected(hit->reflected, scene, hit->sphere));

  std::vector<std::uint32_t> pixels{0xABCDEFu};
  display::Bitmap frame{pixels.data(), 1, 1};
  traceFrame(CameraRayTable{kForward}, scene, frame);
  EXPECT_EQ(pixels[0], 0x00F07D7Du);
}

TEST(TracePrimary, WhiteHeadOnLightSaturates) {
  EXPECT_EQ(tracePrimary(kForward, headOnScene({1, 1, 1}))->colour, 0x00FFFFFFu);
}

TEST(TracePrimary, NoLightsGiveAmbientOnly) {
  RayScene scene = headOnScene({1, 1, 1});
  scene.lights.clear();
  EXPECT_EQ(tracePrimary(kForward, scene)->colour, 0x00191919u);
  const Ray bounce{{0, 0, -20}, {0, 0, 1}};
  EXPECT_EQ(traceReflected(bounce, scene, kNoSphere)->colour, 0x00191919u);
}

TEST(TracePrimary, SphereBeyondTheLightStillShadows) {
  RayScene scene = headOnScene({0.5f, 0, 0});
  scene.spheres.push_back(sphereAt(0, 0, -10, 1));  // behind the eye, where the light is
  const auto hit = tracePrimary(kForward, scene);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->colour, 0x00191919u);  // no diffuse and no specular
}

TEST(TracePrimary, LightBehindTheSphereStillGivesSpecularNearTheOutline) {
  // A grazing eye ray and a light far behind the sphere: N.L < 0, so there is
  // no diffuse term, but the mirrored light direction nearly meets the eye ray.
  // The sphere must not shadow its own surface point.
  RayScene scene = headOnScene({1, 1, 1});
  scene.lights[0].position = {0, 0, 30};
  const Ray grazing{{0, 0, 0}, math::normalize({0.099f, 0, 1})};
  const auto hit = tracePrimary(grazing, scene);
  ASSERT_TRUE(hit);
  const math::Vec3 p = hit->reflected.origin;
  const math::Vec3 n = math::normalize(math::subtract(p, scene.spheres[0].centre));
  ASSERT_LT(math::dot(n, math::normalize(math::subtract(scene.lights[0].position, p))), 0.0f);
  const std::uint32_t grey = hit->colour & 0xFFu;
  EXPECT_EQ(hit->colour, grey * 0x010101u);  // the specular term is white
  EXPECT_GT(grey, 0x19u);
}

// Sphere A ahead reflects the eye ray straight back onto sphere B behind the
// eye. A white light above and behind the eye lights both:
//   A at (0, 0, 9): L = (0, 0.6, -0.8), d = 0.8, sp = 0.8, 184 + 1.15 + 25 -> 210;
//   B at (0, 0, -9): L = (0, 12, 2) / 12.17, d = 0.1644, 37.8 + 25 -> 62.
RayScene mirrorScene() {
  RayScene scene;
  scene.spheres.push_back(sphereAt(0, 0, 10, 1));
  scene.spheres.push_back(sphereAt(0, 0, -10, 1));
  scene.lights.push_back({{0, 12, -7}, {1, 1, 1}});
  return scene;
}

TEST(TraceReflected, BounceIsShadedWithoutSpecularAndAveraged) {
  const RayScene scene = mirrorScene();
  const auto primary = tracePrimary(kForward, scene);
  ASSERT_TRUE(primary);
  EXPECT_EQ(primary->colour, 0x00D2D2D2u);
  const auto bounce = traceReflected(primary->reflected, scene, primary->sphere);
  ASSERT_TRUE(bounce);
  EXPECT_EQ(bounce->sphere, 1u);
  EXPECT_EQ(bounce->colour, 0x003E3E3Eu);

  std::vector<std::uint32_t> pixels{0};
  display::Bitmap frame{pixels.data(), 1, 1};
  traceFrame(CameraRayTable{kForward}, scene, frame);
  EXPECT_EQ(pixels[0], 0x00888888u);  // (210 + 62) / 2 = 136
}

TEST(TraceReflected, ConvexSphereNeverReflectsItself) {
  const RayScene scene = headOnScene({1, 1, 1});
  // Grazing and head-on bounces from points all over the sphere.
  for (float y = -0.99f; y < 1.0f; y += 0.09f) {
    const Ray eyeRay{{0, 0, 0}, math::normalize({0, y / 10.0f, 1})};
    const auto primary = tracePrimary(eyeRay, scene);
    ASSERT_TRUE(primary) << y;
    EXPECT_FALSE(traceReflected(primary->reflected, scene, primary->sphere)) << y;
  }
}

TEST(TraceFrame, MissesLeavePixelsAndExtraRaysAreIgnored) {
  const RayScene scene = headOnScene({1, 1, 1});
  const CameraRayTable rays{{{0, 0, 0}, {0, 1, 0}}, kForward, kForward};
  std::vector<std::uint32_t> pixels{0x00123456u, 0u, 0xCAFEu};
  display::Bitmap frame{pixels.data(), 2, 1};  // only two pixels: the third ray has none
  traceFrame(rays, scene, frame);
  EXPECT_EQ(pixels[0], 0x00123456u);
  EXPECT_EQ(pixels[1], 0x00FFFFFFu);
  EXPECT_EQ(pixels[2], 0xCAFEu);
}

}  // namespace
}  // namespace quarvel::raytrace
