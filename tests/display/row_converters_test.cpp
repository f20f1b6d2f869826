// Row converters: bit layouts and truncation, and which surface format selects which converter.
#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "display/row_converters.h"

namespace quarvel::display {
namespace {

TEST(RowConverters, BitLayoutsTruncateEveryChannel) {
  const std::array<std::uint32_t, 7> in = {0x00FFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                           0x00070307, 0x80FFFFFF, 0x00123456};
  struct Case {
    const char* name;
    RowConverter converter;
    std::array<std::uint32_t, 7> out;
  };
  const Case sixteen[] = {
      {"565", rowToRgb565, {0xFFFF, 0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 0x11AA}},
      {"1555", rowToRgb1555, {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0, 0xFFFF, 0x08CA}},
      {"bgr 565", rowToBgr565, {0xFFFF, 0x001F, 0x07E0, 0xF800, 0, 0xFFFF, 0x51A2}},
      {"bgr 1555", rowToBgr1555, {0x7FFF, 0x001F, 0x03E0, 0x7C00, 0, 0xFFFF, 0x28C2}},
  };
  for (const Case& c : sixteen) {
    std::array<std::uint16_t, 8> out{};
    out[7] = 0xAAAA;
    c.converter(in.data(), out.data(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], c.out[i]) << c.name << " pixel " << i;
    EXPECT_EQ(out[7], 0xAAAA) << c.name;  // nothing past the count
  }
  const Case thirtyTwo[] = {
      {"copy", rowCopy32, in},
      {"bgr", rowToBgr32, {0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x070307, 0x80FFFFFF, 0x563412}},
  };
  for (const Case& c : thirtyTwo) {
    std::array<std::uint32_t, 8> out{};
    c.converter(in.data(), out.data(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], c.out[i]) << c.name << " pixel " << i;
    EXPECT_EQ(out[7], 0u) << c.name;
  }
  for (const auto& [mask, bits] : {std::pair{0u, 0}, {0xF800u, 5}, {0xFFFFFFFFu, 32}}) {
    EXPECT_EQ(countBits(mask), bits) << mask;
  }
}

TEST(ConverterSelection, ByFlagsBitCountAndMasks) {
  using Outcome = ConverterChoice::Outcome;
  constexpr std::uint32_t rgb = platform::kPixelFormatRgb;
  struct Case {
    platform::PixelFormat format;
    Outcome outcome;
    RowConverter converter;
    std::uint32_t bits;
  };
  const Case cases[] = {
      {{rgb, 16, 0xF800, 0x07E0, 0x001F}, Outcome::Converter, rowToRgb565, 16},
      {{rgb, 16, 0x7C00, 0x03E0, 0x001F}, Outcome::Converter, rowToRgb1555, 16},
      {{rgb, 16, 0x001F, 0x07E0, 0xF800}, Outcome::Converter, rowToBgr565, 16},
      {{rgb, 16, 0x001F, 0x03E0, 0x7C00}, Outcome::Converter, rowToBgr1555, 16},
      {{rgb, 16, 0xF800, 0x001F, 0x07E0}, Outcome::Converter, nullptr, 16},  // shows nothing
      {{rgb, 32, 0xFF0000, 0xFF00, 0xFF}, Outcome::Converter, rowCopy32, 32},
      {{rgb, 32, 0xFF, 0xFF00, 0xFF0000}, Outcome::Converter, rowToBgr32, 32},
      {{rgb, 32, 0xFF00, 0xFF000000, 0xFF0000}, Outcome::Converter, nullptr, 32},
      {{rgb, 24, 0xFF0000, 0xFF00, 0xFF}, Outcome::Unsupported, nullptr, 0},
      {{0x20, 8, 0, 0, 0}, Outcome::None, nullptr, 0},
  };
  for (const Case& c : cases) {
    const ConverterChoice choice = chooseRowConverter(c.format);
    EXPECT_TRUE(choice.outcome == c.outcome && choice.converter == c.converter &&
                choice.bitsPerPixel == c.bits)
        << c.format.rgbBitCount << " bits, masks " << std::hex << c.format.redMask << " "
        << c.format.greenMask << " " << c.format.blueMask;
  }
}

}  // namespace
}  // namespace quarvel::display
