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

// One unit sphere straight ahead and one light at the eye: d = 1 and sp = 1.
RayScene headOnScene(math::Vec3 lightColour) {
  return {{sphereAt(0, 0, 10, 1)}, {{{0, 0, 0}, lightColour}}};
}

std::uint32_t tracePixel(const Ray& ray, const RayScene& scene) {
  std::uint32_t pixel = 0xABCDEFu;
  display::Bitmap frame{&pixel, 1, 1};
  traceFrame(CameraRayTable{ray}, scene, frame);
  return pixel;
}

TEST(FindNearestHit, NearestFrontRootLowerIndexOnTies) {
  const std::vector<Sphere> spheres{sphereAt(0, 0, 20, 4), sphereAt(0, 0, 10, 1),
                                    sphereAt(0, 0, 10, 1), sphereAt(0, 0, -10, 1)};
  const auto hit = findNearestHit(kForward, spheres, kNoSphere);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->index, 1u);
  EXPECT_EQ(hit->t, 9.0f);
  EXPECT_EQ(findNearestHit(kForward, spheres, 1)->index, 2u);
  EXPECT_FALSE(findNearestHit(kForward, std::span(spheres).subspan(3), kNoSphere));  // behind
  EXPECT_FALSE(findNearestHit(kForward, {}, kNoSphere));
}

TEST(FindNearestHit, TangentInsideAndRounding) {
  // Tangent: b = -10, c = 101 - 1 = 100, disc = 0, so t = -b.
  const std::vector<Sphere> tangent{sphereAt(1, 0, 10, 1)};
  EXPECT_EQ(findNearestHit(kForward, tangent, kNoSphere)->t, 10.0f);
  EXPECT_FALSE(findNearestHit(kForward, std::vector{sphereAt(1.01f, 0, 10, 1)}, kNoSphere));
  // Starting inside, the far wall is reported.
  EXPECT_EQ(findNearestHit(kForward, std::vector{sphereAt(0, 0, 1, 4)}, kNoSphere)->t, 3.0f);
  // Found by search: taking the root in float, or rounding it before the
  // subtraction, gives the neighbouring float 0x1.2b9f8p+4.
  const std::vector<Sphere> awkward{sphereAt(0.05f, 0x1.19999ap-1f, 0x1.36e148p+4f, 0.8f)};
  EXPECT_EQ(findNearestHit(kForward, awkward, kNoSphere)->t, 0x1.2b9f82p+4f);
}

TEST(IsOccluded, AnySphereAheadBlocksWithoutDistanceLimit) {
  const std::vector<Sphere> spheres{sphereAt(0, 0, 1e6f, 1), sphereAt(0, 0, -5, 1),
                                    sphereAt(0, 0, 0.5f, 1)};
  EXPECT_TRUE(isOccluded(kForward, std::span(spheres).first(1), kNoSphere));
  EXPECT_FALSE(isOccluded(kForward, std::span(spheres).first(1), 0));
  EXPECT_FALSE(isOccluded(kForward, std::span(spheres).subspan(1, 1), kNoSphere));  // behind
  EXPECT_TRUE(isOccluded(kForward, std::span(spheres).subspan(2), kNoSphere));      // around
}

TEST(TracePrimary, HeadOnLights) {
  const RayScene red = headOnScene({0.5f, 0, 0});
  const auto hit = tracePrimary(kForward, red);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->colour, 0x00F07D7Du);  // 230 * 0.5 + 100 + 25, and 100 + 25
  EXPECT_EQ(hit->reflected.origin.z, 9.0f);
  EXPECT_EQ(hit->reflected.direction.z, -1.0f);
  EXPECT_EQ(tracePixel(kForward, red), 0x00F07D7Du);  // the bounce finds nothing
  for (float y = -0.99f; y < 1.0f; y += 0.09f) {      // nor from anywhere else on a sphere
    const auto grazing = tracePrimary({{0, 0, 0}, math::normalize({0, y / 10.0f, 1})}, red);
    ASSERT_TRUE(grazing) << y;
    EXPECT_FALSE(traceReflected(grazing->reflected, red, grazing->sphere)) << y;
  }
  EXPECT_EQ(tracePixel(kForward, headOnScene({1, 1, 1})), 0x00FFFFFFu);
  EXPECT_EQ(tracePixel({{0, 0, 0}, {0, 1, 0}}, red), 0xABCDEFu);  // a miss leaves the pixel
}

TEST(TracePrimary, AmbientOnlyWithoutLightsOrWhenShadowed) {
  RayScene dark = headOnScene({1, 1, 1});
  dark.lights.clear();
  EXPECT_EQ(tracePixel(kForward, dark), 0x00191919u);
  EXPECT_EQ(traceReflected({{0, 0, -20}, {0, 0, 1}}, dark, kNoSphere)->colour, 0x00191919u);
  // A sphere behind the eye, beyond the light, still blocks it: no diffuse, no specular.
  RayScene blocked = headOnScene({0.5f, 0, 0});
  blocked.spheres.push_back(sphereAt(0, 0, -10, 1));
  EXPECT_EQ(tracePrimary(kForward, blocked)->colour, 0x00191919u);
}

TEST(TracePrimary, LightBehindTheSphereGivesSpecularNearTheOutline) {
  // N.L < 0 at a grazing hit, so no diffuse; the mirrored light direction nearly
  // meets the eye ray, and the sphere must not shadow its own surface point.
  RayScene scene = headOnScene({1, 1, 1});
  scene.lights[0].position = {0, 0, 30};
  const auto hit = tracePrimary({{0, 0, 0}, math::normalize({0.099f, 0, 1})}, scene);
  ASSERT_TRUE(hit);
  const math::Vec3 p = hit->reflected.origin;
  const math::Vec3 n = math::normalize(math::subtract(p, scene.spheres[0].centre));
  ASSERT_LT(math::dot(n, math::subtract(scene.lights[0].position, p)), 0.0f);
  EXPECT_EQ(hit->colour, (hit->colour & 0xFFu) * 0x010101u);  // white
  EXPECT_GT(hit->colour & 0xFFu, 0x19u);
}

TEST(TraceReflected, BounceIsShadedWithoutSpecularAndAveraged) {
  // Sphere A ahead reflects the eye ray straight back onto sphere B behind the
  // eye; a white light above lights both:
  //   A at (0, 0, 9): L = (0, 0.6, -0.8), d = sp = 0.8: 184 + 100 * 0.8^20 + 25 -> 210;
  //   B at (0, 0, -9): L = (0, 12, 2) / 12.17, d = 0.1644: 37.8 + 25 -> 62.
  const RayScene scene{{sphereAt(0, 0, 10, 1), sphereAt(0, 0, -10, 1)}, {{{0, 12, -7}, {1, 1, 1}}}};
  const auto primary = tracePrimary(kForward, scene);
  ASSERT_TRUE(primary);
  EXPECT_EQ(primary->colour, 0x00D2D2D2u);
  const auto bounce = traceReflected(primary->reflected, scene, primary->sphere);
  ASSERT_TRUE(bounce);
  EXPECT_EQ(bounce->sphere, 1u);
  EXPECT_EQ(bounce->colour, 0x003E3E3Eu);
  EXPECT_EQ(tracePixel(kForward, scene), 0x00888888u);  // (210 + 62) / 2
}

}  // namespace
}  // namespace quarvel::raytrace
