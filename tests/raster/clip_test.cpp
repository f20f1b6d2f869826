// Clipping against the view volume and the screen-space ordering of clipped polygons.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "raster/clip.h"

namespace quarvel::raster {
namespace {

using math::Vec4;

enum Plane { kLeft, kBottom, kRight, kTop, kFar, kNear };

void expectVec4(const Vec4& v, float x, float y, float z, float w) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.w, w);
}

// All six passes, alternating buffers as the renderer does.
int clipAll(std::array<Vec4, kMaxClipVertices>& polygon, int count) {
  std::array<Vec4, kMaxClipVertices> scratch{};
  for (int p = 0; p < 6; p += 2) {
    count = clipPolygon(polygon.data(), scratch.data(), count, kClipPlanes[p]);
    count = clipPolygon(scratch.data(), polygon.data(), count, kClipPlanes[p + 1]);
  }
  return count;
}

TEST(Clip, NearZIsMinusTwoToTheMinus23) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(kDepthNearZ), 0xB4000000u);
}

TEST(Clip, WorkedCrossings) {
  Vec4 out{};
  kClipPlanes[kLeft].intersect(out, {-2, 0, -0.5f, 1}, {0, 0, -0.5f, 1});
  expectVec4(out, -1, 0, -0.5f, 1);
  kClipPlanes[kNear].intersect(out, {0, 0, -0.5f, 1}, {0, 0, 0.5f, 1});
  expectVec4(out, 0, 0, kDepthNearZ, 1);
  // t is measured from a: from the outside vertex, a quarter of the way.
  kClipPlanes[kRight].intersect(out, {3, 1, -0.5f, 1}, {-5, 1, -0.5f, 1});
  expectVec4(out, 1, 1, -0.5f, 1);
  kClipPlanes[kTop].intersect(out, {0, 3, -1, 2}, {0, 0, -1, 2});
  expectVec4(out, 0, 2, -1, 2);
  kClipPlanes[kBottom].intersect(out, {0, 0, -1, 1}, {0, -4, -1, 1});
  expectVec4(out, 0, -1, -1, 1);
  // Far: w + z goes from 1 to -1, so t = 0.5 and w is interpolated too.
  kClipPlanes[kFar].intersect(out, {0, 0, -1, 2}, {0, 0, -3, 2});
  expectVec4(out, 0, 0, -2, 2);
}

TEST(Clip, PlaneTestsAreInclusiveAndTheVolumeTestStrict) {
  const Vec4 onRight{1, 0, -0.5f, 1};
  for (const ClipPlane& plane : kClipPlanes) EXPECT_TRUE(plane.inside(onRight));
  EXPECT_FALSE(vertexInside(onRight));
  EXPECT_TRUE(kClipPlanes[kNear].inside({0, 0, 0, 1}));
  EXPECT_FALSE(vertexInside({0, 0, 0, 1}));
  EXPECT_TRUE(kClipPlanes[kFar].inside({0, 0, -1, 1}));
  EXPECT_FALSE(vertexInside({0, 0, -1, 1}));
  EXPECT_FALSE(vertexInside({0, -1, -0.5f, 1}));
  EXPECT_FALSE(vertexInside({0, 0, -0.5f, -1}));  // behind the eye
  EXPECT_TRUE(vertexInside({0.999f, -0.999f, -0.999f, 1}));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(vertexInside({nan, 0, -0.5f, 1}));
  EXPECT_FALSE(vertexInside({0, 0, -0.5f, nan}));
}

TEST(Clip, VertexOnAPlaneLeavesTheTriangleUnchanged) {
  std::array<Vec4, kMaxClipVertices> polygon{};
  polygon[0] = {1, 0, -0.5f, 1};
  polygon[1] = {-0.5f, 0.5f, -0.5f, 1};
  polygon[2] = {-0.5f, -0.5f, -0.25f, 1};
  const auto original = polygon;
  ASSERT_EQ(clipAll(polygon, 3), 3);
  for (int i = 0; i < 3; ++i)
    expectVec4(polygon[i], original[i].x, original[i].y, original[i].z, 1);
}

TEST(Clip, EmptyAndOutsideInputsGiveNothing) {
  std::array<Vec4, kMaxClipVertices> polygon{};
  EXPECT_EQ(clipPolygon(polygon.data(), polygon.data() + 3, 0, kClipPlanes[kLeft]), 0);
  EXPECT_EQ(clipPolygon(polygon.data(), polygon.data() + 3, -2, kClipPlanes[kLeft]), 0);
  polygon[0] = {2, 0, -0.5f, 1};
  polygon[1] = {3, 0.5f, -0.5f, 1};
  polygon[2] = {2, 0.9f, -0.5f, 1};
  std::array<Vec4, kMaxClipVertices> out{};
  EXPECT_EQ(clipPolygon(polygon.data(), out.data(), 3, kClipPlanes[kRight]), 0);
  EXPECT_EQ(clipAll(polygon, 3), 0);
}

TEST(Clip, OneVertexOutsideBecomesAQuadInOrder) {
  // Edge order: the intersection from (prev = outside, cur = inside) comes
  // before cur; the one from (prev = inside, cur = outside) replaces cur.
  const Vec4 in[3] = {{0, 0, -0.5f, 1}, {3, 0, -0.5f, 1}, {0, 0.5f, -0.5f, 1}};
  Vec4 out[kMaxClipVertices];
  ASSERT_EQ(clipPolygon(in, out, 3, kClipPlanes[kRight]), 4);
  expectVec4(out[0], 0, 0, -0.5f, 1);
  expectVec4(out[1], 1, 0, -0.5f, 1);
  EXPECT_EQ(out[2].x, 1.0f);
  EXPECT_FLOAT_EQ(out[2].y, 0.5f * 2.0f / 3.0f);
  expectVec4(out[3], 0, 0.5f, -0.5f, 1);
}

TEST(Clip, TriangleCutByTheNearPlaneGetsNearZ) {
  std::array<Vec4, kMaxClipVertices> polygon{};
  polygon[0] = {0, 0, 0.5f, 1};
  polygon[1] = {0.5f, 0, -0.5f, 1};
  polygon[2] = {0, 0.5f, -0.5f, 1};
  ASSERT_EQ(clipAll(polygon, 3), 4);
  int nearVertices = 0;
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(polygon[i].z, 0.0f);
    if (polygon[i].z == kDepthNearZ) ++nearVertices;
  }
  EXPECT_EQ(nearVertices, 2);
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
    std::array<Vec4, kMaxClipVertices> polygon{};
    std::copy(cases[c].begin(), cases[c].end(), polygon.begin());
    EXPECT_EQ(clipAll(polygon, 3), expected[c]) << "case " << c;
  }
}

TEST(Clip, RandomTrianglesStayWithinNineVerticesAndTheVolume) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-3, 3);
  int largest = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    std::array<Vec4, kMaxClipVertices> polygon{};
    for (int k = 0; k < 3; ++k) {
      polygon[k] = {coordinate(random), coordinate(random), coordinate(random) * 0.5f - 0.5f, 1};
    }
    const int count = clipAll(polygon, 3);
    ASSERT_LE(count, kMaxClipVertices);
    largest = std::max(largest, count);
    for (int i = 0; i < count; ++i) {
      const Vec4& v = polygon[i];
      EXPECT_LE(std::fabs(v.x), 1.0f + 1e-5f);
      EXPECT_LE(std::fabs(v.y), 1.0f + 1e-5f);
      EXPECT_LE(v.z, 0.0f);
      EXPECT_GE(v.z, -1.0f - 1e-5f);
    }
  }
  EXPECT_EQ(largest, 9);
}

TEST(OrderPolygon, LastOfEqualLeftmostVerticesLeads) {
  Vec4 v[4] = {{0, 5, 0, 1}, {3, 1, 0, 1}, {0, 2, 0, 1}, {4, 4, 0, 1}};
  orderPolygon(v, v + 4);
  EXPECT_EQ(v[0].x, 0.0f);
  EXPECT_EQ(v[0].y, 2.0f);
  Vec4 single[1] = {{7, 8, 0, 1}};
  orderPolygon(single, single + 1);
  EXPECT_EQ(single[0].x, 7.0f);
}

TEST(OrderPolygon, AnyOrderOfAConvexPolygonBecomesOneClockwiseWalk) {
  // Clockwise on screen (rows grow downwards) from the leftmost vertex.
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
    for (int i = 0; i < 5; ++i) {
      // z travels with its vertex.
      ASSERT_EQ(v[i].x, walk[i].x);
      ASSERT_EQ(v[i].y, walk[i].y);
      ASSERT_EQ(v[i].z, walk[i].z);
    }
  } while (std::next_permutation(permutation.begin(), permutation.end()));
}

}  // namespace
}  // namespace quarvel::raster
