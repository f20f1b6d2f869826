// Vector and matrix arithmetic: element formulas, operand order and rounding points.
#include <cmath>

#include <gtest/gtest.h>

#include "math/mat4.h"
#include "math/vec3.h"

namespace quarvel::math {
namespace {

void expectMatrix(const Mat4& got, const Mat4& want, const char* what) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(got.m[i], want.m[i]) << what << " element " << i;
}

TEST(Vec3, ProductsAndTheRoundedInverseLength) {
  const Vec3 c = cross({1, 2, 3}, {4, 5, 6});
  EXPECT_TRUE(c.x == -3 && c.y == 6 && c.z == -3);
  EXPECT_EQ(dot({1, 2, 3}, {4, 5, 6}), 32.0f);
  // Each component times float(1 / 13); dividing by 13 would give other floats.
  const Vec3 n = normalize({3, 4, 12});
  EXPECT_TRUE(n.x == 0x1.d89d8cp-3f && n.y == 0x1.3b13b2p-2f && n.z == 0x1.d89d8cp-1f);
  EXPECT_TRUE(std::isnan(normalize({0, 0, 0}).y));
}

TEST(Mat4, ElementTables) {
  // Sine and cosine rounded once from double: at this angle (frame 794 of the
  // demo) the float cosine function is an ulp off, -0x1.aaa9e2p-2.
  const float c = -0x1.aaa9e4p-2f, s = 0x1.d17068p-1f;
  expectMatrix(rotationY(0x1.3d98f2p+5f), {{c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}},
               "rotationY");
  // f = 1 / tan(pi / 8), f * 4/3, q = 100 / 99.9 and q * 0.1.
  expectMatrix(perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f),
               {{0x1.3504f2p+1f, 0, 0, 0, 0, 0x1.9c0698p+1f, 0, 0, 0, 0, 0x1.00419ap+0f, -1, 0, 0,
                 0x1.9a029p-4f, 0}},
               "perspective");
  // The opening scene's first field of view, pi + 0.0005: a tiny negative focal factor.
  EXPECT_EQ(perspective(0x1.923018p+1f, 1.3333334f, 0.1f, 100.0f).m[0], -0x1.062bbcp-12f);
  expectMatrix(translation(0, 0, 0), identity(), "translation");
}

TEST(Mat4, PointsMapAsTheRulesSay) {
  const Mat4 p = perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f);
  const Vec4 nearPoint = transformPoint(p, {0, 0, -0.1f});
  EXPECT_TRUE(nearPoint.z == 0.0f && nearPoint.w == 0.1f);
  // multiply(first, second) applies first: rotating the origin leaves it, then it moves.
  const Mat4 r = rotationY(0.3f);
  const Vec4 moved = transformPoint(multiply(r, translation(1, 2, 3)), {0, 0, 0});
  EXPECT_TRUE(moved.x == 1 && moved.y == 2 && moved.z == 3 && moved.w == 1);
  // The other way round the translation is turned: x' = 1 c + 3 s, z' = -1 s + 3 c.
  const Vec4 swung = transformPoint(multiply(translation(1, 2, 3), r), {0, 0, 0});
  EXPECT_EQ(swung.x, 0x1.e921dep-1f + 3 * 0x1.2e9cdap-2f);
  EXPECT_EQ(swung.z, -0x1.2e9cdap-2f + 3 * 0x1.e921dep-1f);
}

TEST(Mat4, MultiplyAccumulatesInElementOrder) {
  // Row 0 times column 0, k = 0..3: (1e8 + 1) - 1e8 is 0 in float; pairing the
  // large terms first would keep the 1.
  Mat4 a{}, b{};
  a.m[0] = 1e8f;
  a.m[1] = 1.0f;
  a.m[2] = -1e8f;
  b.m[0] = b.m[4] = b.m[8] = 1.0f;
  EXPECT_EQ(multiply(a, b).m[0], 0.0f);
  a.m[3] = 2.0f;  // and the fourth term comes from row 3 of the second matrix
  b.m[12] = 5.0f;
  EXPECT_EQ(multiply(a, b).m[0], 10.0f);
}

}  // namespace
}  // namespace quarvel::math
