// The project's own sine, cosine, tangent and power: correctly rounded, so no
// frame or sample depends on the platform's maths library or processor.
#pragma once

namespace quarvel::math {

// Radians. Correctly rounded to nearest for |x| <= 2^20 (the demo's angles stay
// below 2^9); up to 2^50 the result is the same on every platform but may be an
// ulp off; beyond that, and for infinities and NaN, the result is NaN.
double sin(double x);
double cos(double x);
double tan(double x);

// x to the power y, correctly rounded to nearest, subnormal results included.
// A result exactly halfway between two doubles is rounded to even for integer
// y up to 64 in size; elsewhere such exact ties (rare: pow(m * m, 1.5) with m
// of 18 bits) may round either way. Special values follow C's pow: pow(x, 0) =
// 1, pow(1, y) = 1, a negative x with a non-integer y gives NaN, zeros and
// infinities as C99 Annex F.
double pow(double x, double y);

}  // namespace quarvel::math
