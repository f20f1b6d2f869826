// Mesh renderer: viewport mapping, culling, head-light colour, depth between meshes, near cuts.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "raster/clip.h"
#include "raster/mesh_renderer.h"

namespace quarvel::raster {
namespace {

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
  const math::Vec4 corner = toViewport({1, -1, -0.5f, 1}, 0, 240, 0, 320);
  EXPECT_TRUE(corner.x == 319 && corner.y == 239 && corner.z == -0.5f);
  const math::Vec4 shifted = toViewport({-0.5f, 0.25f, 0, 1}, 10, 20, 100, 111);
  EXPECT_TRUE(shifted.x == 102.5f && shifted.y == 13.375f);  // 0.25 * 10 + 100, 0.375 * 9 + 10
  const std::pair<float, bool> facing[] = {{0.0f, true},
                                           {1.0f, true},
                                           {1.0000001f, true},
                                           {-0.5f, true},
                                           {0x1p-149f, false},
                                           {0.99999994f, false},
                                           {std::numeric_limits<float>::quiet_NaN(), false}};
  for (const auto& [d, kept] : facing) EXPECT_EQ(facingKept(d), kept) << d;
}

TEST(MeshRenderer, CullingAndHeadLightColour) {
  Frame frame;
  frame.draw(square(1, -3), kSquare, 0.5f, 0.5f, 0.6f);
  EXPECT_EQ(frame.at(160, 120), 0x017F7F99u);  // 127.5, 127.5, 153 truncated
  frame.renderer.clearDepth(0.0f);
  frame.draw(square(1, -3), kSquare, 2.5f, 1.0f, 0.0f);
  EXPECT_EQ(frame.at(160, 120), 0x01FFFF00u);  // saturated
  // Clockwise from the eye with the third vertex straight ahead: d = 1, drawn,
  // unlit because its normal points away from the light.
  Frame alongView;
  alongView.draw({{-1, -1, -3}, {-1, 1, -3}, {0, 0, -3}}, {0, 1, 2});
  EXPECT_EQ(alongView.at(150, 120), 0x01000000u);
  // Third vertex off the axis: 0 < d < 1, culled; the other winding is drawn.
  Frame culled;
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 1, 2});
  culled.draw({{0, 0, -3}, {1, 1, -3}, {2, 2, -3}}, {0, 1, 2});  // zero area
  EXPECT_EQ(culled.drawn(), 0);
  culled.draw({{-1, -1, -3}, {-1, 1, -3}, {0.5f, 0, -3}}, {0, 2, 1});
  EXPECT_GT(culled.drawn(), 0);
}

TEST(MeshRenderer, NearerMeshHidesTheFartherInEitherOrder) {
  for (int nearFirst = 0; nearFirst < 2; ++nearFirst) {
    Frame frame;
    if (nearFirst) frame.draw(square(0.5f, -2), kSquare, 1, 0, 0);
    frame.draw(square(3, -6), kSquare, 0, 0, 1);
    if (!nearFirst) frame.draw(square(0.5f, -2), kSquare, 1, 0, 0);
    EXPECT_TRUE(frame.at(160, 120) == 0x01FF0000u && frame.at(40, 120) == 0x010000FFu);
  }
}

TEST(MeshRenderer, CutsAtTheNearPlaneAndSkipsNonFiniteCorners) {
  Frame frame;
  // The slope y = z + 0.1 from far ahead to behind the eye: cut along the
  // centre row, it fills the lower half of the screen.
  frame.draw({{-5, -4.9f, -5}, {5, -4.9f, -5}, {0, 1.1f, 1}}, {0, 1, 2});
  EXPECT_GT(frame.drawn(), 30000);
  EXPECT_TRUE(frame.at(160, 110) == 0 && frame.at(160, 200) != 0);
  const float nearest = *std::min_element(frame.renderer.depth.begin(), frame.renderer.depth.end());
  EXPECT_TRUE(nearest < -1.0e5f && nearest >= 1.0f / kDepthNearZ);  // keys towards 1 / -2^-23
  Frame broken;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  broken.draw({{0, 0, -3}, {inf, 0, -3}, {0, 1, -3}, {nan, 0, -3}}, {0, 1, 2, 0, 2, 3, 3, 1, 2});
  EXPECT_EQ(broken.drawn(), 0);
}

}  // namespace
}  // namespace quarvel::raster
