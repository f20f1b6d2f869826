// Row converters and the rules that pick one for a surface's pixel format.
#include "display/row_converters.h"

#include <bit>
#include <cstring>

namespace quarvel::display {
namespace {

constexpr std::uint32_t red(std::uint32_t p) { return (p >> 16) & 0xFF; }
constexpr std::uint32_t green(std::uint32_t p) { return (p >> 8) & 0xFF; }
constexpr std::uint32_t blue(std::uint32_t p) { return p & 0xFF; }

// Surface memory may not be aligned for 16-bit stores through a cast pointer.
inline void store16(void* destination, std::uint32_t index, std::uint32_t value) {
  const auto v = static_cast<std::uint16_t>(value);
  std::memcpy(static_cast<unsigned char*>(destination) + 2 * index, &v, 2);
}

inline void store32(void* destination, std::uint32_t index, std::uint32_t value) {
  std::memcpy(static_cast<unsigned char*>(destination) + 4 * index, &value, 4);
}

}  // namespace

void rowToRgb565(const std::uint32_t* source, void* destination, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t p = source[i];
    store16(destination, i, ((red(p) & 0xF8) << 8) | ((green(p) & 0xFC) << 3) | (blue(p) >> 3));
  }
}

void rowToRgb1555(const std::uint32_t* source, void* destination, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t p = source[i];
    store16(destination, i,
            ((p >> 31) << 15) | ((red(p) & 0xF8) << 7) | ((green(p) & 0xF8) << 2) | (blue(p) >> 3));
  }
}

void rowCopy32(const std::uint32_t* source, void* destination, std::uint32_t count) {
  std::memmove(destination, source, std::size_t{count} * 4);
}

void rowToBgr32(const std::uint32_t* source, void* destination, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t p = source[i];
    store32(destination, i, (p & 0xFF00FF00u) | (blue(p) << 16) | red(p));
  }
}

void rowToBgr565(const std::uint32_t* source, void* destination, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t p = source[i];
    store16(destination, i, ((blue(p) & 0xF8) << 8) | ((green(p) & 0xFC) << 3) | (red(p) >> 3));
  }
}

void rowToBgr1555(const std::uint32_t* source, void* destination, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t p = source[i];
    store16(destination, i,
            ((p >> 31) << 15) | ((blue(p) & 0xF8) << 7) | ((green(p) & 0xF8) << 2) | (red(p) >> 3));
  }
}

int countBits(std::uint32_t mask) { return std::popcount(mask); }

ConverterChoice chooseRowConverter(const platform::PixelFormat& format) {
  using Outcome = ConverterChoice::Outcome;
  if ((format.flags & platform::kPixelFormatRgb) == 0) return {};
  if (format.rgbBitCount == 16) {
    const int n =
        countBits(format.redMask) + countBits(format.greenMask) + countBits(format.blueMask);
    if ((format.blueMask & 0x1F) != 0) {
      return {Outcome::Converter, n == 16 ? rowToRgb565 : rowToRgb1555, 16};
    }
    if ((format.redMask & 0x1F) != 0) {
      return {Outcome::Converter, n == 16 ? rowToBgr565 : rowToBgr1555, 16};
    }
    return {Outcome::Converter, nullptr, 16};
  }
  if (format.rgbBitCount == 32) {
    if ((format.blueMask & 0xFF) != 0) return {Outcome::Converter, rowCopy32, 32};
    if ((format.redMask & 0xFF) != 0) return {Outcome::Converter, rowToBgr32, 32};
    return {Outcome::Converter, nullptr, 32};
  }
  return {Outcome::Unsupported, nullptr, 0};
}

}  // namespace quarvel::display
