// Blob centres from the demo's random sequence, their motion, the field sum and its threshold.
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "effects/blobs.h"
#include "effects/demo_random.h"

namespace quarvel::effects {
namespace {

// The classic runtime sequence written out independently of DemoRandom.
struct ReferenceSequence {
  std::uint64_t state = 1;
  int next() {
    state = (state * 214013u + 2531011u) % 4294967296u;
    return static_cast<int>((state >> 16) % 32768u);
  }
};

TEST(BlobPoints, DrawFiveNumbersEachInOrder) {
  DemoRandom sequence;
  for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(sequence.next(), expected);
  DemoRandom random;
  std::array<BlobPoint, kBlobPointCount> points{};
  fillBlobPoints(points, random);
  // 15 / (41 % 10 + 1), 15 / (18467 % 10 + 1), 6334 % 319 + 1, 26500 % 239 + 1, 19169 % 11 + 1
  const BlobPoint& p0 = points[0];
  EXPECT_TRUE(p0.vx == 7.5f && p0.vy == 1.875f && p0.x == 274 && p0.y == 211 && p0.strength == 8);
  ReferenceSequence reference;
  for (const BlobPoint& p : points) {
    EXPECT_EQ(p.vx, static_cast<float>(15.0 / (reference.next() % 10 + 1)));
    EXPECT_EQ(p.vy, static_cast<float>(15.0 / (reference.next() % 10 + 1)));
    EXPECT_EQ(p.x, static_cast<float>(reference.next() % 319 + 1));
    EXPECT_EQ(p.y, static_cast<float>(reference.next() % 239 + 1));
    EXPECT_EQ(p.strength, static_cast<float>(reference.next() % 11 + 1));
  }
  EXPECT_EQ(random.next(), reference.next());  // whoever draws next continues the sequence
}

TEST(BlobPoints, TurnOnlyPastTheEdgesAndNeverClamp) {
  BlobPoint p{318.0f, 5.0f, 3.0f, -7.5f, 1.0f};
  moveBlobPoint(p, 320.0f, 240.0f);
  EXPECT_TRUE(p.x == 321.0f && p.vx == -3.0f && p.y == -2.5f && p.vy == 7.5f);
  BlobPoint edges{317.0f, 2.0f, 3.0f, -2.0f, 1.0f};  // lands exactly on 320 and on 0
  moveBlobPoint(edges, 320.0f, 240.0f);
  EXPECT_TRUE(edges.vx == 3.0f && edges.vy == -2.0f);
  EXPECT_EQ(blobCentre(10.5f), 11u);
  EXPECT_EQ(blobCentre(-0.7f), 0u);                              // trunc(-0.2)
  EXPECT_EQ(blobCentre(-4.5f), static_cast<std::uint32_t>(-4));  // wraps like an int
  EXPECT_EQ(blobCentre(0.49999997f), 0u);  // sum in double; in float it rounds to 1
}

// The field sum written the obvious way: every value, row by row, in int and double.
void referenceAddBlob(int cx, int cy, std::vector<float>& field, float strength, int w, int h) {
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      float& v = field[static_cast<std::size_t>(r * w + c)];
      v = static_cast<float>(v + strength / std::sqrt((cx - c) * (cx - c) + (cy - r) * (cy - r)));
      if (v > 1.0f) v = 1.0f;
    }
  }
}

TEST(AddBlob, MatchesTheStraightforwardSumForAnyCentre) {
  const std::pair<int, int> centres[] = {{11, 8}, {0, 0},   {22, 16}, {5, 13},  {20, 2}, {-4, 7},
                                         {9, -3}, {30, 20}, {-6, -6}, {11, 40}, {4, 3},  {8, 6}};
  for (auto [w, h] : {std::pair{23, 17}, std::pair{8, 6}, std::pair{1, 1}}) {
    std::vector<float> start(static_cast<std::size_t>(w * h));
    DemoRandom random;
    for (float& v : start) v = static_cast<float>(random.next()) / 32768.0f;
    for (auto [cx, cy] : centres) {
      std::vector<float> field = start;
      std::vector<float> expected = start;
      const display::Bitmap size{nullptr, static_cast<std::uint32_t>(w),
                                 static_cast<std::uint32_t>(h)};
      addBlob(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), field.data(), 3.0f,
              size);
      referenceAddBlob(cx, cy, expected, 3.0f, w, h);
      EXPECT_EQ(field, expected) << w << "x" << h << " centre " << cx << "," << cy;
    }
  }
}

TEST(AddBlob, PinnedValuesAndTheCap) {
  BlobField field;
  const display::Bitmap size{nullptr, BlobField::kWidth, BlobField::kHeight};
  field.data()[5] = 0.1f;
  field.data()[2] = 1.0f;
  addBlob(0, 0, field.data(), 2.0f, size);
  EXPECT_EQ(field.data()[0], 1.0f);  // infinite at the centre
  EXPECT_EQ(field.data()[5], static_cast<float>(static_cast<double>(0.1f) + 0.4));  // d = 5
  EXPECT_EQ(field.data()[4 * 320 + 3], 0.4f);                                       // d2 = 9 + 16
  EXPECT_EQ(field.data()[2], 1.0f);
  for (int i = 0; i < 5; ++i) addBlob(100, 100 + i, field.data(), 11.0f, size);
  for (std::size_t i = 0; i < BlobField::size(); ++i) ASSERT_LE(field.data()[i], 1.0f) << i;
  field.clear();
  EXPECT_EQ(field.data()[0], 0.0f);
}

TEST(ThresholdBlobs, LightsStrictlyAboveTheThresholdWithTheLowByte) {
  std::vector<std::uint32_t> pixels(8, 0x123456u);
  display::Bitmap frame{pixels.data(), 4, 2};
  const std::array<float, 8> field{0.99000001f, 0.995f, 1.0f, 0.9901f, 2.0f, 0.5f, 1.0f, 1.0f};
  thresholdBlobs(field.data(), 0.99f, frame, 4, 0);
  thresholdBlobs(field.data(), 0.99f, frame, -4, 2);
  EXPECT_EQ(pixels, std::vector<std::uint32_t>(8, 0x123456u));
  thresholdBlobs(field.data(), 0.99f, frame, 3, 2);           // six pixels in order
  EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0x123456u,    // exactly the threshold
                                                0x00FDFDFDu,  // 253.7 -> 253
                                                0x00FFFFFFu,  // 255
                                                0x00FCFCFCu,  // 252.5 -> 252
                                                0x00FEFEFEu,  // 510 = 0x1FE
                                                0x123456u, 0x123456u, 0x123456u}));
}

}  // namespace
}  // namespace quarvel::effects
