// Whole-frame 2D passes on 32-bit 0x00RRGGBB pixels.
#include "effects/frame_passes.h"

#include <cstddef>

#include "effects/effects_lanes.h"
#include "effects/pixel_rules.h"

namespace quarvel::effects {

std::uint32_t averageColor(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t red = (((a >> 16) & 0xFFu) + ((b >> 16) & 0xFFu)) >> 1;
  const std::uint32_t green = (((a >> 8) & 0xFFu) + ((b >> 8) & 0xFFu)) >> 1;
  const std::uint32_t blue = ((a & 0xFFu) + (b & 0xFFu)) >> 1;
  return (red << 16) | (green << 8) | blue;
}

void fadeFrame(display::Bitmap& frame) {
  fadeFrame(chosenEffectKernels(), frame);
}

void fadeFrame(const EffectKernels& kernels, display::Bitmap& frame) {
  const std::size_t count = static_cast<std::size_t>(frame.width) * frame.height;
  if (kernels.fade != nullptr) {
    kernels.fade(frame.pixels, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) frame.pixels[i] = baseline::fadePixel(frame.pixels[i]);
}

void invertFrom(std::uint32_t x0, std::uint32_t y0, display::Bitmap& frame) {
  invertFrom(chosenEffectKernels(), x0, y0, frame);
}

void invertFrom(const EffectKernels& kernels, std::uint32_t x0, std::uint32_t y0,
                display::Bitmap& frame) {
  if (kernels.invert != nullptr) {
    if (x0 < frame.width) kernels.invert(frame.pixels, frame.width, frame.height, x0, y0);
    return;
  }
  const std::size_t width = frame.width;
  for (std::uint32_t x = x0; x < frame.width; ++x) {
    for (std::uint32_t y = y0; y < frame.height; ++y) {
      std::uint32_t& p = frame.pixels[y * width + x];
      p = baseline::invertPixel(p);
    }
  }
}

void blurFrame(display::Bitmap& frame) {
  blurFrame(chosenEffectKernels(), frame);
}

void blurFrame(const EffectKernels& kernels, display::Bitmap& frame) {
  if (frame.width < 3 || frame.height < 3) return;
  if (kernels.blur != nullptr && EffectKernels::takesBlur(frame.width, frame.height)) {
    kernels.blur(frame.pixels, frame.width, frame.height);
    return;
  }
  // The reference, as the rule reads: pixel by pixel, in place.
  const std::size_t width = frame.width;
  std::uint32_t* pixels = frame.pixels;
  for (std::size_t x = 1; x + 1 < width; ++x) {
    for (std::size_t y = 1; y + 1 < frame.height; ++y) {
      std::uint32_t red = 0;
      std::uint32_t green = 0;
      std::uint32_t blue = 0;
      for (std::size_t v = y - 1; v <= y + 1; ++v) {
        for (std::size_t u = x - 1; u <= x + 1; ++u) {
          const std::uint32_t p = pixels[v * width + u];
          red += (p >> 16) & 0xFFu;
          green += (p >> 8) & 0xFFu;
          blue += p & 0xFFu;
        }
      }
      pixels[y * width + x] = ((red / 9) << 16) | ((green / 9) << 8) | (blue / 9);
    }
  }
}

}  // namespace quarvel::effects
