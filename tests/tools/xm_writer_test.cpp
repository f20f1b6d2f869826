// Module writer: the bytes it produces for headers, cells, envelopes and samples.
#include <gtest/gtest.h>

#include "xmwriter/xm_writer.h"

namespace quarvel::xmwriter {
namespace {

std::uint32_t read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}

std::uint32_t read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return read16(b, at) | (read16(b, at + 2) << 16);
}

Module smallModule() {
  Module m;
  m.name = "test";
  m.channels = 2;
  m.tempo = 5;
  m.bpm = 140;
  m.linearFrequencies = false;
  m.orders = {1, 0, 1};
  m.restartPosition = 1;
  m.addPattern(4);
  m.addPattern(2);
  return m;
}

TEST(XmWriter, CellsArePackedUnlessAllFiveFieldsAreSet) {
  Module m = smallModule();
  m.patterns[1].at(0, 0, 2) = {49, 1, 0, 0, 0};
  m.patterns[1].at(0, 1, 2) = {50, 2, 0x40, 12, 5};
  m.patterns[1].at(1, 1, 2) = {0, 0, 0, 15, 0};
  Layout layout;
  const std::vector<std::uint8_t> b = write(m, &layout);
  const std::size_t p = layout.patternHeaders[1];
  EXPECT_EQ(read32(b, p), 9u);
  EXPECT_EQ(read16(b, p + 5), 2u);
  const std::vector<std::uint8_t> packed = {0x83, 49, 1, 50, 2, 0x40, 12, 5, 0x80, 0x88, 15};
  EXPECT_EQ(read16(b, p + 7), packed.size());
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + p + 9, b.begin() + p + 9 + packed.size()),
            packed);
}

TEST(XmWriter, InstrumentEnvelopesAndDeltaEncodedSamples) {
  Module m = smallModule();
  Instrument in;
  in.panningEnvelope.points = {{0, 32}, {4, 40}};
  in.panningEnvelope.loop = true;
  Sample eight;
  eight.values = {10, -20, 127, -128};
  eight.loop = Loop::kPingPong;
  eight.loopStart = 1;
  eight.loopLength = 2;
  Sample wide;
  wide.sixteenBit = true;
  wide.values = {1000, -32768, 32767};
  wide.loop = Loop::kForward;
  wide.loopStart = 1;
  wide.loopLength = 2;
  in.samples = {eight, wide};
  m.instruments.push_back(in);
  Layout layout;
  const std::vector<std::uint8_t> b = write(m, &layout);

  const std::size_t i = layout.instrumentHeaders[0];
  EXPECT_EQ(read32(b, i), 263u);
  EXPECT_EQ(b[i + 233], 0);      // no volume envelope
  EXPECT_EQ(b[i + 234], 1 | 4);  // panning envelope on, loop
  const std::size_t s0 = layout.sampleHeaders[0][0];
  EXPECT_EQ(read32(b, s0), 4u);
  EXPECT_EQ(b[s0 + 14], 2);
  const std::size_t s1 = layout.sampleHeaders[0][1];
  EXPECT_EQ(read32(b, s1), 6u);  // bytes, not values
  EXPECT_EQ(read32(b, s1 + 4), 2u);
  EXPECT_EQ(read32(b, s1 + 8), 4u);
  EXPECT_EQ(b[s1 + 14], 0x11);

  const std::size_t d0 = layout.sampleData[0][0];
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + d0, b.begin() + d0 + 4),
            (std::vector<std::uint8_t>{10, 226, 147, 1}));
  const std::size_t d1 = layout.sampleData[0][1];
  EXPECT_EQ(d1, d0 + 4);
  EXPECT_EQ(read16(b, d1), 1000u);
  EXPECT_EQ(read16(b, d1 + 2), static_cast<std::uint32_t>((-32768 - 1000) & 0xFFFF));
  EXPECT_EQ(read16(b, d1 + 4), 0xFFFFu);  // 32767 - -32768 wraps to -1
  EXPECT_EQ(b.size(), d1 + 6);
}

}  // namespace
}  // namespace quarvel::xmwriter
