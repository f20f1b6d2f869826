// The 2D passes: blob centres from the demo's random sequence, their motion, the field sum and
// its threshold; channel arithmetic and covered ranges; the fast paths.
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/blobs.h"
#include "effects/effects_lanes.h"
#include "effects/frame_passes.h"
#include "support/vector_paths.h"

namespace quarvel::effects {
namespace {

using Pixels = std::vector<std::uint32_t>;

TEST(BlobPoints, DrawFiveNumbersEachInOrderFromTheClassicSequence) {
  DemoRandom random;  // state 1, never seeded: 41, 18467, 6334, 26500, 19169, 15724, ...
  std::array<BlobPoint, kBlobPointCount> points{};
  fillBlobPoints(points, random);
  // 15 / (41 % 10 + 1), 15 / (18467 % 10 + 1), 6334 % 319 + 1, 26500 % 239 + 1, 19169 % 11 + 1
  const BlobPoint& a = points[0];
  EXPECT_TRUE(a.vx == 7.5f && a.vy == 1.875f && a.x == 274 && a.y == 211 && a.strength == 8);
  // 15 / 5, 15 / 9 (rounded to float once), 29358 % 319 + 1, 26962 % 239 + 1, 24464 % 11 + 1
  const BlobPoint& b = points[1];
  EXPECT_TRUE(b.vx == 3 && b.vy == static_cast<float>(15.0 / 9) && b.x == 11 && b.y == 195 &&
              b.strength == 1);
  EXPECT_EQ(random.next(), 25547);  // the 51st number: whoever draws next continues the sequence
}

TEST(BlobPoints, TurnOnlyPastTheEdgesNeverClampAndRoundToThePixel) {
  const std::pair<BlobPoint, BlobPoint> moves[] = {
      {{318, 238, 3, 2.5f, 1}, {321, 240.5f, -3, -2.5f, 1}},  // past both far edges
      {{2, 1, -3, -2, 1}, {-1, -1, 3, 2, 1}},                 // past both near edges
      {{317, 2, 3, -2, 1}, {320, 0, 3, -2, 1}},               // exactly on them: no turn
  };
  for (auto [p, want] : moves) {
    moveBlobPoint(p, 320.0f, 240.0f);
    EXPECT_TRUE(p.x == want.x && p.y == want.y && p.vx == want.vx && p.vy == want.vy) << want.x;
  }
  // trunc(v + 0.5), wrapping like an int; summed in double (0.49999997 + 0.5 is 1 in float).
  const float values[] = {10.5f, 10.49f, -0.7f, -4.5f, 0.49999997f};
  const int centres[] = {11, 10, 0, -4, 0};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(blobCentre(values[i]), static_cast<std::uint32_t>(centres[i])) << values[i];
  }
}

TEST(AddBlob, MatchesTheStraightforwardSumForAnyCentreAndCapsAtOne) {
  // Centres inside, on the corners and edges, and off every side (wrapped negatives).
  const int centres[][2] = {{11, 8}, {0, 0},   {22, 16}, {5, 13},  {20, 2}, {-4, 7},
                            {9, -3}, {30, 20}, {-6, -6}, {11, 40}, {4, 3},  {8, 6}};
  for (auto [w, h] : {std::pair{23, 17}, std::pair{8, 6}, std::pair{1, 1}}) {
    std::vector<float> start(static_cast<std::size_t>(w * h));
    DemoRandom random;
    for (float& v : start) v = static_cast<float>(random.next()) / 32768.0f;
    for (const auto& [cx, cy] : centres) {
      std::vector<float> field = start, expected = start;
      addBlob(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), field.data(), 3.0f,
              {nullptr, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)});
      // Every value, row by row: squared distance in int, quotient and sum in double,
      // infinite at the centre and capped at 1.
      for (int i = 0; i < w * h; ++i) {
        const int dx = cx - i % w, dy = cy - i / w;
        float& v = expected[static_cast<std::size_t>(i)];
        v = std::min(static_cast<float>(v + 3.0f / std::sqrt(dx * dx + dy * dy)), 1.0f);
      }
      EXPECT_EQ(field, expected) << w << "x" << h << " centre " << cx << "," << cy;
    }
  }
}

TEST(ThresholdBlobs, LightsStrictlyAboveTheThresholdWithTheLowByte) {
  Pixels pixels(8, 0x123456u);
  display::Bitmap frame{pixels.data(), 4, 2};
  const float field[8] = {0.99000001f, 0.995f, 1.0f, 0.9901f, 2.0f, 0.5f, 1.0f, 1.0f};
  thresholdBlobs(field, 0.99f, frame, 4, 0);
  thresholdBlobs(field, 0.99f, frame, -4, 2);
  EXPECT_EQ(pixels, Pixels(8, 0x123456u));
  // Six pixels: exactly the threshold, 253.7, 255, 252.5, and 510 whose low byte is 0xFE.
  thresholdBlobs(field, 0.99f, frame, 3, 2);
  EXPECT_EQ(pixels, (Pixels{0x123456, 0xFDFDFD, 0xFFFFFF, 0xFCFCFC, 0xFEFEFE, 0x123456, 0x123456,
                            0x123456}));
}

TEST(FramePasses, ChannelArithmeticAndCoveredRanges) {
  EXPECT_EQ(averageColor(0xFFFFFFu, 0x000001u), 0x7F7F80u);
  EXPECT_EQ(averageColor(0xFF03FF00u, 0x01FF0100u), 0x00818000u);  // top bytes ignored
  Pixels fade{0x010203u, 0x00FF00u, 0xFF000000u, 0x02FFFF01u, 0x777777u};
  display::Bitmap fadeView{fade.data(), 4, 1};  // the fifth pixel lies outside
  fadeFrame(fadeView);
  EXPECT_EQ(fade, (Pixels{0x000102u, 0x00FE00u, 0, 0xFEFE00u, 0x777777u}));
  Pixels invert{0xFF8000u, 0xAB123456u, 0, 0, 0, 0};
  display::Bitmap invertView{invert.data(), 3, 2};
  invertFrom(0, 0, invertView);
  EXPECT_EQ(invert, (Pixels{0x007FFFu, 0xEDCBA9u, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  invertFrom(2, 1, invertView);  // only the bottom-right pixel
  invertFrom(3, 0, invertView);
  invertFrom(0, 2, invertView);
  EXPECT_EQ(invert, (Pixels{0x007FFFu, 0xEDCBA9u, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0}));
}

// The 2D passes on every lane target against the reference.
using PassesOnEveryTarget = testing::LaneTargetTest;

TEST_P(PassesOnEveryTarget, FramePassesGiveTheReferenceBits) {
  // Sizes around the lane widths, the demo's frame, and the widest blur the
  // fast path takes and one beyond; inversions from inside, the edges and outside.
  const struct {
    std::uint32_t w, h, x0, y0;
  } cases[] = {{3, 3, 0, 0},     {5, 4, 3, 2},       {4, 40, 3, 39},
               {17, 9, 17, 0},   {37, 23, 0, 30},    {320, 240, 0, 0},
               {320, 240, 5, 7}, {1024, 5, 1000, 1}, {1025, 4, 0, 0}};
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + " from " +
                             std::to_string(c.x0) + "," + std::to_string(c.y0);
    expectSameAsReference(name, [&](lanes::VectorPath path) {
      const EffectKernels kernels = effectKernels(path);
      // A target whose table came out empty would only compare the reference with itself.
      EXPECT_EQ(kernels.blur == nullptr, path == lanes::VectorPath::Reference);
      testing::Words pixels = testing::noise(std::size_t{c.w} * c.h, c.w * 31 + c.h);
      display::Bitmap frame{pixels.data(), c.w, c.h};
      blurFrame(kernels, frame);
      testing::Words out = pixels;
      blurFrame(kernels, frame);  // the demo blurs twice: the second pass reads the first's smear
      fadeFrame(kernels, frame);
      testing::appendWords(out, pixels);
      invertFrom(kernels, c.x0, c.y0, frame);
      testing::appendWords(out, pixels);
      return out;
    });
  }
}

TEST_P(PassesOnEveryTarget, BlobsGiveTheReferenceBits) {
  // Centres at the corners, just outside and wrapped around (negative).
  const int centres[][2] = {{160, 120}, {0, 0},   {319, 239}, {7, 200},
                            {300, 3},   {-4, 50}, {320, 10}};
  const struct {
    std::uint32_t w, h;
    float strength;
  } cases[] = {{320, 240, 11}, {320, 240, 2.5f}, {23, 17, 1}, {321, 2, 3}, {16, 16, 0}, {9, 5, -3}};
  for (const auto& c : cases) {
    const std::string name =
        std::to_string(c.w) + "x" + std::to_string(c.h) + " strength " + std::to_string(c.strength);
    expectSameAsReference(name, [&](lanes::VectorPath path) {
      const EffectKernels kernels = effectKernels(path);
      std::mt19937 random(c.w + c.h);
      std::uniform_real_distribution<float> start(-0.2f, 1.2f);
      std::vector<float> field(std::size_t{c.w} * c.h);
      for (float& v : field) v = start(random);
      field[1] = std::numeric_limits<float>::quiet_NaN();
      field[2] = 0.99000001f;  // exactly the threshold: stays dark
      const display::Bitmap size{nullptr, c.w, c.h};
      for (const auto& xy : centres) {
        addBlob(kernels, static_cast<std::uint32_t>(xy[0]), static_cast<std::uint32_t>(xy[1]),
                field.data(), c.strength, size);
      }
      field[3] = 1e10f;  // too large for an int once times 255
      field[4] = std::numeric_limits<float>::infinity();
      testing::Words pixels = testing::noise(field.size(), 3);
      display::Bitmap frame{pixels.data(), c.w, c.h};
      thresholdBlobs(kernels, field.data(), 0.99f, frame, static_cast<int>(c.w),
                     static_cast<int>(c.h));
      testing::Words out = pixels;
      testing::appendWords(out, field);
      return out;
    });
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, PassesOnEveryTarget, testing::laneTargets(), testing::targetName);

}  // namespace
}  // namespace quarvel::effects
