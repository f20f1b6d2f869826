// Whole-frame 2D passes on 32-bit 0x00RRGGBB pixels.
#include "effects/frame_passes.h"

#include <cstddef>

namespace quarvel::effects {

std::uint32_t averageColor(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t red = (((a >> 16) & 0xFFu) + ((b >> 16) & 0xFFu)) >> 1;
  const std::uint32_t green = (((a >> 8) & 0xFFu) + ((b >> 8) & 0xFFu)) >> 1;
  const std::uint32_t blue = ((a & 0xFFu) + (b & 0xFFu)) >> 1;
  return (red << 16) | (green << 8) | blue;
}

namespace {

// Saturating "minus one": 0 and 1 both give 0.
constexpr std::uint32_t fadeChannel(std::uint32_t c) { return c >= 2 ? c - 1 : 0; }

}  // namespace

void fadeFrame(display::Bitmap& frame) {
  const std::size_t count = static_cast<std::size_t>(frame.width) * frame.height;
  std::uint32_t* pixels = frame.pixels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    pixels[i] = (fadeChannel((p >> 16) & 0xFFu) << 16) | (fadeChannel((p >> 8) & 0xFFu) << 8) |
                fadeChannel(p & 0xFFu);
  }
}

void invertFrom(std::uint32_t x0, std::uint32_t y0, display::Bitmap& frame) {
  const std::size_t width = frame.width;
  for (std::uint32_t x = x0; x < frame.width; ++x) {
    for (std::uint32_t y = y0; y < frame.height; ++y) {
      std::uint32_t& p = frame.pixels[y * width + x];
      p = (p ^ 0xFFFFFFu) & 0xFFFFFFu;  // 255 - c is c with its eight bits flipped
    }
  }
}

void blurFrame(display::Bitmap& frame) {
  if (frame.width < 3 || frame.height < 3) return;
  const std::size_t width = frame.width;
  const std::size_t height = frame.height;
  std::uint32_t* pixels = frame.pixels;
  for (std::size_t x = 1; x + 1 < width; ++x) {
    for (std::size_t y = 1; y + 1 < height; ++y) {
      // Red and blue are summed side by side in one word: nine bytes sum to at
      // most 2295, so the blue half never carries into red.
      std::uint32_t redBlue = 0;
      std::uint32_t green = 0;
      const std::uint32_t* top = pixels + (y - 1) * width + (x - 1);
      for (std::size_t row = 0; row < 3; ++row) {
        const std::uint32_t* line = top + row * width;
        for (std::size_t column = 0; column < 3; ++column) {
          redBlue += line[column] & 0xFF00FFu;
          green += line[column] & 0xFF00u;
        }
      }
      // Nine channel values average to at most 255, so no clamp is needed.
      const std::uint32_t red = (redBlue >> 16) / 9;
      const std::uint32_t blue = (redBlue & 0xFFFFu) / 9;
      const std::uint32_t greenAverage = (green >> 8) / 9;
      pixels[y * width + x] = (red << 16) | (greenAverage << 8) | blue;
    }
  }
}

}  // namespace quarvel::effects
