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

TEST(Vec3, TheRoundedInverseLength) {
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
  // f = 1 / tan(pi / 8), f * 4/3, q = 100 / 99.9 and q * 0.1; the near plane maps to depth 0.
  const Mat4 p = perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f);
  expectMatrix(p,
               {{0x1.3504f2p+1f, 0, 0, 0, 0, 0x1.9c0698p+1f, 0, 0, 0, 0, 0x1.00419ap+0f, -1, 0, 0,
                 0x1.9a029p-4f, 0}},
               "perspective");
  const Vec4 nearPoint = transformPoint(p, {0, 0, -0.1f});
  EXPECT_TRUE(nearPoint.z == 0.0f && nearPoint.w == 0.1f);
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
