// The browser canvas's pixel conversion, run natively.
#include "platform/canvas_pixels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace quarvel::platform {
namespace {

TEST(CanvasPixels, RedAndBlueSwapAndTheCanvasSeesOpaqueBytesRGBA) {
  struct Case {
    std::uint32_t xrgb;
    std::array<std::uint8_t, 4> bytes;  // as the canvas reads them: R, G, B, A
  };
  const std::vector<Case> cases = {
      {0x00000000u, {0x00, 0x00, 0x00, 0xFF}}, {0x00FF0000u, {0xFF, 0x00, 0x00, 0xFF}},
      {0x0000FF00u, {0x00, 0xFF, 0x00, 0xFF}}, {0x000000FFu, {0x00, 0x00, 0xFF, 0xFF}},
      {0x00123456u, {0x12, 0x34, 0x56, 0xFF}}, {0xAB807F01u, {0x80, 0x7F, 0x01, 0xFF}},
      {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  std::vector<std::uint32_t> row;
  for (const Case& c : cases) row.push_back(c.xrgb);
  std::vector<std::uint32_t> out(row.size());
  toCanvasPixels(row.data(), row.size(), out.data());
  toCanvasPixels(row.data(), row.size(), row.data());  // in place
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &out[i], 4);  // WebAssembly memory is little-endian, as here
    EXPECT_EQ(bytes, cases[i].bytes) << std::hex << cases[i].xrgb;
    EXPECT_EQ(row[i], out[i]) << std::hex << cases[i].xrgb;
  }
}

}  // namespace
}  // namespace quarvel::platform
