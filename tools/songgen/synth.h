// Deterministic building blocks for synthesised samples: sine, noise, filters, rounding.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvel::songgen {

// sin(2 pi x turns) from a polynomial on + - * only, so the result never depends on the
// platform's maths library. Absolute error below 1e-10 for any finite |turns| < 2^40.
double sineTurns(double turns);

// Band-limited sawtooth with `harmonics` partials (1/k amplitudes), peak near 1.
double sawTurns(double turns, int harmonics);

// Band-limited pulse with duty cycle `duty` (0..1) and `harmonics` partials, mean removed.
double pulseTurns(double turns, double duty, int harmonics);

// White noise from a 32-bit xorshift generator: the same sequence on every platform.
struct Noise {
  std::uint32_t state = 0x2545F491u;  // any non-zero seed
  // Next value, uniform in [-1, 1).
  double next();
};

// One-pole low-pass: y += coefficient x (x - y); coefficient in (0, 1].
struct OnePole {
  double coefficient = 1.0;
  double y = 0.0;
  double lowpass(double x);
  // x minus its low-passed part.
  double highpass(double x);
};

// Scales `signal` so its largest magnitude becomes `peak` and rounds once to integers.
// An all-zero signal stays zero.
std::vector<std::int32_t> quantise(const std::vector<double>& signal, double peak);

}  // namespace quarvel::songgen
