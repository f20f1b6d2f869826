// Vector and matrix arithmetic: exact element formulas and rounding points.
#include <cmath>

#include <gtest/gtest.h>

#include "math/mat4.h"
#include "math/vec3.h"

namespace quarvel::math {
namespace {

constexpr float kPi = 3.14159265f;

TEST(Vec3, NormalizeMultipliesByTheRoundedInverse) {
  const Vec3 v{3, 0, 4};
  const Vec3 n = normalize(v);
  const float inverse = 1.0f / 5.0f;  // 0.2 is not exact in float: 0.6 comes from 3 * 0.2f
  EXPECT_EQ(n.x, 3.0f * inverse);
  EXPECT_EQ(n.y, 0.0f);
  EXPECT_EQ(n.z, 4.0f * inverse);
  EXPECT_FLOAT_EQ(n.x, 0.6f);
}

TEST(Vec3, NormalizeOfZeroGivesNaN) {
  const Vec3 n = normalize({0, 0, 0});
  EXPECT_TRUE(std::isnan(n.x));
  EXPECT_TRUE(std::isnan(n.y));
  EXPECT_TRUE(std::isnan(n.z));
}

TEST(Vec3, CrossFollowsTheRightHandRule) {
  const Vec3 c = cross({1, 0, 0}, {0, 1, 0});
  EXPECT_EQ(c.x, 0.0f);
  EXPECT_EQ(c.y, 0.0f);
  EXPECT_EQ(c.z, 1.0f);
  const Vec3 d = cross({1, 2, 3}, {4, 5, 6});
  EXPECT_EQ(d.x, -3.0f);
  EXPECT_EQ(d.y, 6.0f);
  EXPECT_EQ(d.z, -3.0f);
  EXPECT_EQ(dot({1, 2, 3}, {4, 5, 6}), 32.0f);
}

TEST(Mat4, IdentityEqualsZeroTranslation) { EXPECT_EQ(identity(), translation(0, 0, 0)); }

TEST(Mat4, RotationYTurnsZTowardsX) {
  const Vec4 p = transformPoint(rotationY(kPi / 2), {0, 0, 1});
  EXPECT_NEAR(p.x, 1.0f, 1e-6f);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_NEAR(p.z, 0.0f, 1e-6f);
  EXPECT_EQ(p.w, 1.0f);
  const Mat4 r = rotationY(0.3f);
  EXPECT_EQ(r.m[0], std::cos(0.3f));
  EXPECT_EQ(r.m[2], -std::sin(0.3f));
  EXPECT_EQ(r.m[8], std::sin(0.3f));
  // Rounded once from double: the float cosine gives -0x1.aaa9e2p-2 here.
  EXPECT_EQ(rotationY(0x1.3d98f2p+5f).m[0], -0x1.aaa9e4p-2f);
}

TEST(Mat4, PerspectiveMapsNearToZeroAndFarToMinusOne) {
  const Mat4 p = perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f);
  const Vec4 nearPoint = transformPoint(p, {0, 0, -0.1f});
  EXPECT_EQ(nearPoint.z, 0.0f);
  EXPECT_EQ(nearPoint.w, 0.1f);
  const Vec4 farPoint = transformPoint(p, {0, 0, -100.0f});
  EXPECT_FLOAT_EQ(farPoint.z / farPoint.w, -1.0f);
  EXPECT_EQ(p.m[15], 0.0f);
  EXPECT_EQ(p.m[11], -1.0f);
  EXPECT_EQ(p.m[5], p.m[0] * 1.3333334f);
}

TEST(Mat4, PerspectiveBeyondPiMirrorsTheImage) {
  const Mat4 p = perspective(3.1415927f + 0.0005f, 1.3333334f, 0.1f, 100.0f);
  EXPECT_LT(p.m[0], 0.0f);
  EXPECT_GT(p.m[0], -0.001f);
}

TEST(Mat4, MultiplyAppliesFirstThenSecond) {
  const Mat4 r = rotationY(0.7f);
  const Mat4 t = translation(1, 2, 3);
  const Vec4 a = transformPoint(multiply(r, t), {0, 0, 0});
  EXPECT_EQ(a.x, 1.0f);
  EXPECT_EQ(a.y, 2.0f);
  EXPECT_EQ(a.z, 3.0f);
  const Vec4 b = transformPoint(multiply(t, r), {0, 0, 0});
  const Vec4 expected = transformPoint(r, {1, 2, 3});
  EXPECT_FLOAT_EQ(b.x, expected.x);
  EXPECT_FLOAT_EQ(b.z, expected.z);
  EXPECT_EQ(b.y, 2.0f);
}

TEST(Mat4, MultiplyAccumulatesInElementOrder) {
  Mat4 a{};
  Mat4 b{};
  // Row 0 of a times column 0 of b, summed k = 0, 1, 2, 3: (1e8 + 1) - 1e8 is 0
  // in float, while pairing the two large terms first would keep the 1.
  a.m[0] = 1e8f;
  a.m[1] = 1.0f;
  a.m[2] = -1e8f;
  b.m[0] = 1.0f;
  b.m[4] = 1.0f;
  b.m[8] = 1.0f;
  EXPECT_EQ(multiply(a, b).m[0], 0.0f);
}

}  // namespace
}  // namespace quarvel::math
