// The own sine, cosine, tangent and power: their bits on a table of arguments, the same on
// every build (native, Windows, WebAssembly). The values are the exact results rounded once.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "math/elementary.h"

namespace quarvel::math {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Bit equality, so that -0 and +0 differ and NaN equals NaN.
::testing::AssertionResult sameBits(double got, double want) {
  if (std::isnan(got) && std::isnan(want)) return ::testing::AssertionSuccess();
  if (got == want && std::signbit(got) == std::signbit(want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hexfloat << got << " instead of " << want;
}

TEST(Elementary, SineAndCosineBits) {
  const struct {
    double x, sin, cos;
  } table[] = {
      // The demo's hardest: the exact value within 2e-6 ulp of a halfway point.
      {0x1.4aa296p+1, 0x1.0f51a3f6a5a45p-1, -0x1.b2335225fcabcp-1},
      {0x1.b78aecp+4, 0x1.70534fa711ee5p-1, -0x1.63a40b180db68p-1},
      {0x1.91017ep+3, -0x1.1e285c4dca9f7p-5, 0x1.ffb00233314bfp-1},
      {0x1.56824ap+5, -0x1.d728fc915b48ep-1, 0x1.90c29352572b7p-2},
      {0x1.6a9e5p+5, 0x1.f300ffda4aab6p-1, 0x1.ca80f3c01de7ep-3},
      {0x1.9149a6p+4, -0x1.abeca6baef3dcp-5, 0x1.ff4d0ce68491ep-1},
      {0x1.3d98f2p+5, 0x1.d17067a96ef85p-1, -0x1.aaa9e3017c2e5p-2},  // frame 794's angle
      // pi/2, pi and 3pi/2 as doubles: what is left is the constant's own error.
      {0x1.921fb54442d18p+0, 0x1p+0, 0x1.1a62633145c07p-54},
      {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1p+0},
      {0x1.2d97c7f3321d2p+2, -0x1p+0, -0x1.a79394c9e8a0ap-53},
      {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1},  // the quadrant edge
      {-0x1.4aa296p+1, -0x1.0f51a3f6a5a45p-1, -0x1.b2335225fcabcp-1},
      {0x1.5fp+8, -0x1.837908b59dd2cp-1, 0x1.4ead5de816811p-1},
      {0x1p+20, 0x1.526ccb2fc8656p-2, 0x1.e33ada92fe2aep-1},  // the end of the range
      {0x1p+22, 0x1.f34428f9492a2p-1, 0x1.c5e944c25ddfcp-3},  // beyond: the same bits anyway
      {0x1.3p+40, 0x1.fdc9f27d21e1ap-1, 0x1.7c4233cf54cf1p-4},
      {1.0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},
      {0x1p-30, 0x1p-30, 1.0},
      {0x1p-1074, 0x1p-1074, 1.0},
      {-0.0, -0.0, 1.0},
      {0x1p+60, NAN, NAN},  // beyond the documented range
      {kInf, NAN, NAN},
  };
  for (const auto& row : table) {
    EXPECT_TRUE(sameBits(sin(row.x), row.sin)) << "sin " << std::hexfloat << row.x;
    EXPECT_TRUE(sameBits(cos(row.x), row.cos)) << "cos " << std::hexfloat << row.x;
  }
}

TEST(Elementary, TangentBits) {
  const struct {
    double x, tan;
  } table[] = {
      // Half the opening scene's fields of view (its hardest three) and the greetings'.
      {0x1.ca0e4ap+0, -0x1.20405f48aecf7p+2},
      {0x1.cb146ap+0, -0x1.1ae630cb6cee2p+2},
      {0x1.a6bafap+0, -0x1.8caf65f9d5bf1p+3},
      {0x1.921fb6p+0, -0x1.5d14946dc9897p+24},
      {0x1.921fb6p-2, 0x1.a8279a7bc2207p-2},
      {0x1.921fb54442d18p+0, 0x1.d02967c31cdb5p+53},  // the double nearest pi/2
      {-1.0, -0x1.8eb245cbee3a6p+0},
      {0x1p-40, 0x1p-40},
      {-0.0, -0.0},
  };
  for (const auto& row : table)
    EXPECT_TRUE(sameBits(tan(row.x), row.tan)) << std::hexfloat << row.x;
}

TEST(Elementary, PowerBits) {
  const struct {
    double x, y, pow;
  } table[] = {
      // The mixer's pitches and the ray tracer's highlights nearest a halfway point.
      {2.0, -0x1.02aaaaaaaaaabp-3, 0x1.d5151fbb6200bp-1},
      {2.0, -0x1.2d55555555555p-3, 0x1.ce5b7cc53cc0ap-1},
      {2.0, -0x1.d82aaaaaaaaabp+2, 0x1.8a180dda81b2bp-8},
      {0x1.e1d6acp-1, 20.0, 0x1.300a6fa8d8f34p-2},
      {0x1.e278ap-1, 20.0, 0x1.381ffbdbcaf22p-2},
      {0x1.dbfea8p-1, 20.0, 0x1.dc6708414369fp-3},
      {0x1.3p-53, 20.0, 0x0.000000007c5ffp-1022},  // a highlight that underflows: subnormal
      {0x1.f73113a92fb1ep-512, 2.0, 0x0.f744792ad86cfp-1022},  // rounded once, at 2^-1074
      {0x1.0a7c8ca39a35dp+401, -0x1.463f2cb7d3e27p+1, 0x0.dc288eed771e3p-1022},
      {0x1.fffffffffffffp-1, 0x1p+60, 0x1.42eb9f39afae3p-185},
      {10.0, -3.0, 0x1.0624dd2f1a9fcp-10},
      {0x1.8p-1, -3.0, 0x1.2f684bda12f68p+1},
      {3.0, 0.5, 0x1.bb67ae8584caap+0},
      // Exact results, and the edges of the exponent range.
      {2.0, 10.0, 1024.0},
      {2.0, 1023.0, 0x1p+1023},
      {2.0, -1074.0, 0x1p-1074},
      {2.0, 1024.0, kInf},
      {0x1p+996, 1.5, kInf},
      {-2.0, 3.0, -8.0},
      {-2.0, -3.0, -0.125},
      {-2.0, 2.0, 4.0},
      // Special values as C's pow.
      {0.0, 20.0, 0.0},
      {-0.0, 3.0, -0.0},
      {-0.0, -3.0, -kInf},
      {0.0, -2.0, kInf},
      {NAN, 0.0, 1.0},
      {1.0, NAN, 1.0},
      {-1.0, kInf, 1.0},
      {0.5, kInf, 0.0},
      {0.5, -kInf, kInf},
      {-kInf, 3.0, -kInf},
      {-kInf, -2.0, 0.0},
      {-8.0, 1.0 / 3.0, NAN},
      {2.0, NAN, NAN},
  };
  for (const auto& row : table) {
    EXPECT_TRUE(sameBits(pow(row.x, row.y), row.pow)) << std::hexfloat << row.x << " ^ " << row.y;
  }
}

}  // namespace
}  // namespace quarvel::math
