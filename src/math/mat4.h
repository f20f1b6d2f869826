// 4 x 4 single-precision matrix with points as row vectors: p' = (x, y, z, 1) * M.
#pragma once

#include <array>
#include "math/elementary.h"
#include "math/vec3.h"
#include "math/vec4.h"

namespace quarvel::math {

// Element (row i, column j) is m[4 * i + j]; the translation sits in m[12..14]
// and the projective column in m[3], m[7], m[11], m[15].
struct Mat4 {
  std::array<float, 16> m;

  friend bool operator==(const Mat4&, const Mat4&) = default;
};

inline Mat4 identity() {
  return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

inline Mat4 translation(float tx, float ty, float tz) {
  Mat4 r = identity();
  r.m[12] = tx;
  r.m[13] = ty;
  r.m[14] = tz;
  return r;
}

// A positive angle (radians) turns +z towards +x. The sine and cosine are
// correctly rounded in double, then rounded once to float.
inline Mat4 rotationY(float angle) {
  const auto c = static_cast<float>(math::cos(static_cast<double>(angle)));
  const auto s = static_cast<float>(math::sin(static_cast<double>(angle)));
  Mat4 r{};
  r.m[0] = c;
  r.m[2] = -s;
  r.m[5] = 1;
  r.m[8] = s;
  r.m[10] = c;
  r.m[15] = 1;
  return r;
}

// Camera looks along -z; z'/w' is 0 at z = -near and -1 at z = -far.
// fov is horizontal; aspect multiplies the vertical scale. No argument is
// checked: a fov beyond pi gives a negative focal factor and a mirrored image.
// The tangent is rounded once to float, as rotationY's sine and cosine are: the
// float library functions disagree between platforms by an ulp.
inline Mat4 perspective(float fov, float aspect, float near, float far) {
  const float f = 1.0f / static_cast<float>(math::tan(static_cast<double>(fov) / 2.0));
  const float q = far / (far - near);
  Mat4 r{};
  r.m[0] = f;
  r.m[5] = f * aspect;
  r.m[10] = q;
  r.m[11] = -1;
  r.m[14] = q * near;
  return r;
}

// The transform that applies `first`, then `second`.
inline Mat4 multiply(const Mat4& first, const Mat4& second) {
  Mat4 r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      sum += first.m[4 * i] * second.m[j];
      sum += first.m[4 * i + 1] * second.m[4 + j];
      sum += first.m[4 * i + 2] * second.m[8 + j];
      sum += first.m[4 * i + 3] * second.m[12 + j];
      r.m[4 * i + j] = sum;
    }
  }
  return r;
}

// p taken with w = 1; no division by w happens here.
inline Vec4 transformPoint(const Mat4& matrix, Vec3 p) {
  const auto& m = matrix.m;
  return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
          p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
          p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14],
          p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15]};
}

}  // namespace quarvel::math
