// Vector lanes for the fast paths, as wide as the instruction set this file is compiled for.
//
// Only the kernel sources built by quarvel_vector_kernels include this header:
// each of them is compiled once per vector path, so everything here has
// internal linkage (an unnamed namespace) and no copy compiled for a wider
// instruction set can stand in for the baseline one. Kernels therefore call
// nothing inline from other headers either; they work on plain records.
#pragma once

#if !defined(__x86_64__)
#error "lanes.h is for the x86-64 vector kernels only"
#endif

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "math/vector_path.h"

namespace quarvel::math {
namespace {

#if defined(__AVX512F__)
inline constexpr VectorPath kLanePath = VectorPath::Avx512;
inline constexpr int kLanes = 16;
#elif defined(__AVX2__)
inline constexpr VectorPath kLanePath = VectorPath::Avx2;
inline constexpr int kLanes = 8;
#else
inline constexpr VectorPath kLanePath = VectorPath::Sse2;
inline constexpr int kLanes = 4;
#endif

// kLanes values side by side. Arithmetic, comparisons and `mask ? a : b` act
// lane by lane with the same IEEE operations as scalar code; a comparison
// gives a mask of -1 (true) or 0 per lane.
using Floats = float __attribute__((vector_size(kLanes * 4)));
using Ints = std::int32_t __attribute__((vector_size(kLanes * 4)));
using UInts = std::uint32_t __attribute__((vector_size(kLanes * 4)));
using Doubles = double __attribute__((vector_size(kLanes * 8)));
using Longs = std::int64_t __attribute__((vector_size(kLanes * 8)));

template <class V, class T>
[[gnu::always_inline]] inline V splat(T value) {
  V v;
  for (int i = 0; i < kLanes; ++i) v[i] = value;
  return v;
}

// Lane i holds i.
[[gnu::always_inline]] inline Ints laneNumbers() {
  Ints v;
  for (int i = 0; i < kLanes; ++i) v[i] = i;
  return v;
}

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

[[gnu::always_inline]] inline Doubles widen(Floats v) {
  return __builtin_convertvector(v, Doubles);
}

// Rounds each lane to the nearest float, as a scalar static_cast<float> does.
[[gnu::always_inline]] inline Floats narrow(Doubles v) {
  return __builtin_convertvector(v, Floats);
}

// A float mask stretched to double lanes.
[[gnu::always_inline]] inline Longs widen(Ints mask) {
  return __builtin_convertvector(mask, Longs);
}

// Truncation toward zero; lanes outside the int32 range give INT32_MIN.
[[gnu::always_inline]] inline Ints truncate(Floats v) {
  return __builtin_convertvector(v, Ints);
}

[[gnu::always_inline]] inline Floats squareRoot(Floats v) {
#if defined(__AVX512F__)
  // The unmasked form trips GCC 12's uninitialised-value warning in its header.
  return _mm512_maskz_sqrt_ps(0xFFFF, v);
#elif defined(__AVX2__)
  return _mm256_sqrt_ps(v);
#else
  return _mm_sqrt_ps(v);
#endif
}

[[gnu::always_inline]] inline Doubles squareRoot(Doubles v) {
  // Two native registers of doubles per float register.
  using Half = double __attribute__((vector_size(kLanes * 4)));
  Half half[2];
  std::memcpy(half, &v, sizeof v);
  for (Half& h : half) {
#if defined(__AVX512F__)
    h = _mm512_maskz_sqrt_pd(0xFF, h);
#elif defined(__AVX2__)
    h = _mm256_sqrt_pd(h);
#else
    h = _mm_sqrt_pd(h);
#endif
  }
  std::memcpy(&v, half, sizeof v);
  return v;
}

// (a * b) >> 16 for each 16-bit half of every lane, unsigned.
[[gnu::always_inline]] inline UInts multiplyHigh16(UInts a, UInts b) {
#if defined(__AVX512F__)
  return __builtin_bit_cast(
      UInts, _mm512_mulhi_epu16(__builtin_bit_cast(__m512i, a), __builtin_bit_cast(__m512i, b)));
#elif defined(__AVX2__)
  return __builtin_bit_cast(
      UInts, _mm256_mulhi_epu16(__builtin_bit_cast(__m256i, a), __builtin_bit_cast(__m256i, b)));
#else
  return __builtin_bit_cast(
      UInts, _mm_mulhi_epu16(__builtin_bit_cast(__m128i, a), __builtin_bit_cast(__m128i, b)));
#endif
}

// Eight pixels: one particle sprite row.
using Pixels8 = std::uint32_t __attribute__((vector_size(32)));

// Byte by byte a + b, saturating at 255.
[[gnu::always_inline]] inline Pixels8 saturatingAdd(Pixels8 a, Pixels8 b) {
#if defined(__AVX2__)
  return __builtin_bit_cast(
      Pixels8, _mm256_adds_epu8(__builtin_bit_cast(__m256i, a), __builtin_bit_cast(__m256i, b)));
#else
  __m128i x[2];
  __m128i y[2];
  std::memcpy(x, &a, sizeof a);
  std::memcpy(y, &b, sizeof b);
  x[0] = _mm_adds_epu8(x[0], y[0]);
  x[1] = _mm_adds_epu8(x[1], y[1]);
  std::memcpy(&a, x, sizeof a);
  return a;
#endif
}

// True if any lane of the mask is set.
[[gnu::always_inline]] inline bool anyLane(Ints mask) {
#if defined(__AVX512F__)
  const auto bits = __builtin_bit_cast(__m512i, mask);
  return _mm512_test_epi32_mask(bits, bits) != 0;
#elif defined(__AVX2__)
  return _mm256_movemask_ps(__builtin_bit_cast(__m256, mask)) != 0;
#else
  return _mm_movemask_ps(__builtin_bit_cast(__m128, mask)) != 0;
#endif
}

}  // namespace
}  // namespace quarvel::math
