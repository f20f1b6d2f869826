// The polygon pipeline: clip planes and polygon order, triangle coverage and depth keys (the fast
// fill against the reference), and the mesh renderer's viewport, culling, colour and near cuts.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "raster/clip.h"
#include "raster/fill_triangle.h"
#include "raster/mesh_renderer.h"
#include "support/vector_paths.h"

namespace quarvel::raster {
namespace {

using math::Vec4;
using Polygon = std::array<Vec4, kMaxClipVertices>;
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

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
  const Vec4 farCrossing = {0x1.555554p-2f, 0x1.555556p-1f, -0x1.aaaaaap+0f, 0x1.aaaaacp+0f};
  const Case cases[] = {
      {"left", {-3, 1, -0.5f, 1}, {1, 0, -1, 2}, {-p4, p6, z, p4}},
      {"bottom", {1, -3, -0.5f, 1}, {0, 1, -1, 2}, {p6, -p4, z, p4}},
      {"right", {3, 1, -0.5f, 1}, {-1, 0, -1, 2}, {p4, p6, z, p4}},
      {"top", {1, 3, -0.5f, 1}, {0, -1, -1, 2}, {p6, p4, z, p4}},
      {"far", {1, 0, -3, 1}, {0, 1, -1, 2}, farCrossing},
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
  EXPECT_TRUE(vertexInside({0.999f, -0.999f, -0.999f, 1}));
  const Vec4 outside[] = {{1, 0, -0.5f, 1},  {-1, 0, -0.5f, 1},  {0, 1, -0.5f, 1},
                          {0, -1, -0.5f, 1}, {0, 0, 0, 1},       {0, 0, -1, 1},
                          {0, 0, -0.5f, -1}, {kNan, 0, -0.5f, 1}};
  for (const Vec4& v : outside) EXPECT_FALSE(vertexInside(v)) << v.x << " " << v.y << " " << v.z;
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
  Polygon cases[] = {
      {{{2.5f, -0.75f, 0.25f, 1}, {-0.25f, 1.5f, -0.375f, 1}, {-2.5f, -1.5f, -1.75f, 1}}},
      {{{-2.25f, -0.5f, 0.875f, 1}, {1.75f, 1.5f, -1.375f, 1}, {-1.25f, -2.5f, -0.125f, 1}}},
      {{{-0.25f, 2, -1.375f, 1}, {1.5f, 0.25f, -0.75f, 1}, {-1.5f, -1.75f, 0.375f, 1}}},
      {{{-2, -1.75f, -1.875f, 1}, {-0.25f, 2.5f, 0.5f, 1}, {1.25f, -0.5f, -0.125f, 1}}}};
  for (int c = 0; c < 4; ++c) {
    const int count = clipAll(cases[c], 3);
    EXPECT_EQ(count, c < 2 ? 8 : 9) << "case " << c;
    for (int i = 0; i < count; ++i) {
      const Vec4& v = cases[c][i];
      EXPECT_TRUE(std::max(std::abs(v.x), std::abs(v.y)) <= 1.0f + 1e-6f && v.z <= 0.0f &&
                  v.z >= -1.0f - 1e-6f)
          << "case " << c << " vertex " << i;
    }
  }
}

TEST(OrderPolygon, AnyOrderBecomesOneClockwiseWalkFromTheLastLeftmostVertex) {
  Vec4 tie[4] = {{0, 5, 0, 1}, {3, 1, 0, 1}, {0, 2, 0, 1}, {4, 4, 0, 1}};
  orderPolygon(tie, tie + 4);
  EXPECT_TRUE(same(tie[0], {0, 2, 0, 1}));
  // A walk clockwise on screen (rows grow downwards), in every starting order.
  const float x[5] = {10, 20, 30, 25, 15}, y[5] = {10, 5, 10, 20, 20};
  std::array<int, 5> permutation = {0, 1, 2, 3, 4};
  do {
    Vec4 v[5];
    for (int i = 0; i < 5; ++i) v[i] = {x[permutation[i]], y[permutation[i]], 0, 1};
    orderPolygon(v, v + 5);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(v[i].x == x[i] && v[i].y == y[i]) << i;
  } while (std::next_permutation(permutation.begin(), permutation.end()));
}

using Pixel = std::pair<int, int>;  // (x, y)

// A 16 x 16 target with its own depth buffer, cleared to 0 like the renderer's.
struct Canvas {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(256, 0);
  std::vector<float> depth = std::vector<float>(256, 0.0f);
  display::Bitmap bitmap{pixels.data(), 16, 16};
  void fill(Vec4 a, Vec4 b, Vec4 c, std::uint32_t colour) {
    fillTriangle(a, b, c, bitmap, depth.data(), colour);
  }
};

// The pixels one triangle covers on a fresh canvas.
std::set<Pixel> coverage(Vec4 a, Vec4 b, Vec4 c) {
  Canvas canvas;
  canvas.fill(a, b, c, 1);
  std::set<Pixel> out;
  for (int i = 0; i < 256; ++i) {
    if (canvas.pixels[i] != 0) out.insert({i % 16, i / 16});
  }
  return out;
}

TEST(FillTriangle, CoverageRuleInAnyVertexOrder) {
  struct Case {
    const char* name;
    std::array<Vec4, 3> v;
    std::set<Pixel> pixels;
  };
  const float z = -0.5f;
  const Case cases[] = {
      // A square split on its diagonal: 10 + 6 pixels, none twice; top and left edges count.
      {"upper left",
       {{{0, 0, z, 1}, {4, 0, z, 1}, {0, 4, z, 1}}},
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}, {1, 2}, {0, 3}}},
      {"lower right",
       {{{4, 0, z, 1}, {4, 4, z, 1}, {0, 4, z, 1}}},
       {{3, 1}, {2, 2}, {3, 2}, {1, 3}, {2, 3}, {3, 3}}},
      // Rows from ceil(top) up to but excluding the bottom; columns likewise.
      {"fractional",
       {{{1.5f, 0.5f, z, 1}, {5.2f, 2.5f, z, 1}, {1.5f, 3.7f, z, 1}}},
       {{2, 1}, {2, 2}, {3, 2}, {4, 2}, {2, 3}, {3, 3}}},
      {"flat", {{{1, 5, z, 1}, {9, 5, z, 1}, {4, 5, z, 1}}}, {}},
      {"between two rows", {{{1, 10.2f, z, 1}, {9, 10.9f, z, 1}, {4, 10.5f, z, 1}}}, {}},
      {"edges round up to one column", {{{3.2f, 1, z, 1}, {3.8f, 1, z, 1}, {3.5f, 8, z, 1}}}, {}},
      // z = 0: that key is infinite; the interpolated ones infinite or NaN, never below 0.
      {"key infinite", {{{4, 0, 0, 1}, {0, 8, z, 1}, {9, 8, z, 1}}}, {}},
  };
  for (const Case& c : cases) {
    std::array<int, 3> order = {0, 1, 2};
    do {
      EXPECT_EQ(coverage(c.v[order[0]], c.v[order[1]], c.v[order[2]]), c.pixels)
          << c.name << " order " << order[0] << order[1] << order[2];
    } while (std::next_permutation(order.begin(), order.end()));
  }
}

TEST(FillTriangle, NearerKeyWinsInEitherOrderAndEqualKeysKeepTheFirst) {
  const Vec4 far[3] = {{0, 0, -0.5f, 1}, {12, 0, -0.5f, 1}, {0, 12, -0.5f, 1}};
  const Vec4 near[3] = {{1, 1, -0.25f, 1}, {8, 1, -0.25f, 1}, {1, 8, -0.25f, 1}};
  for (int nearFirst = 0; nearFirst < 2; ++nearFirst) {
    Canvas canvas;
    if (nearFirst) canvas.fill(near[0], near[1], near[2], 2);
    canvas.fill(far[0], far[1], far[2], 1);
    if (!nearFirst) canvas.fill(near[0], near[1], near[2], 2);
    EXPECT_TRUE(canvas.pixels[2 * 16 + 2] == 2 && canvas.depth[2 * 16 + 2] == -4.0f) << nearFirst;
    EXPECT_TRUE(canvas.pixels[10] == 1 && canvas.depth[10] == -2.0f) << nearFirst;
  }
  Canvas canvas;
  canvas.fill(far[0], far[1], far[2], 1);
  canvas.fill(far[0], far[1], far[2], 2);
  EXPECT_EQ(std::count(canvas.pixels.begin(), canvas.pixels.end(), 2u), 0);
}

TEST(FillTriangle, KeysStartAtTheEdgeWithoutHorizontalPrestep) {
  Canvas canvas;
  // Keys 1 / z: -2, -8 and -4 at the corners. Row r spans columns 1 .. 8 - r from the
  // left edge's key, -2 - r / 4 (no horizontal prestep), falling by 0.75 a column.
  canvas.fill({0.5f, 0, -0.5f, 1}, {8.5f, 0, -0.125f, 1}, {0.5f, 8, -0.25f, 1}, 7);
  for (int r = 0; r < 8; ++r) {
    for (int x = 1; x <= 8 - r; ++x) {
      EXPECT_EQ(canvas.depth[r * 16 + x], -2.0f - 0.25f * r - 0.75f * (x - 1)) << x << "," << r;
    }
  }
  EXPECT_TRUE(canvas.pixels[0] == 0 && canvas.pixels[9] == 0 && canvas.pixels[16 + 8] == 0);
  EXPECT_TRUE(canvas.pixels[7 * 16 + 1] == 7 && canvas.pixels[8 * 16 + 1] == 0);
}

using math::Vec3;

// A 320 x 240 frame seen through the demo's pi/4 projection.
struct Frame {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(320 * 240, 0);
  display::Bitmap bitmap{pixels.data(), 320, 240};
  MeshRenderer renderer{&bitmap, 0, 240, 0, 320};
  Frame() { renderer.projection = math::perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f); }
  void draw(const std::vector<Vec3>& v, const std::vector<std::int32_t>& indices, float red = 1,
            float green = 1, float blue = 1) {
    renderer.render(v.data(), indices.data(), static_cast<std::int32_t>(indices.size()), red, green,
                    blue);
  }
  std::uint32_t at(int x, int y) const { return pixels[y * 320 + x]; }
  long drawn() const {  // the renderer's pixels carry 1 in the top byte
    return std::count_if(pixels.begin(), pixels.end(),
                         [](std::uint32_t p) { return p >> 24 == 1; });
  }
};

// A square facing the eye at depth z, counter-clockwise as seen from the eye.
std::vector<Vec3> square(float half, float z) {
  return {{-half, -half, z}, {half, -half, z}, {half, half, z}, {-half, half, z}};
}
const std::vector<std::int32_t> kSquare = {0, 1, 2, 0, 2, 3};

TEST(MeshRenderer, ViewportAndFacingRules) {
  const math::Vec4 shifted = toViewport({-0.5f, 0.25f, -0.5f, 1}, 10, 20, 100, 111);
  // 0.25 * 10 + 100, 0.375 * 9 + 10; z passes through
  EXPECT_TRUE(shifted.x == 102.5f && shifted.y == 13.375f && shifted.z == -0.5f);
  for (const float d : {0.0f, 1.0f, 1.0000001f, -0.5f}) EXPECT_TRUE(facingKept(d)) << d;
  for (const float d : {0x1p-149f, 0.99999994f, kNan}) EXPECT_FALSE(facingKept(d)) << d;
}

TEST(MeshRenderer, CullingAndHeadLightColour) {
  Frame frame;
  frame.draw(square(1, -3), kSquare, 2.5f, 1.0f, -0.5f);
  EXPECT_EQ(frame.at(160, 120), 0x01FFFF00u);  // saturated; a negative factor gives 0
  // Clockwise from the eye with the third vertex straight ahead: d = 1, drawn,
  // unlit because its normal points away from the light: max(0, N.z), whatever the factors.
  Frame alongView;
  alongView.draw({{-1, -1, -3}, {-1, 1, -3}, {0, 0, -3}}, {0, 1, 2}, -1, -1, -1);
  EXPECT_EQ(alongView.at(150, 120), 0x01000000u);
  // Third vertex off the axis: 0 < d < 1, culled; the other winding is drawn.
  Frame culled;
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 1, 2});
  culled.draw({{0, 0, -3}, {1, 1, -3}, {2, 2, -3}}, {0, 1, 2});  // zero area
  EXPECT_EQ(culled.drawn(), 0);
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 2, 1});
  EXPECT_GT(culled.drawn(), 0);
}

TEST(MeshRenderer, CutsAtTheNearPlaneAndSkipsNonFiniteCorners) {
  Frame frame;
  // The slope y = z + 0.1 from far ahead to behind the eye, cut along the centre row: lower half.
  frame.draw({{-5, -4.9f, -5}, {5, -4.9f, -5}, {0, 1.1f, 1}}, {0, 1, 2});
  EXPECT_GT(frame.drawn(), 30000);
  EXPECT_TRUE(frame.at(160, 110) == 0 && frame.at(160, 200) != 0);
  const float nearest = *std::min_element(frame.renderer.depth.begin(), frame.renderer.depth.end());
  EXPECT_TRUE(nearest < -1.0e5f && nearest >= 1.0f / kDepthNearZ);  // keys towards 1 / -2^-23
  Frame broken;
  broken.draw({{0, 0, -3}, {kInf, 0, -3}, {0, 1, -3}, {kNan, 0, -3}}, {0, 1, 2, 0, 2, 3, 3, 1, 2});
  EXPECT_EQ(broken.drawn(), 0);
}

using FillOnEveryTarget = testing::LaneTargetTest;

TEST_P(FillOnEveryTarget, SameBitsAsTheReference) {
  // Depths of whole triangles parallel to the screen (one key per span), including
  // -inf, whose key is -0, and 0, whose key is -inf.
  const float flat[] = {-0.5f, -0.25f, -0.9999f, -kInf, 0.0f};
  for (int variant = 0; variant < 3; ++variant) {
    expectSameAsReference("variant " + std::to_string(variant), [&](lanes::VectorPath path) {
      // A target whose table came out empty would only compare the reference with itself.
      EXPECT_EQ(rasterKernels(path).constantSpan == nullptr, path == lanes::VectorPath::Reference);
      std::mt19937 random(variant);
      std::uniform_real_distribution<float> position(-2.0f, 41.0f), depth(-1.0f, -0.1f),
          stored(-4.0f, 1.0f);
      std::vector<std::uint32_t> pixels(40 * 40, 0);
      std::vector<float> depths(pixels.size());
      for (float& d : depths) d = variant == 0 ? 0.0f : stored(random);  // positive: keys lose
      display::Bitmap target{pixels.data(), 40, 40};
      for (std::uint32_t n = 0; n < 300; ++n) {
        math::Vec4 v[3];
        const float z = n % 2 == 0 ? flat[n / 2 % std::size(flat)] : 0;
        for (math::Vec4& p : v) {
          // Inside the target up to the exclusive right and bottom edges.
          p = {std::clamp(position(random), 0.0f, 39.0f), std::clamp(position(random), 0.0f, 39.0f),
               n % 2 == 0 ? z : depth(random), 1};
        }
        fillTriangle(rasterKernels(path), v[0], v[1], v[2], target, depths.data(), n + 1);
      }
      testing::Words out = pixels;
      testing::appendWords(out, depths);
      return out;
    });
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FillOnEveryTarget, testing::laneTargets(), testing::targetName);

}  // namespace
}  // namespace quarvel::raster
