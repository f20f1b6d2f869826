// Sine, cosine, tangent and power in double-double arithmetic, rounded once at the end.
#include "math/elementary.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace quarvel::math {
namespace {

// An unevaluated sum hi + lo with |lo| <= ulp(hi) / 2: about 106 bits. Every
// operation below is exact IEEE double arithmetic (no fused multiply-add), so
// the results are the same bits everywhere.
struct Dd {
  double hi;
  double lo;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double absolute(double x) {
  return x < 0.0 ? -x : x;
}

// By copying: the emscripten release in use has no <bit>.
std::uint64_t bitsOf(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double fromBits(std::uint64_t bits) {
  double x = 0.0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Requires |a| >= |b| or a == 0.
Dd fastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

Dd twoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Veltkamp's split: hi holds the upper 26 bits, lo the rest, exactly.
Dd split(double a) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double hi = c - (c - a);
  return {hi, a - hi};
}

// Dekker's exact product.
Dd twoProduct(double a, double b) {
  const double p = a * b;
  const Dd x = split(a);
  const Dd y = split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Dd add(Dd a, Dd b) {
  Dd s = twoSum(a.hi, b.hi);
  const Dd t = twoSum(a.lo, b.lo);
  s = fastTwoSum(s.hi, s.lo + t.hi);
  return fastTwoSum(s.hi, s.lo + t.lo);
}

Dd negate(Dd a) {
  return {-a.hi, -a.lo};
}

Dd multiply(Dd a, Dd b) {
  const Dd p = twoProduct(a.hi, b.hi);
  return fastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Dd multiply(Dd a, double b) {
  const Dd p = twoProduct(a.hi, b);
  return fastTwoSum(p.hi, p.lo + a.lo * b);
}

// Three quotient digits, each with the remainder computed exactly enough.
Dd divide(Dd a, Dd b) {
  const double q1 = a.hi / b.hi;
  Dd r = add(a, negate(multiply(b, q1)));
  const double q2 = r.hi / b.hi;
  r = add(r, negate(multiply(b, q2)));
  const double q3 = r.hi / b.hi;
  const Dd q = fastTwoSum(q1, q2);
  return add(q, {q3, 0.0});
}

// sum c[i] z^i: the terms from `firstPlain` on are below 2^-53 of the sum, so
// they are summed in plain double.
template <int N>
Dd polynomial(const Dd (&c)[N], int firstPlain, Dd z) {
  double tail = 0.0;
  for (int i = N - 1; i >= firstPlain; --i) tail = tail * z.hi + c[i].hi;
  Dd sum{tail, 0.0};
  for (int i = firstPlain - 1; i >= 0; --i) sum = add(multiply(sum, z), c[i]);
  return sum;
}

// (-1)^k / (2k + 1)!
constexpr Dd kSinTerms[] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.2f49b46814157p-57, 0.0},
    {0x1.71b8ef6dcf572p-66, 0.0},
    {-0x1.761b41316381ap-75, 0.0},
    {0x1.3f3ccdd165fa9p-84, 0.0},
    {-0x1.d1ab1c2dccea3p-94, 0.0},
    {0x1.259f98b4358adp-103, 0.0},
};

// (-1)^k / (2k)!
constexpr Dd kCosTerms[] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {-0x1.0000000000000p-1, 0x0.0p+0},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {-0x1.6827863b97d97p-53, 0.0},
    {0x1.e542ba4020225p-62, 0.0},
    {-0x1.0ce396db7f853p-70, 0.0},
    {0x1.f2cf01972f578p-80, 0.0},
    {-0x1.88e85fc6a4e5ap-89, 0.0},
    {0x1.0a18a2635085dp-98, 0.0},
    {-0x1.3932c5047d60ep-108, 0.0},
};

// 1 / n!
constexpr Dd kExpTerms[] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.0000000000000p-1, 0x0.0p+0},
    {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76},
    {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {0x1.93974a8c07c9dp-37, 0.0},
    {0x1.ae7f3e733b81fp-41, 0.0},
    {0x1.ae7f3e733b81fp-45, 0.0},
    {0x1.952c77030ad4ap-49, 0.0},
    {0x1.6827863b97d97p-53, 0.0},
    {0x1.2f49b46814157p-57, 0.0},
    {0x1.e542ba4020225p-62, 0.0},
    {0x1.71b8ef6dcf572p-66, 0.0},
    {0x1.0ce396db7f853p-70, 0.0},
    {0x1.761b41316381ap-75, 0.0},
    {0x1.f2cf01972f578p-80, 0.0},
    {0x1.3f3ccdd165fa9p-84, 0.0},
};

// 2 / (2k + 1): log(m) = 2 atanh(s) = s * sum c[k] s^2k.
constexpr Dd kLogTerms[] = {
    {0x1.0000000000000p+1, 0x0.0p+0},
    {0x1.5555555555555p-1, 0x1.5555555555555p-55},
    {0x1.999999999999ap-2, -0x1.999999999999ap-56},
    {0x1.2492492492492p-2, 0x1.2492492492492p-56},
    {0x1.c71c71c71c71cp-3, 0x1.c71c71c71c71cp-57},
    {0x1.745d1745d1746p-3, -0x1.745d1745d1746p-58},
    {0x1.3b13b13b13b14p-3, -0x1.3b13b13b13b14p-57},
    {0x1.1111111111111p-3, 0x1.1111111111111p-59},
    {0x1.e1e1e1e1e1e1ep-4, 0x1.e1e1e1e1e1e1ep-60},
    {0x1.af286bca1af28p-4, 0x1.af286bca1af28p-58},
    {2.0 / 21, 0.0},
    {2.0 / 23, 0.0},
    {2.0 / 25, 0.0},
    {2.0 / 27, 0.0},
    {2.0 / 29, 0.0},
    {2.0 / 31, 0.0},
    {2.0 / 33, 0.0},
    {2.0 / 35, 0.0},
    {2.0 / 37, 0.0},
    {2.0 / 39, 0.0},
    {2.0 / 41, 0.0},
    {2.0 / 43, 0.0},
    {2.0 / 45, 0.0},
};

// pi / 2 and log 2 as three doubles each (about 160 bits).
constexpr double kHalfPi[] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110};
// pi / 2 again, in three parts of 33 bits and a fourth of 53 (Cody and Waite):
// k times each of the first three is exact for |k| < 2^20.
constexpr double kHalfPi33[] = {0x1.921fb544p+0, 0x1.0b4611a6p-34, 0x1.3198a2ep-69,
                                0x1.b839a252049c1p-104};
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kLog2[] = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56, 0x1.7b57a079a1934p-111};
constexpr double kOverLog2 = 0x1.71547652b82fep+0;

// Nearest integer, ties to even; |x| < 2^51.
double nearestInteger(double x) {
  constexpr double kShift = 0x1.8p52;
  return (x + kShift) - kShift;
}

// x - k * (a + b + c) with every product exact: x and k * a are within a factor
// of two of each other, so their difference is exact too.
Dd reduce(double x, double k, const double (&constant)[3]) {
  const Dd p1 = twoProduct(k, constant[0]);
  Dd r = twoSum(x - p1.hi, -p1.lo);
  r = add(r, negate(twoProduct(k, constant[1])));
  return add(r, negate(twoProduct(k, constant[2])));
}

// x - k pi/2 for |k| < 2^20, by plain products.
Dd reduceSmall(double x, double k) {
  Dd r = twoSum(x - k * kHalfPi33[0], -(k * kHalfPi33[1]));
  r = add(r, {-(k * kHalfPi33[2]), 0.0});
  return add(r, {-(k * kHalfPi33[3]), 0.0});
}

struct Quadrant {
  int k;  // the multiple of pi / 2, modulo 4
  Dd r;   // the rest, |r| <= pi / 4 (a little more for |x| near pi / 4)
};

Quadrant reduceHalfPi(double x) {
  if (absolute(x) <= 0x1.921fb54442d18p-1) return {0, {x, 0.0}};
  const double k = nearestInteger(x * kTwoOverPi);
  const auto low = static_cast<int>(static_cast<std::int64_t>(k) & 3);
  return {low, absolute(k) < 0x1p20 ? reduceSmall(x, k) : reduce(x, k, kHalfPi)};
}

// The kernels on |r| <= pi/4: in full (terms from z^9 on in plain double), or
// quickly with plain double from z^3 on, which is within the bounds below.
constexpr int kFullFirstPlain = 9;
constexpr int kQuickFirstPlain = 3;

Dd sinKernel(Dd r, int firstPlain) {
  const Dd z = multiply(r, r);
  return multiply(polynomial(kSinTerms, firstPlain, z), r);
}

Dd cosKernel(Dd r, int firstPlain) {
  return polynomial(kCosTerms, firstPlain, multiply(r, r));
}

// Relative error bounds of the quick kernels, with a margin of 50 and 20: the
// plain tail (at most z^3 / 7! of sin r / r >= 0.9, z^3 / 6! of cos r >= 0.7,
// with z <= 0.62) is within 3 ulps.
constexpr double kQuickSinError = 0x1p-60;
constexpr double kQuickCosError = 0x1p-58;

// Ziv's test: v rounded once, if no value within the relative bound of v
// rounds otherwise; false when it might.
bool roundOnce(Dd v, double bound, double& rounded) {
  const double e = absolute(v.hi) * bound;
  const double up = v.hi + (v.lo + e);
  const double down = v.hi + (v.lo - e);
  if (up != down) return false;
  rounded = up;
  return true;
}

// cos(r) or sin(r), rounded once: quickly where that is safe, else in full.
double kernelRounded(Dd r, bool cosine) {
  double rounded = 0.0;
  if (cosine) {
    if (roundOnce(cosKernel(r, kQuickFirstPlain), kQuickCosError, rounded)) return rounded;
    return cosKernel(r, kFullFirstPlain).hi;
  }
  if (roundOnce(sinKernel(r, kQuickFirstPlain), kQuickSinError, rounded)) return rounded;
  return sinKernel(r, kFullFirstPlain).hi;
}

bool outOfRange(double x) {
  return !(absolute(x) <= 0x1p50);
}

// 2^k for -1022 <= k <= 1023.
double powerOfTwo(int k) {
  return fromBits(static_cast<std::uint64_t>(k + 1023) << 52);
}

// The exponent of a normal nonzero x: x = m 2^e with 1 <= |m| < 2.
int exponentOf(double x) {
  return static_cast<int>((bitsOf(x) >> 52) & 0x7FF) - 1023;
}

// v * 2^k rounded once to nearest, also where the result is subnormal or overflows.
// v is normalised (hi is v rounded) and positive.
double scaled(Dd v, int k) {
  const int e = exponentOf(v.hi);
  v = {v.hi * powerOfTwo(-e), v.lo * powerOfTwo(-e)};  // 1 <= hi < 2, exact
  k += e;
  if (k > 1023) return kInf;
  if (k >= -1022) return v.hi * powerOfTwo(k);
  // Subnormal: round v * 2^(k + 1074) to an integer, the multiple of 2^-1074.
  if (k < -1076) return 0.0;
  const int shift = k + 1074;  // -2 .. 51
  const double unit = shift >= 0 ? powerOfTwo(shift) : (shift == -1 ? 0.5 : 0.25);
  const double h = v.hi * unit;
  const double l = v.lo * unit;
  double n = (h + 0x1p52) - 0x1p52;  // 0 <= h < 2^52: ties to even
  const double d = h - n;
  if (d == 0.5 && l > 0.0) n += 1.0;
  if (d == -0.5 && l < 0.0) n -= 1.0;
  return n * 0x1p-1074;
}

// log x for a positive normal or subnormal x: x = m 2^e with m in [sqrt(1/2), sqrt(2)).
Dd logarithm(double x) {
  int e = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p54;
    e = -54;
  }
  const int xe = exponentOf(x);
  double m = x * powerOfTwo(-xe);
  e += xe;
  if (m > 0x1.6a09e667f3bcdp+0) {
    m *= 0.5;
    ++e;
  }
  // s = (m - 1) / (m + 1); m - 1 is exact.
  const Dd s = divide({m - 1.0, 0.0}, twoSum(m, 1.0));
  const Dd series = multiply(polynomial(kLogTerms, 10, multiply(s, s)), s);
  const auto de = static_cast<double>(e);
  Dd log2e = twoProduct(de, kLog2[0]);
  log2e = add(log2e, twoProduct(de, kLog2[1]));
  log2e = add(log2e, {de * kLog2[2], 0.0});
  return add(log2e, series);
}

// e^t, scaled and rounded once.
double exponential(Dd t) {
  if (t.hi > 710.0) return kInf;
  if (t.hi < -746.0) return 0.0;
  const double k = nearestInteger(t.hi * kOverLog2);
  Dd r = reduce(t.hi, k, kLog2);
  r = add(r, {t.lo, 0.0});
  return scaled(polynomial(kExpTerms, 14, r), static_cast<int>(k));
}

bool isInteger(double y) {
  if (absolute(y) >= 0x1p52) return true;
  return static_cast<double>(static_cast<std::int64_t>(y)) == y;
}

bool isOddInteger(double y) {
  if (absolute(y) >= 0x1p53 || !isInteger(y)) return false;
  return (static_cast<std::int64_t>(y) & 1) != 0;
}

// x^n for positive finite x and 1 <= |n| <= 64, by squaring the significand.
double integerPower(double x, std::int64_t n) {
  int e = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p54;
    e = -54;
  }
  const int xe = exponentOf(x);
  const double m = x * powerOfTwo(-xe);  // [1, 2)
  e += xe;
  const std::int64_t count = n < 0 ? -n : n;
  Dd result{1.0, 0.0};
  Dd square{m, 0.0};
  for (std::int64_t bits = count; bits != 0; bits >>= 1) {
    if ((bits & 1) != 0) result = multiply(result, square);
    if (bits > 1) square = multiply(square, square);
  }
  // (m 2^e)^n = m^n 2^(e n); m^n < 2^64, so e n is within the int range.
  if (n < 0) {
    result = divide({1.0, 0.0}, result);
    return scaled(result, static_cast<int>(-e * count));
  }
  return scaled(result, static_cast<int>(e * count));
}

}  // namespace

double sin(double x) {
  if (x == 0.0) return x;  // keeps the sign of zero
  if (outOfRange(x)) return kNaN;
  const Quadrant q = reduceHalfPi(x);
  const double value = kernelRounded(q.r, (q.k & 1) != 0);
  return (q.k & 2) == 0 ? value : -value;
}

double cos(double x) {
  if (outOfRange(x)) return kNaN;
  const Quadrant q = reduceHalfPi(x);
  const double value = kernelRounded(q.r, (q.k & 1) == 0);
  return ((q.k + 1) & 2) == 0 ? value : -value;
}

double tan(double x) {
  if (x == 0.0) return x;
  if (outOfRange(x)) return kNaN;
  const Quadrant q = reduceHalfPi(x);
  const Dd s = sinKernel(q.r, kFullFirstPlain);
  const Dd c = cosKernel(q.r, kFullFirstPlain);
  return (q.k & 1) == 0 ? divide(s, c).hi : -divide(c, s).hi;
}

double pow(double x, double y) {
  if (y == 0.0 || x == 1.0) return 1.0;
  if (x != x || y != y) return kNaN;
  const bool oddY = isOddInteger(y);
  const double ax = absolute(x);
  if (y == kInf || y == -kInf) {
    if (ax == 1.0) return 1.0;
    return (ax < 1.0) == (y > 0.0) ? 0.0 : kInf;
  }
  const bool negative = (bitsOf(x) >> 63) != 0;  // -0 too
  if (x == 0.0 || ax == kInf) {
    // 0^y and inf^y: the magnitude is 0 or inf, the sign x's for an odd y.
    const bool large = (x == 0.0) == (y < 0.0);
    const double magnitude = large ? kInf : 0.0;
    return oddY && negative ? -magnitude : magnitude;
  }
  if (x < 0.0 && !isInteger(y)) return kNaN;
  double result = 0.0;
  if (isInteger(y) && absolute(y) <= 64.0) {
    result = integerPower(ax, static_cast<std::int64_t>(y));
  } else {
    result = exponential(multiply(logarithm(ax), y));
  }
  return oddY && negative ? -result : result;
}

}  // namespace quarvel::math
