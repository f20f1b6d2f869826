// The own sine, cosine, tangent and power against quadruple precision: correctly rounded on
// every argument the demo uses and on a million random ones per function in its ranges.
#include <quadmath.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "math/elementary.h"

namespace quarvel::math {
namespace {

// The quadruple-precision result has 113 bits: rounding it once more to double
// gives the correctly rounded double unless it lies within a few of its own
// ulps of a halfway point, which none of these arguments does.
template <class Own, class Quad>
void expectCorrectlyRounded(const char* name, const std::vector<double>& args, Own own, Quad quad) {
  std::size_t wrong = 0;
  for (const double x : args) {
    const auto want = static_cast<double>(quad(x));
    if (own(x) == want) continue;
    if (++wrong <= 5) {
      ADD_FAILURE() << name << "(" << std::hexfloat << x << ") = " << own(x) << ", not " << want;
    }
  }
  EXPECT_EQ(wrong, 0u) << name << " on " << args.size() << " arguments";
}

void sortUnique(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// The demo's angles: the frame angle grows by 0.05 in float after each frame
// (6,000 frames at 75 fps, 4,800 at 60); particle headings start at a rebirth
// angle plus the spin (which grows a degree a frame) and grow two degrees a
// frame over a life of at most 250 frames; the mixer's vibrato and tremolo waves.
std::vector<double> demoAngles() {
  std::vector<double> v;
  float angle = 0.0f;
  for (int frame = 0; frame <= 6002; ++frame) {
    v.push_back(angle);
    angle = static_cast<float>(static_cast<double>(angle) + 0.05);
  }
  constexpr double kFloatPi = 3.1415927410125732;
  const double rebirth[8] = {0,
                             kFloatPi / 2,
                             kFloatPi,
                             3 * kFloatPi / 2,
                             7 * kFloatPi / 4,
                             kFloatPi / 4,
                             3 * kFloatPi / 4,
                             5 * kFloatPi / 4};
  float spin = 0.0f;
  for (int frame = 0; frame <= 2000; ++frame) {
    for (const double start : rebirth) {
      auto heading = static_cast<float>(spin + start);
      for (int step = 0; step <= 250; ++step) {
        v.push_back(heading);
        heading = static_cast<float>(heading + kFloatPi / 90);
      }
    }
    spin = static_cast<float>(spin + kFloatPi / 180);
  }
  constexpr double kPi = 3.14159265358979323846;
  for (int q = 0; q < 256; ++q) v.push_back(q * kPi / 128.0);
  for (int p = -32; p < 32; ++p) v.push_back(p * kPi / 32.0);
  sortUnique(v);
  return v;
}

// Half the fields of view: the opening scene's (from pi, 0.0005 more in float
// each frame, 1,125 frames at 75 fps), the greetings' and the camera's pi/4.
std::vector<double> demoHalfFields() {
  std::vector<double> v;
  float fov = 3.1415927f;
  for (int frame = 0; frame <= 1200; ++frame) {
    v.push_back(static_cast<double>(fov) / 2.0);
    fov = static_cast<float>(static_cast<double>(fov) + 0.0005);
  }
  v.push_back(static_cast<double>(0.7853982f) / 2.0);
  return v;
}

// Exponents of two: the mixer's linear pitches in 768ths of an octave, and the
// Amiga period table's float twelfths.
std::vector<double> demoExponents() {
  std::vector<double> v;
  for (int pitch = -8192; pitch <= 8192; ++pitch) v.push_back(pitch / 768.0);
  for (int k = 0; k < 256; ++k) {
    v.push_back(static_cast<double>(static_cast<float>(132 - k) * (1.0f / 12.0f)));
  }
  return v;
}

std::vector<double> randomArgs(double low, double high, std::uint64_t seed) {
  std::mt19937_64 generator(seed);
  std::uniform_real_distribution<double> uniform(low, high);
  std::vector<double> v(1000000);
  for (double& x : v) x = uniform(generator);
  return v;
}

const auto ownSin = [](double x) { return sin(x); };
const auto ownCos = [](double x) { return cos(x); };
const auto ownTan = [](double x) { return tan(x); };
const auto quadSin = [](double x) { return sinq(x); };
const auto quadCos = [](double x) { return cosq(x); };
const auto quadTan = [](double x) { return tanq(x); };

TEST(ElementaryAccuracy, SineAndCosineOnTheDemosAnglesAndAMillionMore) {
  const std::vector<double> angles = demoAngles();
  expectCorrectlyRounded("sin", angles, ownSin, quadSin);
  expectCorrectlyRounded("cos", angles, ownCos, quadCos);
  expectCorrectlyRounded("sin", randomArgs(-512.0, 512.0, 1), ownSin, quadSin);
  expectCorrectlyRounded("cos", randomArgs(-512.0, 512.0, 2), ownCos, quadCos);
}

TEST(ElementaryAccuracy, TangentOnTheDemosFieldsOfViewAndAMillionMore) {
  expectCorrectlyRounded("tan", demoHalfFields(), ownTan, quadTan);
  expectCorrectlyRounded("tan", randomArgs(-4.0, 4.0, 3), ownTan, quadTan);
}

// The ray tracer's highlight sp^20 for every float sp in [0.5, 1] and random
// floats below; the mixer's powers of two; random bases and exponents.
TEST(ElementaryAccuracy, PowerOnTheDemosArgumentsAndAMillionMore) {
  const auto power20 = [](double x) { return pow(x, 20.0); };
  const auto quad20 = [](double x) {
    const __float128 x2 = static_cast<__float128>(x) * x, x4 = x2 * x2, x16 = x4 * x4 * (x4 * x4);
    return x16 * x4;  // four roundings in 113 bits
  };
  std::vector<double> highlights;
  for (float sp = 0.5f; sp <= 1.0f; sp = std::nextafter(sp, 2.0f)) highlights.push_back(sp);
  std::mt19937 generator(4);
  std::uniform_real_distribution<float> below(0.0f, 0.5f);
  for (int i = 0; i < 500000; ++i) highlights.push_back(below(generator));
  expectCorrectlyRounded("pow(x, 20)", highlights, power20, quad20);

  const auto powerOfTwo = [](double y) { return pow(2.0, y); };
  const auto quadPowerOfTwo = [](double y) { return powq(2, y); };
  expectCorrectlyRounded("pow(2, y)", demoExponents(), powerOfTwo, quadPowerOfTwo);
  expectCorrectlyRounded("pow(2, y)", randomArgs(-16.0, 16.0, 5), powerOfTwo, quadPowerOfTwo);

  // The general path through log and exp (bases from e^-700 to e^700, exponents
  // in (-3, 3)), and integer powers up to 64 of any double: subnormal results too.
  std::mt19937_64 bits(6);
  std::uniform_real_distribution<double> logBase(-700.0, 700.0), exponent(-3.0, 3.0);
  std::size_t wrong = 0;
  for (int i = 0; i < 200000; ++i) {
    const double x = std::exp(logBase(bits)), y = exponent(bits);
    const double m = std::ldexp(1.0 + static_cast<double>(bits() >> 12) * 0x1p-52,
                                static_cast<int>(bits() % 2000) - 1000);
    const double n = static_cast<double>(static_cast<int>(bits() % 129) - 64);
    for (const auto& [base, power] : {std::pair{x, y}, std::pair{m, n}}) {
      const auto want = static_cast<double>(powq(base, power));
      if (pow(base, power) != want && ++wrong <= 5) {
        ADD_FAILURE() << std::hexfloat << "pow(" << base << ", " << power
                      << ") = " << pow(base, power) << ", not " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace quarvel::math
