// The picture in a canvas's byte order: the browser backend's pixel conversion.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarvel::platform {

// A 0x00RRGGBB pixel (the top byte is ignored) as a canvas reads it from
// little-endian memory: bytes R, G, B and an opaque A.
constexpr std::uint32_t canvasPixel(std::uint32_t xrgb) {
  return 0xFF000000u | ((xrgb & 0xFFu) << 16) | (xrgb & 0xFF00u) | ((xrgb >> 16) & 0xFFu);
}

// Converts `count` pixels from `from` into `to` (which may be the same array).
inline void toCanvasPixels(const std::uint32_t* from, std::size_t count, std::uint32_t* to) {
  for (std::size_t i = 0; i < count; ++i) to[i] = canvasPixel(from[i]);
}

}  // namespace quarvel::platform
