// Triangle fill: coverage rule, depth test and key interpolation.
#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "raster/fill_triangle.h"

namespace quarvel::raster {
namespace {

using math::Vec4;
using Pixel = std::pair<int, int>;  // (x, y)

// A small target with its own depth buffer, cleared like the renderer does.
struct Canvas {
  static constexpr std::uint32_t kWidth = 16;
  static constexpr std::uint32_t kHeight = 16;
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kWidth * kHeight, 0);
  std::vector<float> depth = std::vector<float>(kWidth * kHeight, 0.0f);
  display::Bitmap bitmap{pixels.data(), kWidth, kHeight};

  void fill(Vec4 a, Vec4 b, Vec4 c, std::uint32_t colour) {
    fillTriangle(a, b, c, bitmap, depth.data(), colour);
  }
  std::uint32_t at(int x, int y) const { return pixels[y * kWidth + x]; }
  float depthAt(int x, int y) const { return depth[y * kWidth + x]; }
  std::set<Pixel> covered() const {  // pixels written with a non-zero colour
    std::set<Pixel> out;
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
      for (int x = 0; x < static_cast<int>(kWidth); ++x) {
        if (at(x, y) != 0) out.insert({x, y});
      }
    }
    return out;
  }
};

std::set<Pixel> coverage(Vec4 a, Vec4 b, Vec4 c) {
  Canvas canvas;
  canvas.fill(a, b, c, 1);
  return canvas.covered();
}

const Vec4 kUpperLeft[3] = {{0, 0, -0.5f, 1}, {4, 0, -0.5f, 1}, {0, 4, -0.5f, 1}};
const Vec4 kLowerRight[3] = {{4, 0, -0.5f, 1}, {4, 4, -0.5f, 1}, {0, 4, -0.5f, 1}};

TEST(FillTriangle, SharedEdgeSquareSplitsIntoTenAndSixPixels) {
  const std::set<Pixel> first = coverage(kUpperLeft[0], kUpperLeft[1], kUpperLeft[2]);
  const std::set<Pixel> second = coverage(kLowerRight[0], kLowerRight[1], kLowerRight[2]);
  const std::set<Pixel> expectedFirst = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1},
                                         {1, 1}, {2, 1}, {0, 2}, {1, 2}, {0, 3}};
  const std::set<Pixel> expectedSecond = {{3, 1}, {2, 2}, {3, 2}, {1, 3}, {2, 3}, {3, 3}};
  EXPECT_EQ(first, expectedFirst);
  EXPECT_EQ(second, expectedSecond);
}

TEST(FillTriangle, VertexOrderAndWindingDoNotChangeCoverage) {
  const std::array<Vec4, 3> triangles[] = {
      {kUpperLeft[0], kUpperLeft[1], kUpperLeft[2]},
      {kLowerRight[0], kLowerRight[1], kLowerRight[2]},
      {{{1.3f, 0.7f, -0.5f, 1}, {9.6f, 4.2f, -0.5f, 1}, {3.1f, 11.9f, -0.5f, 1}}},
      {{{2, 2, -0.5f, 1}, {12, 2, -0.5f, 1}, {7, 9, -0.5f, 1}}},     // flat top
      {{{7, 1, -0.5f, 1}, {2, 9, -0.5f, 1}, {12.5f, 9, -0.5f, 1}}},  // flat bottom
  };
  for (const auto& t : triangles) {
    const std::set<Pixel> reference = coverage(t[0], t[1], t[2]);
    EXPECT_FALSE(reference.empty());
    std::array<int, 3> order = {0, 1, 2};
    do {
      EXPECT_EQ(coverage(t[order[0]], t[order[1]], t[order[2]]), reference);
    } while (std::next_permutation(order.begin(), order.end()));
  }
}

TEST(FillTriangle, FlatAndSubRowTrianglesDrawNothing) {
  EXPECT_TRUE(coverage({1, 5, -0.5f, 1}, {9, 5, -0.5f, 1}, {4, 5, -0.5f, 1}).empty());
  EXPECT_TRUE(coverage({1, 10.2f, -0.5f, 1}, {9, 10.9f, -0.5f, 1}, {4, 10.5f, -0.5f, 1}).empty());
  // Edges rounding up to the same column.
  EXPECT_TRUE(coverage({3.2f, 1, -0.5f, 1}, {3.8f, 1, -0.5f, 1}, {3.5f, 8, -0.5f, 1}).empty());
}

TEST(FillTriangle, NearerKeyWinsInEitherOrderAndEqualKeysKeepTheFirst) {
  const Vec4 far[3] = {{0, 0, -0.5f, 1}, {12, 0, -0.5f, 1}, {0, 12, -0.5f, 1}};
  const Vec4 near[3] = {{1, 1, -0.25f, 1}, {8, 1, -0.25f, 1}, {1, 8, -0.25f, 1}};
  for (int nearFirst = 0; nearFirst < 2; ++nearFirst) {
    Canvas canvas;
    if (nearFirst) canvas.fill(near[0], near[1], near[2], 2);
    canvas.fill(far[0], far[1], far[2], 1);
    if (!nearFirst) canvas.fill(near[0], near[1], near[2], 2);
    EXPECT_EQ(canvas.at(2, 2), 2u);
    EXPECT_EQ(canvas.depthAt(2, 2), -4.0f);
    EXPECT_EQ(canvas.at(10, 0), 1u);
    EXPECT_EQ(canvas.depthAt(10, 0), -2.0f);
  }
  Canvas canvas;
  canvas.fill(far[0], far[1], far[2], 1);
  canvas.fill(far[0], far[1], far[2], 2);
  EXPECT_EQ(canvas.covered().size(), coverage(far[0], far[1], far[2]).size());
  for (const Pixel& p : canvas.covered()) EXPECT_EQ(canvas.at(p.first, p.second), 1u);
}

TEST(FillTriangle, NonFiniteKeysFailTheDepthTest) {
  // z = 0 gives an infinite key at that vertex; keys interpolated from it are
  // infinite or NaN, and neither is less than the cleared depth.
  EXPECT_TRUE(coverage({0, 0, 0, 1}, {8, 0, 0, 1}, {0, 8, 0, 1}).empty());
  EXPECT_TRUE(coverage({4, 0, 0, 1}, {0, 8, -0.5f, 1}, {9, 8, -0.5f, 1}).empty());
}

TEST(FillTriangle, KeysStartAtTheEdgeWithoutHorizontalPrestep) {
  Canvas canvas;
  // Keys: 1 / -0.5 = -2 on the left edge, 1 / -0.25 = -4 at the right vertex.
  canvas.fill({0.5f, 0, -0.5f, 1}, {8.5f, 0, -0.25f, 1}, {0.5f, 8, -0.5f, 1}, 7);
  EXPECT_EQ(canvas.at(0, 0), 0u);
  EXPECT_EQ(canvas.at(9, 0), 0u);
  for (int x = 1; x <= 8; ++x) {
    EXPECT_EQ(canvas.depthAt(x, 0), -2.0f - 0.25f * static_cast<float>(x - 1)) << x;
  }
  // Row 1 spans columns 1..7 with the right edge at 7.5 and key -3.75.
  for (int x = 1; x <= 7; ++x) {
    EXPECT_EQ(canvas.depthAt(x, 1), -2.0f - 0.25f * static_cast<float>(x - 1)) << x;
  }
  EXPECT_EQ(canvas.at(8, 1), 0u);
  EXPECT_EQ(canvas.at(1, 7), 7u);
  EXPECT_EQ(canvas.at(1, 8), 0u);  // the bottom vertex's row is exclusive
}

}  // namespace
}  // namespace quarvel::raster
