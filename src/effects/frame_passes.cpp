// Whole-frame 2D passes on 32-bit 0x00RRGGBB pixels.
#include "effects/frame_passes.h"

#include <cstddef>

#include "effects/effects_lanes.h"

namespace quarvel::effects {

std::uint32_t averageColor(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t red = (((a >> 16) & 0xFFu) + ((b >> 16) & 0xFFu)) >> 1;
  const std::uint32_t green = (((a >> 8) & 0xFFu) + ((b >> 8) & 0xFFu)) >> 1;
  const std::uint32_t blue = ((a & 0xFFu) + (b & 0xFFu)) >> 1;
  return (red << 16) | (green << 8) | blue;
}

namespace {

// Saturating "minus one": 0 and 1 both give 0.
constexpr std::uint32_t fadeChannel(std::uint32_t c) {
  return c >= 2 ? c - 1 : 0;
}

}  // namespace

void fadeFrame(display::Bitmap& frame) {
  const std::size_t count = static_cast<std::size_t>(frame.width) * frame.height;
  if (const EffectKernels* fast = effectKernelsFor(lanes::vectorPath())) {
    fast->fade(frame.pixels, count);
    return;
  }
  std::uint32_t* pixels = frame.pixels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    pixels[i] = (fadeChannel((p >> 16) & 0xFFu) << 16) | (fadeChannel((p >> 8) & 0xFFu) << 8) |
                fadeChannel(p & 0xFFu);
  }
}

void invertFrom(std::uint32_t x0, std::uint32_t y0, display::Bitmap& frame) {
  if (const EffectKernels* fast = effectKernelsFor(lanes::vectorPath())) {
    if (x0 < frame.width) fast->invert(frame.pixels, frame.width, frame.height, x0, y0);
    return;
  }
  const std::size_t width = frame.width;
  for (std::uint32_t x = x0; x < frame.width; ++x) {
    for (std::uint32_t y = y0; y < frame.height; ++y) {
      std::uint32_t& p = frame.pixels[y * width + x];
      p = (p ^ 0xFFFFFFu) & 0xFFFFFFu;  // 255 - c is c with its eight bits flipped
    }
  }
}

namespace {

// A pixel's channels split so that sums of up to nine pixels cannot carry
// between channels: red and blue side by side in one word (a channel sums to
// at most 2295, below the 16-bit gap), green alone.
struct ChannelSums {
  std::uint32_t redBlue;
  std::uint32_t green;
};

inline ChannelSums split(std::uint32_t p) {
  return {p & 0xFF00FFu, p & 0xFF00u};
}

inline ChannelSums operator+(ChannelSums a, ChannelSums b) {
  return {a.redBlue + b.redBlue, a.green + b.green};
}

// Only ever removes a pixel that was added before, so no lane borrows.
inline ChannelSums operator-(ChannelSums a, ChannelSums b) {
  return {a.redBlue - b.redBlue, a.green - b.green};
}

// Nine channel values average to at most 255, so no clamp is needed.
inline std::uint32_t averageOfNine(ChannelSums s) {
  const std::uint32_t red = (s.redBlue >> 16) / 9;
  const std::uint32_t blue = (s.redBlue & 0xFFFFu) / 9;
  const std::uint32_t green = (s.green >> 8) / 9;
  return (red << 16) | (green << 8) | blue;
}

}  // namespace

void blurFrame(display::Bitmap& frame) {
  if (frame.width < 3 || frame.height < 3) return;
  const EffectKernels* fast = effectKernelsFor(lanes::vectorPath());
  if (fast != nullptr && frame.width <= kMaxBlurWidth) {
    fast->blur(frame.pixels, frame.width, frame.height);
    return;
  }
  const std::size_t width = frame.width;
  const std::size_t height = frame.height;
  std::uint32_t* pixels = frame.pixels;
  for (std::size_t x = 1; x + 1 < width; ++x) {
    // While column x is blurred, column x - 1 is final and column x + 1 still
    // original, so their three-pixel sums can slide down the column. In column
    // x itself the pixel above is the one just written.
    const std::uint32_t* left = pixels + (x - 1);
    std::uint32_t* middle = pixels + x;
    const std::uint32_t* right = pixels + (x + 1);
    ChannelSums leftSum = split(left[0]) + split(left[width]) + split(left[2 * width]);
    ChannelSums rightSum = split(right[0]) + split(right[width]) + split(right[2 * width]);
    std::uint32_t above = middle[0];
    std::uint32_t current = middle[width];
    for (std::size_t y = 1; y + 1 < height; ++y) {
      const std::uint32_t below = middle[(y + 1) * width];
      const std::uint32_t result =
          averageOfNine(leftSum + split(above) + split(current) + split(below) + rightSum);
      middle[y * width] = result;
      above = result;
      current = below;
      if (y + 2 < height) {
        leftSum = leftSum + split(left[(y + 2) * width]) - split(left[(y - 1) * width]);
        rightSum = rightSum + split(right[(y + 2) * width]) - split(right[(y - 1) * width]);
      }
    }
  }
}

}  // namespace quarvel::effects
