// Three-component single-precision vector: points, directions and RGB colour triples.
#pragma once

#include <cmath>

namespace quarvel::math {

// Exactly three packed floats, so arrays of Vec3 read and copy as float triples.
// Default construction leaves the components uninitialised, like a plain float.
struct Vec3 {
  float x;
  float y;
  float z;
};
static_assert(sizeof(Vec3) == 12, "mesh files and ray records rely on packed float triples");

inline Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

inline Vec3 subtract(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline Vec3 scaleVec(Vec3 v, float s) { return {s * v.x, s * v.y, s * v.z}; }

inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Multiplies by the float-rounded inverse length rather than dividing, so that
// results match the reference bit for bit. The zero vector gives three NaNs.
inline Vec3 normalize(Vec3 v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  const float inverse = 1.0f / length;
  return {inverse * v.x, inverse * v.y, inverse * v.z};
}

}  // namespace quarvel::math
