// Clipping against the view volume and the screen-space ordering of clipped polygons.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "raster/clip.h"

namespace quarvel::raster {
namespace {

using math::Vec4;
using Polygon = std::array<Vec4, kMaxClipVertices>;

enum Plane { kLeft, kBottom, kRight, kTop, kFar, kNear };

void expectVec4(const Vec4& v, float x, float y, float z, float w) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.w, w);
}

// All six passes, alternating buffers as the renderer does.
int clipAll(Polygon& polygon, int count) {
  Polygon scratch{};
  for (int p = 0; p < 6; p += 2) {
    count = clipPolygon(polygon.data(), scratch.data(), count, kClipPlanes[p]);
    count = clipPolygon(scratch.data(), polygon.data(), count, kClipPlanes[p + 1]);
  }
  return count;
}

TEST(Clip, WorkedCrossings) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(kDepthNearZ), 0xB4000000u);
  Vec4 out{};
  kClipPlanes[kLeft].intersect(out, {-2, 0, -0.5f, 1}, {0, 0, -0.5f, 1});
  expectVec4(out, -1, 0, -0.5f, 1);
  // The near crossing gets -2^-23 instead of the interpolated 0.
  kClipPlanes[kNear].intersect(out, {0, 0, -0.5f, 1}, {0, 0, 0.5f, 1});
  expectVec4(out, 0, 0, kDepthNearZ, 1);
  // t is measured from a, here the outside vertex.
  kClipPlanes[kTop].intersect(out, {0, 3, -1, 2}, {0, 0, -1, 2});
  expectVec4(out, 0, 2, -1, 2);
  kClipPlanes[kFar].intersect(out, {0, 0, -1, 2}, {0, 0, -3, 2});
  expectVec4(out, 0, 0, -2, 2);
}

TEST(Clip, VertexOnAPlaneIsNotTriviallyInsideButSurvivesUnchanged) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(vertexInside({1, 0, -0.5f, 1}));
  EXPECT_FALSE(vertexInside({0, 0, 0, 1}));
  EXPECT_FALSE(vertexInside({0, 0, -0.5f, -1}));  // behind the eye
  EXPECT_FALSE(vertexInside({nan, 0, -0.5f, 1}));
  EXPECT_TRUE(vertexInside({0.999f, -0.999f, -0.999f, 1}));
  Polygon polygon{};
  polygon[0] = {1, 0, -0.5f, 1};
  polygon[1] = {-0.5f, 0.5f, 0, 1};  // on the near plane: inside, keeps z = 0
  polygon[2] = {-0.5f, -0.5f, -0.25f, 1};
  const Polygon original = polygon;
  ASSERT_EQ(clipAll(polygon, 3), 3);
  for (int i = 0; i < 3; ++i)
    expectVec4(polygon[i], original[i].x, original[i].y, original[i].z, 1);
}

TEST(Clip, CountsFollowTheVerticesInside) {
  Polygon out{};
  EXPECT_EQ(clipPolygon(out.data(), out.data() + 3, 0, kClipPlanes[kLeft]), 0);
  // Wholly right of the volume: nothing after that pass or at the end.
  Polygon outside = {{{2, 0, -0.5f, 1}, {3, 0.5f, -0.5f, 1}, {2, 0.9f, -0.5f, 1}}};
  EXPECT_EQ(clipPolygon(outside.data(), out.data(), 3, kClipPlanes[kRight]), 0);
  EXPECT_EQ(clipAll(outside, 3), 0);
  // One vertex out: the crossing from (inside, outside) replaces it and the
  // crossing from (outside, inside) precedes the next vertex.
  const Vec4 in[3] = {{0, 0, -0.5f, 1}, {3, 0, -0.5f, 1}, {0, 0.5f, -0.5f, 1}};
  ASSERT_EQ(clipPolygon(in, out.data(), 3, kClipPlanes[kRight]), 4);
  expectVec4(out[0], 0, 0, -0.5f, 1);
  expectVec4(out[1], 1, 0, -0.5f, 1);
  EXPECT_EQ(out[2].x, 1.0f);
  EXPECT_FLOAT_EQ(out[2].y, 1.0f / 3.0f);
  expectVec4(out[3], 0, 0.5f, -0.5f, 1);
}

TEST(Clip, TriangleThroughTheNearPlaneGetsNearZ) {
  Polygon polygon = {{{0, 0, 0.5f, 1}, {0.5f, 0, -0.5f, 1}, {0, 0.5f, -0.5f, 1}}};
  ASSERT_EQ(clipAll(polygon, 3), 4);
  EXPECT_EQ(std::count_if(polygon.begin(), polygon.begin() + 4,
                          [](const Vec4& v) { return v.z == kDepthNearZ; }),
            2);
}

TEST(Clip, CornerCrossingsGrowToEightAndNineVertices) {
  const std::array<std::array<Vec4, 3>, 4> cases = {{
      {{{2.5f, -0.75f, 0.25f, 1}, {-0.25f, 1.5f, -0.375f, 1}, {-2.5f, -1.5f, -1.75f, 1}}},
      {{{-2.25f, -0.5f, 0.875f, 1}, {1.75f, 1.5f, -1.375f, 1}, {-1.25f, -2.5f, -0.125f, 1}}},
      {{{-0.25f, 2, -1.375f, 1}, {1.5f, 0.25f, -0.75f, 1}, {-1.5f, -1.75f, 0.375f, 1}}},
      {{{-2, -1.75f, -1.875f, 1}, {-0.25f, 2.5f, 0.5f, 1}, {1.25f, -0.5f, -0.125f, 1}}},
  }};
  const int expected[4] = {8, 8, 9, 9};
  for (int c = 0; c < 4; ++c) {
    Polygon polygon{};
    std::copy(cases[c].begin(), cases[c].end(), polygon.begin());
    const int count = clipAll(polygon, 3);
    EXPECT_EQ(count, expected[c]) << "case " << c;
    for (int i = 0; i < count; ++i) {
      EXPECT_LE(std::max(std::abs(polygon[i].x), std::abs(polygon[i].y)), 1.0f + 1e-6f);
      EXPECT_TRUE(polygon[i].z <= 0.0f && polygon[i].z >= -1.0f - 1e-6f);
    }
  }
}

TEST(OrderPolygon, LastOfEqualLeftmostVerticesLeads) {
  Vec4 v[4] = {{0, 5, 0, 1}, {3, 1, 0, 1}, {0, 2, 0, 1}, {4, 4, 0, 1}};
  orderPolygon(v, v + 4);
  expectVec4(v[0], 0, 2, 0, 1);
}

TEST(OrderPolygon, AnyOrderOfAConvexPolygonBecomesOneClockwiseWalk) {
  // Clockwise on screen (rows grow downwards) from the leftmost vertex; z
  // tells the vertices apart and travels with them.
  const std::array<Vec4, 5> walk = {{{10, 10, -0.1f, 1},
                                     {20, 5, -0.2f, 1},
                                     {30, 10, -0.3f, 1},
                                     {25, 20, -0.4f, 1},
                                     {15, 20, -0.5f, 1}}};
  std::array<int, 5> permutation = {0, 1, 2, 3, 4};
  do {
    std::array<Vec4, 5> v{};
    for (int i = 0; i < 5; ++i) v[i] = walk[permutation[i]];
    orderPolygon(v.data(), v.data() + 5);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(v[i].z, walk[i].z);
  } while (std::next_permutation(permutation.begin(), permutation.end()));
}

}  // namespace
}  // namespace quarvel::raster
