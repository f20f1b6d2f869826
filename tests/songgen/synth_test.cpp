// Synthesis helpers: the library-free sine, the noise sequence, waveforms and rounding.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "songgen/synth.h"

namespace quarvel::songgen {
namespace {

constexpr double kTwoPi = 6.283185307179586;

TEST(Synth, SineTurnsFollowsTheSineOverManyTurnsBothWays) {
  for (int i = -3000; i <= 3000; ++i) {
    const double turns = i * 0.01373 + 0.0005;
    ASSERT_NEAR(sineTurns(turns), std::sin(kTwoPi * turns), 1e-10) << turns;
  }
  // Far from zero the folding still lands on the right quadrant.
  EXPECT_NEAR(sineTurns(1000000.125), std::sqrt(0.5), 1e-9);
  EXPECT_NEAR(sineTurns(-1000000.625), std::sqrt(0.5), 1e-9);
  EXPECT_EQ(sineTurns(0.0), 0.0);
  EXPECT_EQ(sineTurns(0.5), 0.0);
  EXPECT_NEAR(sineTurns(0.75), -1.0, 1e-12);
}

TEST(Synth, NoiseIsTheXorshiftSequenceMappedToPlusMinusOne) {
  Noise noise{1};
  EXPECT_EQ(noise.next(), 270369.0 / 2147483648.0 - 1.0);
  EXPECT_EQ(noise.next(), 67634689.0 / 2147483648.0 - 1.0);
  EXPECT_EQ(noise.next(), 2647435461.0 / 2147483648.0 - 1.0);
  Noise other;
  double low = 0.0, high = 0.0, sum = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const double v = other.next();
    low = std::min(low, v);
    high = std::max(high, v);
    sum += v;
  }
  EXPECT_GE(low, -1.0);
  EXPECT_LT(high, 1.0);
  EXPECT_NEAR(sum / 100000.0, 0.0, 0.01);
}

TEST(Synth, PulseDutyAndSawShape) {
  // A quarter-duty pulse is high for about a quarter of its cycle, and starts high.
  int positive = 0;
  for (int i = 0; i < 256; ++i) positive += pulseTurns((i + 0.5) / 256.0 - 0.125, 0.25, 40) > 0;
  EXPECT_NEAR(positive, 64, 4);
  EXPECT_GT(pulseTurns(0.0, 0.25, 40), 0.3);
  EXPECT_LT(pulseTurns(0.5, 0.25, 40), -0.1);
  // A falling sawtooth: one partial is half a sine; many rise toward pi/4 just after zero.
  EXPECT_DOUBLE_EQ(sawTurns(0.1, 1), 0.5 * sineTurns(0.1));
  EXPECT_GT(sawTurns(0.02, 30), sawTurns(0.25, 30));
  EXPECT_LT(sawTurns(0.75, 30), 0.0);
}

TEST(Synth, QuantiseScalesToThePeakAndRoundsOnce) {
  EXPECT_EQ(quantise({0.5, -1.0, 0.25, 0.0}, 100.0), (std::vector<std::int32_t>{50, -100, 25, 0}));
  // Halves round away from zero after scaling, not before.
  EXPECT_EQ(quantise({2.0, 0.01, -0.01}, 100.0), (std::vector<std::int32_t>{100, 1, -1}));
  EXPECT_EQ(quantise({0.0, 0.0}, 100.0), (std::vector<std::int32_t>{0, 0}));
  EXPECT_TRUE(quantise({}, 100.0).empty());
}

TEST(Synth, OnePoleSplitsASignalIntoLowAndHighParts) {
  OnePole low{0.1};
  OnePole high{0.1};
  double l = 0.0, h = 0.0;
  for (int i = 0; i < 200; ++i) {
    l = low.lowpass(1.0);
    h = high.highpass(1.0);
  }
  EXPECT_NEAR(l, 1.0, 1e-6);  // a constant passes the low-pass
  EXPECT_NEAR(h, 0.0, 1e-6);  // and is removed by the high-pass
  OnePole alternating{0.1};
  double peak = 0.0;
  for (int i = 0; i < 200; ++i) {
    peak = std::max(peak, std::fabs(alternating.highpass(i % 2 ? 1.0 : -1.0)));
  }
  EXPECT_GT(peak, 0.9);  // the highest frequency passes the high-pass
}

}  // namespace
}  // namespace quarvel::songgen
