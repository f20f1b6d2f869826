// Mesh renderer: culling, head-light colour, depth between meshes, near-plane
// cuts, and the opening scene's star.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "math/mat4.h"
#include "meshgen/mesh_builder.h"
#include "raster/clip.h"
#include "raster/mesh_renderer.h"

namespace quarvel::raster {
namespace {

using math::Vec3;

constexpr float kPi = 3.1415927f;
constexpr std::uint32_t kWidth = 320;
constexpr std::uint32_t kHeight = 240;

struct Frame {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kWidth * kHeight, 0);
  display::Bitmap bitmap{pixels.data(), kWidth, kHeight};
  MeshRenderer renderer{&bitmap, 0, kHeight, 0, kWidth};

  Frame() {
    renderer.projection = math::perspective(kPi / 4, 1.3333334f, 0.1f, 100.0f);
    renderer.clearDepth(0.0f);
  }
  void draw(const std::vector<Vec3>& vertices, const std::vector<std::int32_t>& indices,
            float red = 1, float green = 1, float blue = 1) {
    renderer.render(vertices.data(), indices.data(), static_cast<std::int32_t>(indices.size()), red,
                    green, blue);
  }
  std::uint32_t at(int x, int y) const { return pixels[y * kWidth + x]; }
  int drawnCount() const {  // the renderer's pixels carry 1 in the top byte
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(),
                                          [](std::uint32_t p) { return (p >> 24) == 1; }));
  }
  std::pair<int, int> drawnRows() const {
    int first = -1;
    int last = -1;
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
      for (int x = 0; x < static_cast<int>(kWidth); ++x) {
        if (at(x, y) != 0) {
          if (first < 0) first = y;
          last = y;
        }
      }
    }
    return {first, last};
  }
};

// A square facing the eye at depth z, counter-clockwise as seen from the eye.
std::vector<Vec3> square(float halfSize, float z) {
  return {{-halfSize, -halfSize, z},
          {halfSize, -halfSize, z},
          {halfSize, halfSize, z},
          {-halfSize, halfSize, z}};
}
const std::vector<std::int32_t> kSquareFront = {0, 1, 2, 0, 2, 3};

TEST(MeshRenderer, ViewportMapsTheVolumeOntoFirstAndLastPixels) {
  const math::Vec4 corner = toViewport({1, -1, -0.5f, 1}, 0, 240, 0, 320);
  EXPECT_EQ(corner.x, 319.0f);
  EXPECT_EQ(corner.y, 239.0f);
  EXPECT_EQ(corner.z, -0.5f);
  const math::Vec4 shifted = toViewport({-1, 0, 0, 1}, 10, 20, 100, 111);
  EXPECT_EQ(shifted.x, 100.0f);
  EXPECT_EQ(shifted.y, 14.5f);
}

TEST(MeshRenderer, CullsOnlyFacingValuesStrictlyBetweenZeroAndOne) {
  EXPECT_TRUE(facingKept(0.0f));  // edge-on
  EXPECT_TRUE(facingKept(1.0f));
  EXPECT_TRUE(facingKept(1.0000001f));  // rounding above 1
  EXPECT_FALSE(facingKept(std::numeric_limits<float>::denorm_min()));
  EXPECT_FALSE(facingKept(0.99999994f));
  EXPECT_FALSE(facingKept(std::numeric_limits<float>::quiet_NaN()));  // zero area
}

TEST(MeshRenderer, BackFacesAreCulledUnlessTheirNormalPointsAlongTheView) {
  // Clockwise from the eye with the third vertex straight ahead: d = 1, so it
  // is drawn, unlit because its normal points away from the light.
  Frame alongView;
  alongView.draw({{-1, -1, -3}, {-1, 1, -3}, {0, 0, -3}}, {0, 1, 2});
  EXPECT_GT(alongView.drawnCount(), 0);
  for (std::uint32_t p : alongView.pixels) EXPECT_TRUE(p == 0 || p == 0x01000000u);
  // Third vertex off the axis: 0 < d < 1, culled; the other winding is drawn.
  Frame culled;
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 1, 2});
  culled.draw({{0, 0, -3}, {1, 1, -3}, {2, 2, -3}}, {0, 1, 2});  // zero area
  EXPECT_EQ(culled.drawnCount(), 0);
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 2, 1});
  EXPECT_GT(culled.drawnCount(), 0);
}

TEST(MeshRenderer, HeadLightScalesAndSaturatesTheFactors) {
  Frame frame;
  frame.draw(square(1, -3), kSquareFront, 0.5f, 0.5f, 0.6f);
  EXPECT_EQ(frame.at(160, 120), 0x017F7F99u);
  frame.renderer.clearDepth(0.0f);
  frame.draw(square(1, -3), kSquareFront, 2.5f, 1.0f, 0.0f);
  EXPECT_EQ(frame.at(160, 120), 0x01FFFF00u);
}

TEST(MeshRenderer, NearerMeshHidesTheFartherInEitherOrder) {
  for (int nearFirst = 0; nearFirst < 2; ++nearFirst) {
    Frame frame;
    if (nearFirst) frame.draw(square(0.5f, -2), kSquareFront, 1, 0, 0);
    frame.draw(square(3, -6), kSquareFront, 0, 0, 1);
    if (!nearFirst) frame.draw(square(0.5f, -2), kSquareFront, 1, 0, 0);
    EXPECT_EQ(frame.at(160, 120), 0x01FF0000u);
    EXPECT_EQ(frame.at(40, 120), 0x010000FFu);
  }
}

TEST(MeshRenderer, TriangleBehindTheEyeIsCutAtTheNearPlane) {
  Frame frame;
  // The slope y = z + 0.1 from far ahead to behind the eye: the near plane
  // cuts it along the centre row and it fills the lower half of the screen.
  frame.draw({{-5, -4.9f, -5}, {5, -4.9f, -5}, {0, 1.1f, 1}}, {0, 1, 2});
  EXPECT_GT(frame.drawnCount(), 30000);
  const float nearest = *std::min_element(frame.renderer.depth.begin(), frame.renderer.depth.end());
  EXPECT_LT(nearest, -1.0e5f);  // keys near the cut run towards 1 / kDepthNearZ
  EXPECT_GE(nearest, 1.0f / kDepthNearZ);
}

TEST(MeshRenderer, NonFiniteAndHugeVerticesNeverWriteOutsideTheFrame) {
  Frame frame;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Triangles with an infinite or NaN corner have a NaN normal and are skipped.
  frame.draw({{0, 0, -3}, {inf, 0, -3}, {0, 1, -3}, {nan, 0, -3}}, {0, 1, 2, 0, 2, 3, 3, 1, 2});
  EXPECT_EQ(frame.drawnCount(), 0);
  // Huge and eye-touching ones may draw; the sanitizer build checks the writes.
  frame.draw({{0, 0, -3}, {1e30f, -1e30f, 1e30f}, {0, 1, -3}, {0, 0, 1e-30f}, {1, 0, -1e-30f}},
             {0, 1, 2, 3, 4, 2});
}

// The opening scene's star after `frames` frames, with its zoom summed as the
// driver sums it, the model turning by `angle`.
void drawStar(Frame& frame, const mesh::Mesh& star, int frames, float angle) {
  float fov = kPi;
  for (int i = 0; i < frames; ++i) fov = static_cast<float>(static_cast<double>(fov) + 0.0005);
  frame.renderer.clearDepth(0.0f);
  frame.renderer.model = math::multiply(
      math::rotationY(angle), math::translation(static_cast<float>(4 * std::sin(angle)),
                                                static_cast<float>(4 * std::cos(angle)), -7));
  frame.renderer.projection = math::perspective(fov, 1.3333334f, 0.1f, 100.0f);
  frame.renderer.render(star.vertices.data(), star.indices.data(), star.indexCount, 0.5f, 0.5f,
                        1.0f);
}

TEST(DemoMeshes, StarGrowsToAThirdOfTheScreenHeightInFifteenSeconds) {
  const mesh::Mesh star = meshgen::buildStar();
  Frame early;
  drawStar(early, star, 60, 0);
  EXPECT_LE(early.drawnRows().second - early.drawnRows().first, 8);
  Frame late;
  drawStar(late, star, 900, 0);
  const auto [top, bottom] = late.drawnRows();
  EXPECT_NEAR(bottom - top + 1, 80, 8) << "rows " << top << ".." << bottom;
  // Every frame of the scene, parts of the star passing behind the eye included.
  for (int i = 1; i <= 900; ++i) drawStar(late, star, i, 0.05f * static_cast<float>(i));
}

}  // namespace
}  // namespace quarvel::raster
