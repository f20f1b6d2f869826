// Row converters: bit layouts, truncation, and which format selects which converter.
#include <array>

#include <gtest/gtest.h>

#include "display/row_converters.h"

namespace quarvel::display {
namespace {

template <typename Out, std::size_t N>
std::array<Out, N> convert(RowConverter converter, const std::array<std::uint32_t, N>& in) {
  std::array<Out, N> out{};
  converter(in.data(), out.data(), N);
  return out;
}

TEST(RowConverters, Rgb565TruncatesEachChannel) {
  const auto out = convert<std::uint16_t>(
      rowToRgb565, std::array<std::uint32_t, 5>{0x00FFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                                0x00070307});
  EXPECT_EQ(out, (std::array<std::uint16_t, 5>{0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0000}));
}

TEST(RowConverters, Rgb1555CarriesTheTopBit) {
  const auto out = convert<std::uint16_t>(
      rowToRgb1555, std::array<std::uint32_t, 3>{0x00FFFFFF, 0x80FFFFFF, 0x00FF0000});
  EXPECT_EQ(out, (std::array<std::uint16_t, 3>{0x7FFF, 0xFFFF, 0x7C00}));
}

TEST(RowConverters, Copy32KeepsEveryBitAndBgrSwapsRedAndBlue) {
  const std::array<std::uint32_t, 2> in{0x01234567, 0xFF00FF00};
  EXPECT_EQ(convert<std::uint32_t>(rowCopy32, in), in);
  EXPECT_EQ(convert<std::uint32_t>(rowToBgr32, in),
            (std::array<std::uint32_t, 2>{0x01674523, 0xFF00FF00}));
  EXPECT_EQ(convert<std::uint16_t>(rowToBgr565, std::array<std::uint32_t, 1>{0x000000FF})[0],
            0xF800);
}

TEST(RowConverters, ZeroCountWritesNothing) {
  std::array<std::uint16_t, 2> out{0xAAAA, 0xAAAA};
  const std::uint32_t in = 0xFFFFFF;
  rowToRgb565(&in, out.data(), 0);
  EXPECT_EQ(out[0], 0xAAAA);
}

TEST(RowConverters, CountBits) {
  EXPECT_EQ(countBits(0), 0);
  EXPECT_EQ(countBits(0xF800), 5);
  EXPECT_EQ(countBits(0xFFFFFFFF), 32);
}

TEST(ConverterSelection, ClassicFormats) {
  using platform::kPixelFormatRgb;
  EXPECT_EQ(chooseRowConverter({kPixelFormatRgb, 16, 0xF800, 0x07E0, 0x001F}).converter,
            rowToRgb565);
  EXPECT_EQ(chooseRowConverter({kPixelFormatRgb, 16, 0x7C00, 0x03E0, 0x001F}).converter,
            rowToRgb1555);
  const ConverterChoice c32 = chooseRowConverter({kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF});
  EXPECT_EQ(c32.converter, rowCopy32);
  EXPECT_EQ(c32.bitsPerPixel, 32u);
}

TEST(ConverterSelection, OtherFormats) {
  using Outcome = ConverterChoice::Outcome;
  using platform::kPixelFormatRgb;
  EXPECT_EQ(chooseRowConverter({kPixelFormatRgb, 24, 0xFF0000, 0xFF00, 0xFF}).outcome,
            Outcome::Unsupported);
  EXPECT_EQ(chooseRowConverter({0x20, 8, 0, 0, 0}).outcome, Outcome::None);
  EXPECT_EQ(chooseRowConverter({kPixelFormatRgb, 32, 0xFF, 0xFF00, 0xFF0000}).converter,
            rowToBgr32);
  EXPECT_EQ(chooseRowConverter({kPixelFormatRgb, 16, 0x001F, 0x07E0, 0xF800}).converter,
            rowToBgr565);
  // Masks that say nothing usable: a choice is made, but no converter shows anything.
  const ConverterChoice odd = chooseRowConverter({kPixelFormatRgb, 32, 0xFF00, 0xFF000000, 0xFF0000});
  EXPECT_EQ(odd.outcome, Outcome::Converter);
  EXPECT_EQ(odd.converter, nullptr);
}

}  // namespace
}  // namespace quarvel::display
