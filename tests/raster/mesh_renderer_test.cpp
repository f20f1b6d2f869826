// Mesh renderer: culling, head-light colour, depth between meshes, near-plane
// cuts, and the demo's meshes in the scenes that draw them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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
  MeshRenderer renderer{&bitmap, 0, static_cast<std::int32_t>(kHeight), 0,
                        static_cast<std::int32_t>(kWidth)};

  Frame() {
    renderer.projection = math::perspective(kPi / 4, 1.3333334f, 0.1f, 100.0f);
    renderer.clearDepth(0.0f);
  }
  void draw(const std::vector<Vec3>& vertices, const std::vector<std::int32_t>& indices,
            float red = 1, float green = 1, float blue = 1) {
    renderer.render(vertices.data(), indices.data(), static_cast<std::int32_t>(indices.size()), red,
                    green, blue);
  }
  std::uint32_t centre() const { return pixels[120 * kWidth + 160]; }
  int drawnCount() const {
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(),
                                          [](std::uint32_t p) { return (p >> 24) == 1; }));
  }
};

// A square facing the eye at depth z, wound counter-clockwise as seen from it.
std::vector<Vec3> square(float halfSize, float z) {
  return {{-halfSize, -halfSize, z},
          {halfSize, -halfSize, z},
          {halfSize, halfSize, z},
          {-halfSize, halfSize, z}};
}
const std::vector<std::int32_t> kSquareFront = {0, 1, 2, 0, 2, 3};

TEST(MeshRenderer, ViewportMapsCornersToFirstAndLastPixels) {
  const math::Vec4 topLeft = toViewport({-1, 1, -0.5f, 1}, 0, 240, 0, 320);
  EXPECT_EQ(topLeft.x, 0.0f);
  EXPECT_EQ(topLeft.y, 0.0f);
  EXPECT_EQ(topLeft.z, -0.5f);
  const math::Vec4 bottomRight = toViewport({1, -1, -0.5f, 1}, 0, 240, 0, 320);
  EXPECT_EQ(bottomRight.x, 319.0f);
  EXPECT_EQ(bottomRight.y, 239.0f);
  const math::Vec4 shifted = toViewport({0, 0, 0, 1}, 10, 20, 100, 111);
  EXPECT_EQ(shifted.x, 105.0f);
  EXPECT_EQ(shifted.y, 14.5f);
}

TEST(MeshRenderer, KeepsFacingValuesOutsideTheOpenUnitInterval) {
  EXPECT_TRUE(facingKept(0.0f));
  EXPECT_TRUE(facingKept(-0.0f));
  EXPECT_TRUE(facingKept(-1.0f));
  EXPECT_TRUE(facingKept(1.0f));
  EXPECT_TRUE(facingKept(1.0000001f));
  EXPECT_FALSE(facingKept(0.5f));
  EXPECT_FALSE(facingKept(std::numeric_limits<float>::denorm_min()));
  EXPECT_FALSE(facingKept(0.99999994f));
  EXPECT_FALSE(facingKept(std::numeric_limits<float>::quiet_NaN()));
}

TEST(MeshRenderer, FacingTriangleGetsTheFullFactors) {
  Frame frame;
  frame.draw(square(1, -3), kSquareFront, 0.5f, 0.5f, 0.6f);
  EXPECT_EQ(frame.centre(), 0x017F7F99u);
  Frame saturated;
  saturated.draw(square(1, -3), kSquareFront, 2.5f, 1.0f, 0.0f);
  EXPECT_EQ(saturated.centre(), 0x01FFFF00u);
}

TEST(MeshRenderer, BackFacesAreCulledUnlessTheirNormalPointsAlongTheView) {
  // Clockwise from the eye, third vertex straight ahead: N = V, d = 1, drawn
  // unlit (its normal points away from the light).
  Frame alongView;
  alongView.draw({{-1, -1, -3}, {-1, 1, -3}, {0, 0, -3}}, {0, 1, 2});
  EXPECT_GT(alongView.drawnCount(), 0);
  for (std::uint32_t p : alongView.pixels) EXPECT_TRUE(p == 0 || p == 0x01000000u);
  // The same kind of triangle with its third vertex off the axis: 0 < d < 1.
  Frame culled;
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 1, 2});
  EXPECT_EQ(culled.drawnCount(), 0);
  // Reversing the winding makes it a lit front face.
  Frame front;
  front.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 2, 1});
  EXPECT_GT(front.drawnCount(), 0);
}

TEST(MeshRenderer, ZeroAreaAndEmptyInputsDrawNothing) {
  Frame frame;
  frame.draw({{0, 0, -3}, {1, 1, -3}, {2, 2, -3}}, {0, 1, 2});
  frame.draw({{0, 0, -3}, {0, 0, -3}, {0, 0, -3}}, {0, 1, 2});
  frame.renderer.render(nullptr, nullptr, 0, 1, 1, 1);
  frame.renderer.render(nullptr, nullptr, -3, 1, 1, 1);
  EXPECT_EQ(frame.drawnCount(), 0);
}

TEST(MeshRenderer, NearerMeshHidesTheFartherInEitherOrder) {
  const auto nearSquare = square(0.5f, -2);
  const auto farSquare = square(3, -6);
  for (int nearFirst = 0; nearFirst < 2; ++nearFirst) {
    Frame frame;
    if (nearFirst) frame.draw(nearSquare, kSquareFront, 1, 0, 0);
    frame.draw(farSquare, kSquareFront, 0, 0, 1);
    if (!nearFirst) frame.draw(nearSquare, kSquareFront, 1, 0, 0);
    EXPECT_EQ(frame.centre(), 0x01FF0000u);
    EXPECT_EQ(frame.pixels[120 * kWidth + 40], 0x010000FFu);
  }
}

TEST(MeshRenderer, ModelAndViewMoveTheMesh) {
  Frame frame;
  frame.renderer.model = math::translation(0, 0, -2);
  frame.renderer.view = math::translation(0, 0, -1);
  frame.draw(square(1, 0), kSquareFront, 1, 1, 1);
  EXPECT_EQ(frame.centre(), 0x01FFFFFFu);
  // 2 units wide at distance 3: (1 / tan(pi / 8)) / 3 * 319 columns.
  int row = 0;
  for (std::uint32_t x = 0; x < kWidth; ++x) row += (frame.pixels[120 * kWidth + x] != 0);
  EXPECT_NEAR(row, 257, 2);
}

TEST(MeshRenderer, TriangleBehindTheEyeIsCutAtTheNearPlane) {
  Frame frame;
  // A slope y = z + 0.1 running from far ahead to behind the eye: the near
  // plane cuts it along the centre row and the lower half of the screen shows it.
  frame.draw({{-5, -4.9f, -5}, {5, -4.9f, -5}, {0, 1.1f, 1}}, {0, 1, 2}, 1, 1, 1);
  EXPECT_GT(frame.drawnCount(), 30000);
  const float nearest = *std::min_element(frame.renderer.depth.begin(), frame.renderer.depth.end());
  EXPECT_LT(nearest, -1.0e5f);  // keys near the cut run towards 1 / kDepthNearZ
  EXPECT_GE(nearest, 1.0f / kDepthNearZ);
}

TEST(MeshRenderer, NonFiniteVerticesNeverWriteOutsideTheFrame) {
  Frame frame;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  frame.draw({{0, 0, -3}, {inf, 0, -3}, {0, 1, -3}, {nan, 0, -3}, {1e30f, -1e30f, 1e30f}},
             {0, 1, 2, 0, 2, 3, 0, 4, 2, 4, 1, 3});
  frame.draw({{0, 0, 1e-30f}, {1, 0, -1e-30f}, {0, 1, 0}}, {0, 1, 2});
  SUCCEED();  // the sanitizer build checks the writes
}

// The zoom of the opening scene after `frames` frames, summed as the driver does.
float zoomFovAfter(int frames) {
  float fov = kPi;
  for (int i = 0; i < frames; ++i) fov = static_cast<float>(static_cast<double>(fov) + 0.0005);
  return fov;
}

void drawStar(Frame& frame, const mesh::Mesh& star, float angle, float fov) {
  frame.renderer.clearDepth(0.0f);
  frame.renderer.model = math::multiply(
      math::rotationY(angle), math::translation(static_cast<float>(4 * std::sin(angle)),
                                                static_cast<float>(4 * std::cos(angle)), -7));
  frame.renderer.projection = math::perspective(fov, 1.3333334f, 0.1f, 100.0f);
  frame.renderer.render(star.vertices.data(), star.indices.data(), star.indexCount, 0.5f, 0.5f,
                        1.0f);
}

std::pair<int, int> drawnRows(const Frame& frame) {
  int first = -1;
  int last = -1;
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      if (frame.pixels[y * kWidth + x] != 0) {
        if (first < 0) first = static_cast<int>(y);
        last = static_cast<int>(y);
        break;
      }
    }
  }
  return {first, last};
}

TEST(DemoMeshes, StarGrowsToAThirdOfTheScreenHeightInFifteenSeconds) {
  const mesh::Mesh star = meshgen::buildStar();
  Frame early;
  drawStar(early, star, 0, zoomFovAfter(60));
  const auto [earlyTop, earlyBottom] = drawnRows(early);
  EXPECT_LE(earlyBottom - earlyTop, 8) << "rows " << earlyTop << ".." << earlyBottom;

  Frame late;
  drawStar(late, star, 0, zoomFovAfter(900));
  const auto [top, bottom] = drawnRows(late);
  EXPECT_NEAR(bottom - top + 1, 80, 8) << "rows " << top << ".." << bottom;
}

TEST(DemoMeshes, WholeOpeningSceneRendersSafely) {
  const mesh::Mesh star = meshgen::buildStar();
  Frame frame;
  float angle = 0;
  float fov = kPi;
  for (int i = 0; i < 900; ++i) {
    fov = static_cast<float>(static_cast<double>(fov) + 0.0005);
    drawStar(frame, star, angle, fov);
    angle += 0.05f;
  }
  EXPECT_GT(frame.drawnCount(), 0);
}

TEST(DemoMeshes, GreetingsAreOnScreenMidScene) {
  Frame frame;
  const float slide = 12;
  const struct {
    const char* word;
    float x, y, z;
  } placements[] = {{"hv", 0, slide - 12, -28},
                    {"plonix", slide - 14, -4, -28},
                    {"wendup", 15 - slide, -3, -28},
                    {"tolvenaq", 0, 10 - slide, -38}};
  for (const auto& p : placements) {
    const mesh::Mesh word = meshgen::buildWord(p.word);
    frame.renderer.model = math::translation(p.x, p.y, p.z);
    frame.renderer.render(word.vertices.data(), word.indices.data(), word.indexCount, 0.5f, 0.5f,
                          0.6f);
  }
  // The lit fronts show the full factors; "hv" sits on the screen centre row.
  EXPECT_GT(frame.drawnCount(), 3000);
  const auto [top, bottom] = drawnRows(frame);
  EXPECT_GT(top, 60);
  EXPECT_LT(bottom, 200);
}

}  // namespace
}  // namespace quarvel::raster
