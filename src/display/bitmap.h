// A 32-bit pixel array with its size, in the framebuffer's layout.
#pragma once

#include <cstdint>

namespace quarvel::display {

// Rows from the top, each row `width` pixels left to right, no gaps between
// rows. A pixel is 0x00RRGGBB; the top byte carries no colour. The Bitmap
// does not own `pixels` unless the code that made it says so.
struct Bitmap {
  std::uint32_t* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

}  // namespace quarvel::display
