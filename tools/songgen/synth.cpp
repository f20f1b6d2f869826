// Deterministic building blocks for synthesised samples.
#include "songgen/synth.h"

#include <cmath>

namespace quarvel::songgen {

double sineTurns(double turns) {
  // Fold to [-0.25, 0.25] turns, where the odd Taylor series converges fast.
  double f = turns - static_cast<double>(static_cast<std::int64_t>(turns));
  if (f < 0.0) f += 1.0;
  if (f > 0.5) f -= 1.0;
  if (f > 0.25) f = 0.5 - f;
  if (f < -0.25) f = -0.5 - f;
  const double x = f * 6.283185307179586;
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int k = 1; k <= 8; ++k) {
    term = -term * x2 / static_cast<double>((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}

double sawTurns(double turns, int harmonics) {
  double sum = 0.0;
  for (int k = 1; k <= harmonics; ++k) sum += sineTurns(turns * k) / k;
  return sum * 0.5;
}

double pulseTurns(double turns, double duty, int harmonics) {
  // Fourier series of a pulse: sum of sin(pi k d) cos(2 pi k t) / k.
  double sum = 0.0;
  for (int k = 1; k <= harmonics; ++k) {
    sum += sineTurns(0.5 * k * duty) * sineTurns(turns * k + 0.25) / k;
  }
  return sum * 0.75;
}

double Noise::next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return static_cast<double>(state) / 2147483648.0 - 1.0;
}

double OnePole::lowpass(double x) {
  y += coefficient * (x - y);
  return y;
}

double OnePole::highpass(double x) {
  return x - lowpass(x);
}

std::vector<std::int32_t> quantise(const std::vector<double>& signal, double peak) {
  double largest = 0.0;
  for (const double v : signal) largest = std::fabs(v) > largest ? std::fabs(v) : largest;
  std::vector<std::int32_t> out(signal.size(), 0);
  if (largest == 0.0) return out;
  const double scale = peak / largest;
  for (std::size_t i = 0; i < signal.size(); ++i) {
    out[i] = static_cast<std::int32_t>(std::llround(signal[i] * scale));
  }
  return out;
}

}  // namespace quarvel::songgen
