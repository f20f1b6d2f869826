// Row converters from framebuffer pixels (0x00RRGGBB) to the surface formats the display knows.
#pragma once

#include <cstdint>

#include "platform/draw_device.h"

namespace quarvel::display {

// Converts `count` consecutive pixels; knows nothing of rows, pitch or scale.
// The destination holds 16-bit values for the 16-bit converters and 32-bit
// values for the 32-bit ones. Every reduction truncates.
using RowConverter = void (*)(const std::uint32_t* source, void* destination, std::uint32_t count);

void rowToRgb565(const std::uint32_t* source, void* destination, std::uint32_t count);
// Bit 15 is copied from the source's bit 31.
void rowToRgb1555(const std::uint32_t* source, void* destination, std::uint32_t count);
// A plain, overlap-safe move.
void rowCopy32(const std::uint32_t* source, void* destination, std::uint32_t count);
// Blue-first layouts: 0x00BBGGRR and 16-bit blue in the top bits.
void rowToBgr32(const std::uint32_t* source, void* destination, std::uint32_t count);
void rowToBgr565(const std::uint32_t* source, void* destination, std::uint32_t count);
void rowToBgr1555(const std::uint32_t* source, void* destination, std::uint32_t count);

int countBits(std::uint32_t mask);

struct ConverterChoice {
  enum class Outcome {
    None,         // not an RGB format: nothing is chosen
    Converter,    // `converter` writes `bitsPerPixel`-bit pixels
    Unsupported,  // an RGB format of a bit count other than 16 or 32: fatal
  };
  Outcome outcome = Outcome::None;
  RowConverter converter = nullptr;
  std::uint32_t bitsPerPixel = 0;
};

// Red-first formats get the classic converters. Formats whose blue mask lies
// outside the lowest bits get the matching blue-first converter when their
// masks say which one; any other layout gets none and shows nothing.
ConverterChoice chooseRowConverter(const platform::PixelFormat& format);

}  // namespace quarvel::display
