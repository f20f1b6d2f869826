// Whole-frame 2D passes on 32-bit 0x00RRGGBB pixels: average, fade, invert and blur.
#pragma once

#include <cstdint>

#include "display/bitmap.h"

namespace quarvel::effects {

// Per-channel (a + b) / 2 rounded down; the top bytes of a and b are ignored and
// the result's top byte is 0.
std::uint32_t averageColor(std::uint32_t a, std::uint32_t b);

// Darkens all width * height pixels by one step per channel: c becomes c - 1,
// except that 0 and 1 both become 0. Writes the top byte as 0.
void fadeFrame(display::Bitmap& frame);

// Replaces each channel c by 255 - c for every pixel with x0 <= x < width and
// y0 <= y < height (top byte written as 0). An empty range changes nothing.
void invertFrom(std::uint32_t x0, std::uint32_t y0, display::Bitmap& frame);

// 3 x 3 box blur in place, columns left to right and each column top to bottom.
// Because neighbours to the left and above are already blurred when a pixel is
// computed, the result smears towards the bottom right. The outermost rows and
// columns never change; frames narrower or lower than 3 pixels are left alone.
void blurFrame(display::Bitmap& frame);

struct EffectKernels;

// The passes on the given kernels (the reference where an entry is null), for
// comparing targets side by side; the plain forms use the program's choice.
void fadeFrame(const EffectKernels& kernels, display::Bitmap& frame);
void invertFrom(const EffectKernels& kernels, std::uint32_t x0, std::uint32_t y0,
                display::Bitmap& frame);
void blurFrame(const EffectKernels& kernels, display::Bitmap& frame);

}  // namespace quarvel::effects
