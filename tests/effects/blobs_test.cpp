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
class ReferenceSequence {
 public:
  int next() {
    state_ = static_cast<std::uint32_t>((std::uint64_t{state_} * 214013u + 2531011u) % 4294967296u);
    return static_cast<int>((state_ >> 16) % 32768u);
  }

 private:
  std::uint32_t state_ = 1;
};

TEST(DemoRandom, StartsWithTheUnseededRuntimeSequence) {
  DemoRandom random;
  for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
    EXPECT_EQ(random.next(), expected);
  }
  ReferenceSequence reference;
  DemoRandom again;
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(again.next(), reference.next()) << "draw " << i;
}

TEST(BlobPoints, FirstPointComesFromTheFirstFiveDraws) {
  DemoRandom random;
  const BlobPoint p = makeBlobPoint(random);
  EXPECT_EQ(p.vx, 7.5f);     // 15 / (41 % 10 + 1)
  EXPECT_EQ(p.vy, 1.875f);   // 15 / (18467 % 10 + 1)
  EXPECT_EQ(p.x, 274.0f);    // 6334 % 319 + 1
  EXPECT_EQ(p.y, 211.0f);    // 26500 % 239 + 1
  EXPECT_EQ(p.strength, 8.0f);  // 19169 % 11 + 1
}

TEST(BlobPoints, TenPointsDrawFiftyNumbersInOrder) {
  DemoRandom random;
  std::array<BlobPoint, kBlobPointCount> points{};
  fillBlobPoints(points, random);

  ReferenceSequence reference;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const int a = reference.next(), b = reference.next(), c = reference.next(),
              d = reference.next(), e = reference.next();
    EXPECT_EQ(points[i].vx, static_cast<float>(15.0 / (a % 10 + 1))) << i;
    EXPECT_EQ(points[i].vy, static_cast<float>(15.0 / (b % 10 + 1))) << i;
    EXPECT_EQ(points[i].x, static_cast<float>(c % 319 + 1)) << i;
    EXPECT_EQ(points[i].y, static_cast<float>(d % 239 + 1)) << i;
    EXPECT_EQ(points[i].strength, static_cast<float>(e % 11 + 1)) << i;
    EXPECT_GE(points[i].strength, 1.0f);
    EXPECT_LE(points[i].strength, 11.0f);
  }
  // Whoever draws next (the particles) continues the same sequence.
  EXPECT_EQ(random.next(), reference.next());
}

TEST(BlobPoints, MoveTurnsOnlyPastTheEdgesAndNeverClamps) {
  BlobPoint p{318.0f, 5.0f, 3.0f, -7.5f, 1.0f};
  moveBlobPoint(p, 320.0f, 240.0f);
  EXPECT_EQ(p.x, 321.0f);
  EXPECT_EQ(p.vx, -3.0f);
  EXPECT_EQ(p.y, -2.5f);
  EXPECT_EQ(p.vy, 7.5f);

  BlobPoint edge{317.0f, 237.0f, 3.0f, 3.0f, 1.0f};  // lands exactly on the far edges
  moveBlobPoint(edge, 320.0f, 240.0f);
  EXPECT_EQ(edge.vx, 3.0f);
  EXPECT_EQ(edge.vy, 3.0f);

  BlobPoint zero{2.0f, 2.0f, -2.0f, -2.0f, 1.0f};  // lands exactly on 0
  moveBlobPoint(zero, 320.0f, 240.0f);
  EXPECT_EQ(zero.vx, -2.0f);
  EXPECT_EQ(zero.vy, -2.0f);
}

TEST(BlobCentre, RoundsHalfUpAndTruncatesTowardZero) {
  EXPECT_EQ(blobCentre(10.49f), 10u);
  EXPECT_EQ(blobCentre(10.5f), 11u);
  EXPECT_EQ(blobCentre(-0.7f), 0u);  // trunc(-0.2) is 0
  EXPECT_EQ(blobCentre(-4.5f), static_cast<std::uint32_t>(-4));
  // The sum is formed in double: in float it would round up to 1.
  EXPECT_EQ(blobCentre(0.49999997f), 0u);
}

struct Field {
  Field(std::uint32_t w, std::uint32_t h) : values(w * h, 0.0f), size{nullptr, w, h} {}
  float at(std::uint32_t x, std::uint32_t y) const { return values[y * size.width + x]; }
  std::vector<float> values;
  display::Bitmap size;
};

TEST(AddBlob, AddsStrengthOverDistanceWithTheRightRowsAndColumns) {
  Field field(7, 5);  // not square, so swapped axes show
  addBlob(2, 3, field.values.data(), 2.0f, field.size);
  EXPECT_EQ(field.at(2, 3), 1.0f);  // infinite at the centre, capped
  EXPECT_EQ(field.at(6, 0), 0.4f);  // d2 = 16 + 9
  EXPECT_EQ(field.at(2, 0), static_cast<float>(2.0 / 3.0));
  EXPECT_EQ(field.at(6, 3), 0.5f);
  EXPECT_EQ(field.at(0, 4), static_cast<float>(2.0 / std::sqrt(5.0)));
  for (float v : field.values) EXPECT_LE(v, 1.0f);
}

TEST(AddBlob, SumsInDoubleBeforeRoundingToFloat) {
  Field field(3, 1);
  field.values = {0.1f, 0.3f, 0.7f};
  addBlob(0, 7, field.values.data(), 1.0f, field.size);
  for (std::uint32_t c = 0; c < 3; ++c) {
    const double d = std::sqrt(static_cast<double>(c * c + 49));
    const float start = std::array{0.1f, 0.3f, 0.7f}[c];
    EXPECT_EQ(field.at(c, 0), static_cast<float>(static_cast<double>(start) + 1.0 / d)) << c;
  }
}

TEST(AddBlob, NeverExceedsOneAndKeepsOne) {
  Field field(16, 16);
  field.values[5] = 1.0f;
  field.values[6] = 0.99f;
  for (std::uint32_t i = 0; i < 4; ++i) addBlob(3 + i, 9 - i, field.values.data(), 11.0f, field.size);
  for (float v : field.values) EXPECT_LE(v, 1.0f);
  EXPECT_EQ(field.values[5], 1.0f);
  EXPECT_EQ(field.values[6], 1.0f);
}

// The field sum written the obvious way: every value, row by row.
void referenceAddBlob(std::int32_t cx, std::int32_t cy, std::vector<float>& field, float strength,
                      std::int32_t w, std::int32_t h) {
  for (std::int32_t r = 0; r < h; ++r) {
    for (std::int32_t c = 0; c < w; ++c) {
      const std::int32_t d2 = (cx - c) * (cx - c) + (cy - r) * (cy - r);
      float& v = field[static_cast<std::size_t>(r * w + c)];
      v = static_cast<float>(static_cast<double>(v) + strength / std::sqrt(d2));
      if (v > 1.0f) v = 1.0f;
    }
  }
}

TEST(AddBlob, MatchesTheStraightforwardSumForAnyCentre) {
  const std::pair<std::int32_t, std::int32_t> centres[] = {
      {11, 8}, {0, 0}, {22, 16}, {5, 13}, {20, 2}, {-4, 7}, {9, -3}, {30, 20}, {-6, -6}, {11, 40},
      {4, 3}, {3, 2}, {7, 5}, {8, 6}};
  for (auto [w, h] : {std::pair{23, 17}, std::pair{8, 6}, std::pair{1, 1}}) {
    std::vector<float> start(static_cast<std::size_t>(w * h));
    DemoRandom random;
    for (float& v : start) v = static_cast<float>(random.next()) / 32768.0f;
    for (auto [cx, cy] : centres) {
      Field field(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
      field.values = start;
      std::vector<float> expected = start;
      addBlob(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), field.values.data(),
              3.0f, field.size);
      referenceAddBlob(cx, cy, expected, 3.0f, w, h);
      EXPECT_EQ(field.values, expected) << w << "x" << h << " centre " << cx << "," << cy;
    }
  }
}

TEST(AddBlob, CentreOffTheFieldActsAsANegativeCoordinate) {
  Field field(4, 3);
  addBlob(blobCentre(-4.5f), 1, field.values.data(), 1.0f, field.size);  // centre at x = -4
  EXPECT_EQ(field.at(0, 1), 0.25f);
  EXPECT_EQ(field.at(3, 1), static_cast<float>(1.0 / 7.0));
  EXPECT_EQ(field.at(0, 0), static_cast<float>(1.0 / std::sqrt(17.0)));
}

TEST(ThresholdBlobs, LightsOnlyValuesStrictlyAboveTheThreshold) {
  std::vector<std::uint32_t> pixels(5, 0x123456u);
  display::Bitmap frame{pixels.data(), 5, 1};
  const std::array<float, 5> field{0.99000001f, 0.995f, 1.0f, 0.5f, 0.9901f};
  thresholdBlobs(field.data(), 0.99f, frame, 5, 1);
  EXPECT_EQ(0.99f, 0.99000001f);
  EXPECT_EQ(pixels[0], 0x123456u);    // equal to the threshold: stays
  EXPECT_EQ(pixels[1], 0x00FDFDFDu);  // 253.7 -> 253
  EXPECT_EQ(pixels[2], 0x00FFFFFFu);
  EXPECT_EQ(pixels[3], 0x123456u);
  EXPECT_EQ(pixels[4], 0x00FCFCFCu);  // 252.47 -> 252
}

TEST(ThresholdBlobs, TakesTheLowByteOfTheTruncatedProduct) {
  std::vector<std::uint32_t> pixels(2, 0);
  display::Bitmap frame{pixels.data(), 2, 1};
  const std::array<float, 2> field{2.0f, -0.5f};
  thresholdBlobs(field.data(), -1.0f, frame, 2, 1);
  EXPECT_EQ(pixels[0], 0x00FEFEFEu);  // 510 = 0x1FE
  EXPECT_EQ(pixels[1], 0x00818181u);  // -127 = 0x...81
}

TEST(ThresholdBlobs, EmptyOrNegativeSizesDoNothingAndBoundsHold) {
  std::vector<std::uint32_t> pixels(6, 7u);
  display::Bitmap frame{pixels.data(), 3, 2};
  const std::vector<float> field(12, 1.0f);
  thresholdBlobs(field.data(), 0.5f, frame, 0, 2);
  thresholdBlobs(field.data(), 0.5f, frame, 3, -2);
  for (std::uint32_t p : pixels) EXPECT_EQ(p, 7u);
  thresholdBlobs(field.data(), 0.5f, frame, 2, 2);  // four pixels in order
  EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0xFFFFFFu, 0xFFFFFFu, 0xFFFFFFu, 0xFFFFFFu, 7u, 7u}));
  thresholdBlobs(field.data(), 0.5f, frame, 4, 3);  // larger than the frame: clipped
  for (std::uint32_t p : pixels) EXPECT_EQ(p, 0xFFFFFFu);
}

TEST(BlobField, HoldsTheFullFrameAndClears) {
  BlobField field;
  EXPECT_EQ(BlobField::size(), 76800u);
  field.data()[76799] = 0.5f;
  field.data()[0] = 0.25f;
  field.clear();
  EXPECT_EQ(field.data()[0], 0.0f);
  EXPECT_EQ(field.data()[76799], 0.0f);
}

}  // namespace
}  // namespace quarvel::effects
