// Clipping against the view volume and the screen-space ordering of clipped polygons.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "raster/clip.h"

namespace quarvel::raster {
namespace {

using math::Vec4;
using Polygon = std::array<Vec4, kMaxClipVertices>;

bool same(const Vec4& a, const Vec4& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
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

TEST(Clip, EachPlaneInsideTestAndCrossing) {
  struct Case {
    const char* plane;
    Vec4 a, b, crossing;  // a outside, b inside; t measured from a
  };
  // t = 0.4 for the four side planes and 2/3 for the far one, in float.
  const float p4 = 0x1.666666p+0f, p6 = 0x1.333334p-1f, z = -0x1.666666p-1f;
  const Case cases[] = {
      {"left", {-3, 1, -0.5f, 1}, {1, 0, -1, 2}, {-p4, p6, z, p4}},
      {"bottom", {1, -3, -0.5f, 1}, {0, 1, -1, 2}, {p6, -p4, z, p4}},
      {"right", {3, 1, -0.5f, 1}, {-1, 0, -1, 2}, {p4, p6, z, p4}},
      {"top", {1, 3, -0.5f, 1}, {0, -1, -1, 2}, {p6, p4, z, p4}},
      {"far",
       {1, 0, -3, 1},
       {0, 1, -1, 2},
       {0x1.555554p-2f, 0x1.555556p-1f, -0x1.aaaaaap+0f, 0x1.aaaaacp+0f}},
      // The near crossing gets -2^-23 (bits 0xB4000000) instead of the interpolated 0.
      {"near", {-1, 1, 1.5f, 2}, {1, 0, -0.5f, 1}, {0.5f, 0.25f, -0x1p-23f, 1.25f}},
  };
  for (int i = 0; i < 6; ++i) {
    const Case& c = cases[i];
    const ClipPlane& plane = kClipPlanes[i];
    EXPECT_TRUE(!plane.inside(c.a) && plane.inside(c.b) && plane.inside(c.crossing)) << c.plane;
    Vec4 out{};
    // The near case is listed inside-first: its crossing is measured from the inside vertex.
    i == 5 ? plane.intersect(out, c.b, c.a) : plane.intersect(out, c.a, c.b);
    EXPECT_TRUE(same(out, c.crossing))
        << c.plane << ": " << out.x << " " << out.y << " " << out.z << " " << out.w;
  }
  // Inside tests are inclusive; the whole-volume test is strict and NaN fails it.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::pair<Vec4, bool> volume[] = {{{0.999f, -0.999f, -0.999f, 1}, true},
                                          {{1, 0, -0.5f, 1}, false},
                                          {{-1, 0, -0.5f, 1}, false},
                                          {{0, 1, -0.5f, 1}, false},
                                          {{0, -1, -0.5f, 1}, false},
                                          {{0, 0, 0, 1}, false},
                                          {{0, 0, -1, 1}, false},
                                          {{0, 0, -0.5f, -1}, false},
                                          {{nan, 0, -0.5f, 1}, false}};
  for (const auto& [v, inside] : volume) {
    EXPECT_EQ(vertexInside(v), inside) << v.x << " " << v.y << " " << v.z << " " << v.w;
  }
}

TEST(Clip, CountsAndOrderOfEmittedVertices) {
  Polygon out{};
  EXPECT_EQ(clipPolygon(out.data(), out.data() + 3, 0, kClipPlanes[0]), 0);
  Polygon outside = {{{2, 0, -0.5f, 1}, {3, 0.5f, -0.5f, 1}, {2, 0.9f, -0.5f, 1}}};
  EXPECT_EQ(clipPolygon(outside.data(), out.data(), 3, kClipPlanes[2]), 0);
  EXPECT_EQ(clipAll(outside, 3), 0);
  // One vertex out: the crossing (inside, outside) replaces it and the crossing
  // (outside, inside) precedes the next vertex.
  const Vec4 in[3] = {{0, 0, -0.5f, 1}, {3, 0, -0.5f, 1}, {0, 0.5f, -0.5f, 1}};
  ASSERT_EQ(clipPolygon(in, out.data(), 3, kClipPlanes[2]), 4);
  EXPECT_TRUE(same(out[0], in[0]) && same(out[1], {1, 0, -0.5f, 1}) && same(out[3], in[2]));
  EXPECT_TRUE(out[2].x == 1 && out[2].y == 0x1.555556p-2f);
  // A vertex exactly on a plane is not trivially inside but survives every pass,
  // and one on the near plane keeps z = 0.
  Polygon onPlanes = {{{1, 0, -0.5f, 1}, {-0.5f, 0.5f, 0, 1}, {-0.5f, -0.5f, -0.25f, 1}}};
  const Polygon original = onPlanes;
  ASSERT_EQ(clipAll(onPlanes, 3), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(same(onPlanes[i], original[i])) << i;
  // Through the near plane: two new vertices at -2^-23.
  Polygon throughNear = {{{0, 0, 0.5f, 1}, {0.5f, 0, -0.5f, 1}, {0, 0.5f, -0.5f, 1}}};
  ASSERT_EQ(clipAll(throughNear, 3), 4);
  EXPECT_EQ(std::count_if(throughNear.begin(), throughNear.begin() + 4,
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

TEST(OrderPolygon, AnyOrderBecomesOneClockwiseWalkFromTheLastLeftmostVertex) {
  Vec4 tie[4] = {{0, 5, 0, 1}, {3, 1, 0, 1}, {0, 2, 0, 1}, {4, 4, 0, 1}};
  orderPolygon(tie, tie + 4);
  EXPECT_TRUE(same(tie[0], {0, 2, 0, 1}));
  // Clockwise on screen (rows grow downwards); z tells the vertices apart.
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
