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

// A 16 x 16 target with its own depth buffer, cleared to 0 like the renderer's.
struct Canvas {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(256, 0);
  std::vector<float> depth = std::vector<float>(256, 0.0f);
  display::Bitmap bitmap{pixels.data(), 16, 16};
  void fill(Vec4 a, Vec4 b, Vec4 c, std::uint32_t colour) {
    fillTriangle(a, b, c, bitmap, depth.data(), colour);
  }
  std::set<Pixel> covered() const {
    std::set<Pixel> out;
    for (int i = 0; i < 256; ++i) {
      if (pixels[i] != 0) out.insert({i % 16, i / 16});
    }
    return out;
  }
};

std::set<Pixel> coverage(Vec4 a, Vec4 b, Vec4 c) {
  Canvas canvas;
  canvas.fill(a, b, c, 1);
  return canvas.covered();
}

TEST(FillTriangle, CoverageRuleInAnyVertexOrder) {
  struct Case {
    const char* name;
    std::array<Vec4, 3> v;
    std::set<Pixel> pixels;
  };
  const float z = -0.5f;
  const Case cases[] = {
      // A square split along its diagonal: 10 + 6 pixels, none twice. Top and
      // left edges are inclusive, bottom and right exclusive.
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
      // z = 0 makes that vertex's key infinite; interpolated keys are infinite
      // or NaN and never less than the cleared depth.
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
  // Keys 1 / z: -2 on the left edge, -4 at the right vertex, -0.25 a column.
  canvas.fill({0.5f, 0, -0.5f, 1}, {8.5f, 0, -0.25f, 1}, {0.5f, 8, -0.5f, 1}, 7);
  for (int x = 1; x <= 8; ++x) {
    EXPECT_EQ(canvas.depth[x], -2.0f - 0.25f * static_cast<float>(x - 1)) << x;
  }
  // Row 1 spans columns 1..7: the right edge is at 7.5 with key -3.75.
  for (int x = 1; x <= 7; ++x) {
    EXPECT_EQ(canvas.depth[16 + x], -2.0f - 0.25f * static_cast<float>(x - 1)) << x;
  }
  EXPECT_TRUE(canvas.pixels[0] == 0 && canvas.pixels[9] == 0 && canvas.pixels[16 + 8] == 0);
  EXPECT_TRUE(canvas.pixels[7 * 16 + 1] == 7 && canvas.pixels[8 * 16 + 1] == 0);
}

}  // namespace
}  // namespace quarvel::raster
