// One value as a lane: the operations of lanes.h for plain float and double, for rules shared with
// the reference.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "lanes/target.h"

namespace quarvel::lanes::QUARVEL_LANE_TARGET {

// A value of type V (one value or lanes) read from or written to memory of T.
template <class V, class T>
[[gnu::always_inline]] inline V load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class V, class T>
[[gnu::always_inline]] inline void store(T* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

inline double widen(float v) {
  return static_cast<double>(v);
}

inline float narrow(double v) {
  return static_cast<float>(v);
}

inline float squareRoot(float v) {
  return std::sqrt(v);
}

inline double squareRoot(double v) {
  return std::sqrt(v);
}

// A comparison's result as the double-width operations use it.
inline bool widenMask(bool mask) {
  return mask;
}

// Toward zero; `v` must fit an int32.
inline std::int32_t truncate(float v) {
  return static_cast<std::int32_t>(v);
}

// The same 32 bits, unsigned.
inline std::uint32_t asUnsigned(std::int32_t v) {
  return static_cast<std::uint32_t>(v);
}

// The four bytes of a word as lanes, lowest first.
inline auto asBytes(std::uint32_t v) {
  using Bytes = std::uint8_t __attribute__((vector_size(4)));
  return __builtin_bit_cast(Bytes, v);
}

}  // namespace quarvel::lanes::QUARVEL_LANE_TARGET
