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

// Lane i holds first + i.
[[gnu::always_inline]] inline Ints laneIndex(std::int32_t first) {
  Ints v;
  for (int i = 0; i < kLanes; ++i) v[i] = first + i;
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

[[gnu::always_inline]] inline Doubles widen(Floats v) { return __builtin_convertvector(v, Doubles); }

// Rounds each lane to the nearest float, as a scalar static_cast<float> does.
[[gnu::always_inline]] inline Floats narrow(Doubles v) { return __builtin_convertvector(v, Floats); }

// A float mask stretched to double lanes.
[[gnu::always_inline]] inline Longs widen(Ints mask) { return __builtin_convertvector(mask, Longs); }

// Truncation toward zero; lanes outside the int32 range give INT32_MIN.
[[gnu::always_inline]] inline Ints truncate(Floats v) { return __builtin_convertvector(v, Ints); }

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
