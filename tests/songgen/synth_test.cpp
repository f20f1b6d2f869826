// The library-free sine that the instruments are synthesised with.
#include <cmath>

#include <gtest/gtest.h>

#include "songgen/synth.h"

namespace quarvel::songgen {
namespace {

TEST(Synth, SineTurnsFollowsTheSineOverManyTurnsBothWays) {
  for (int i = -3000; i <= 3000; ++i) {
    const double turns = i * 0.01373 + 0.0005;
    ASSERT_NEAR(sineTurns(turns), std::sin(6.283185307179586 * turns), 1e-10) << turns;
  }
  // Far from zero the folding still lands on the right quadrant.
  EXPECT_NEAR(sineTurns(1000000.125), std::sqrt(0.5), 1e-9);
  EXPECT_NEAR(sineTurns(-1000000.625), std::sqrt(0.5), 1e-9);
  EXPECT_TRUE(sineTurns(0.0) == 0.0 && sineTurns(0.5) == 0.0);
}

}  // namespace
}  // namespace quarvel::songgen
