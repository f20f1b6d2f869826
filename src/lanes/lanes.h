// Lane types and operations of the target this kernel object is compiled for.
//
// Kernel sources are compiled once per target by quarvel_lane_kernels, which
// defines QUARVEL_LANE_TARGET as the target's name. Everything here and in the
// kernels lives in a namespace of that name, so inline helpers shared between
// kernels and the reference get one definition per target, and no copy built
// for a wider instruction set can stand in for the baseline one (the build
// checks the objects' symbols).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "lanes/scalar.h"
#include "lanes/target.h"
#include "lanes/vector_path.h"

#if defined(QUARVEL_LANE_SCALAR)
// Portable lanes only.
#elif defined(__x86_64__)
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace quarvel::lanes::QUARVEL_LANE_TARGET {

#if defined(QUARVEL_LANE_SCALAR)
inline constexpr VectorPath kLanePath = VectorPath::Scalar;
inline constexpr int kLanes = 4;
#elif defined(__AVX512F__)
inline constexpr VectorPath kLanePath = VectorPath::Avx512;
inline constexpr int kLanes = 16;
#elif defined(__AVX2__)
inline constexpr VectorPath kLanePath = VectorPath::Avx2;
inline constexpr int kLanes = 8;
#elif defined(__x86_64__)
inline constexpr VectorPath kLanePath = VectorPath::Sse2;
inline constexpr int kLanes = 4;
#elif defined(__aarch64__)
inline constexpr VectorPath kLanePath = VectorPath::Neon;
inline constexpr int kLanes = 4;
#elif defined(__wasm_simd128__)
inline constexpr VectorPath kLanePath = VectorPath::Simd128;
inline constexpr int kLanes = 4;
#else
#error "no lane target for this compilation: build it with QUARVEL_LANE_SCALAR"
#endif

// kLanes values side by side. Arithmetic, comparisons and `mask ? a : b` act
// lane by lane with the same IEEE operations as scalar code; a comparison
// gives a mask of -1 (true) or 0 per lane.
using Floats = float __attribute__((vector_size(kLanes * 4)));
using Ints = std::int32_t __attribute__((vector_size(kLanes * 4)));
using UInts = std::uint32_t __attribute__((vector_size(kLanes * 4)));
using Doubles = double __attribute__((vector_size(kLanes * 8)));
using Longs = std::int64_t __attribute__((vector_size(kLanes * 8)));

// Built as one initialiser, not lane by lane in a loop: clang for WebAssembly
// kept such a loop in the kernels' inner loops, going through memory.
template <class V, class T, std::size_t... I>
[[gnu::always_inline]] inline V splatLanes(T value, std::index_sequence<I...>) {
  using Lane = std::remove_reference_t<decltype(V{}[0])>;
  return V{(static_cast<void>(I), static_cast<Lane>(value))...};
}

template <class V, class T>
[[gnu::always_inline]] inline V splat(T value) {
  return splatLanes<V>(value, std::make_index_sequence<kLanes>{});
}

// Lane i holds i.
template <std::size_t... I>
[[gnu::always_inline]] inline Ints laneNumbers(std::index_sequence<I...>) {
  return Ints{static_cast<std::int32_t>(I)...};
}
[[gnu::always_inline]] inline Ints laneNumbers() {
  return laneNumbers(std::make_index_sequence<kLanes>{});
}

[[gnu::always_inline]] inline Doubles widen(Floats v) {
  return __builtin_convertvector(v, Doubles);
}

// Rounds each lane to the nearest float, as a scalar static_cast<float> does.
[[gnu::always_inline]] inline Floats narrow(Doubles v) {
#if defined(__wasm_simd128__) && !defined(QUARVEL_LANE_SCALAR)
  // clang converts the four lanes one by one here; demote does two at a time.
  v128_t half[2];
  std::memcpy(half, &v, sizeof v);
  return __builtin_bit_cast(Floats, wasm_i64x2_shuffle(wasm_f32x4_demote_f64x2_zero(half[0]),
                                                       wasm_f32x4_demote_f64x2_zero(half[1]),
                                                       0, 2));
#else
  return __builtin_convertvector(v, Floats);
#endif
}

// A float mask stretched to double lanes.
[[gnu::always_inline]] inline Longs widenMask(Ints mask) {
  return __builtin_convertvector(mask, Longs);
}

// Truncation toward zero. Lanes outside the int32 range differ between
// targets (x86-64 gives INT32_MIN, NEON saturates): callers keep them in range.
[[gnu::always_inline]] inline Ints truncate(Floats v) {
  return __builtin_convertvector(v, Ints);
}

// The same 32 bits per lane, unsigned.
[[gnu::always_inline]] inline UInts asUnsigned(Ints v) {
  return __builtin_convertvector(v, UInts);
}

// The bytes of every lane as lanes, lowest first.
[[gnu::always_inline]] inline auto asBytes(UInts v) {
  using Bytes = std::uint8_t __attribute__((vector_size(kLanes * 4)));
  return __builtin_bit_cast(Bytes, v);
}

// Correctly rounded square roots, lane by lane.
[[gnu::always_inline]] inline Floats squareRoot(Floats v) {
#if defined(QUARVEL_LANE_SCALAR)
  for (int i = 0; i < kLanes; ++i) v[i] = __builtin_sqrtf(v[i]);
  return v;
#elif defined(__AVX512F__)
  // The unmasked form trips GCC 12's uninitialised-value warning in its header.
  return _mm512_maskz_sqrt_ps(0xFFFF, v);
#elif defined(__AVX2__)
  return _mm256_sqrt_ps(v);
#elif defined(__x86_64__)
  return _mm_sqrt_ps(v);
#elif defined(__aarch64__)
  return __builtin_bit_cast(Floats, vsqrtq_f32(__builtin_bit_cast(float32x4_t, v)));
#else
  return __builtin_bit_cast(Floats, wasm_f32x4_sqrt(__builtin_bit_cast(v128_t, v)));
#endif
}

[[gnu::always_inline]] inline Doubles squareRoot(Doubles v) {
#if defined(QUARVEL_LANE_SCALAR)
  for (int i = 0; i < kLanes; ++i) v[i] = __builtin_sqrt(v[i]);
  return v;
#else
  // Two native registers of doubles per float register.
  using Half = double __attribute__((vector_size(kLanes * 4)));
  Half half[2];
  std::memcpy(half, &v, sizeof v);
  for (Half& h : half) {
#if defined(__AVX512F__)
    h = _mm512_maskz_sqrt_pd(0xFF, h);
#elif defined(__AVX2__)
    h = _mm256_sqrt_pd(h);
#elif defined(__x86_64__)
    h = _mm_sqrt_pd(h);
#elif defined(__aarch64__)
    h = __builtin_bit_cast(Half, vsqrtq_f64(__builtin_bit_cast(float64x2_t, h)));
#else
    h = __builtin_bit_cast(Half, wasm_f64x2_sqrt(__builtin_bit_cast(v128_t, h)));
#endif
  }
  std::memcpy(&v, half, sizeof v);
  return v;
#endif
}

// (a * b) >> 16 for each 16-bit half of every lane, unsigned.
[[gnu::always_inline]] inline UInts multiplyHigh16(UInts a, UInts b) {
#if defined(QUARVEL_LANE_SCALAR) || !defined(__x86_64__)
  // 16 x 16 bits fit a 32-bit lane.
  const UInts low = (a & 0xFFFFu) * (b & 0xFFFFu) >> 16;
  const UInts high = (a >> 16) * (b >> 16) & 0xFFFF0000u;
  return high | low;
#elif defined(__AVX512F__)
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
#if defined(QUARVEL_LANE_SCALAR) || !(defined(__x86_64__) || defined(__wasm_simd128__))
  using Bytes = std::uint8_t __attribute__((vector_size(32)));
  const auto x = __builtin_bit_cast(Bytes, a);
  const auto sum = x + __builtin_bit_cast(Bytes, b);
  // A byte that wrapped is below the addend; its all-ones mask makes it 255.
  return __builtin_bit_cast(Pixels8, sum | __builtin_bit_cast(Bytes, sum < x));
#elif defined(__AVX2__)
  return __builtin_bit_cast(
      Pixels8, _mm256_adds_epu8(__builtin_bit_cast(__m256i, a), __builtin_bit_cast(__m256i, b)));
#else
  // Two 16-byte registers.
#if defined(__wasm_simd128__)
  using Register = v128_t;
  const auto add = [](Register x, Register y) { return wasm_u8x16_add_sat(x, y); };
#else
  using Register = __m128i;
  const auto add = [](Register x, Register y) { return _mm_adds_epu8(x, y); };
#endif
  Register x[2];
  Register y[2];
  std::memcpy(x, &a, sizeof a);
  std::memcpy(y, &b, sizeof b);
  x[0] = add(x[0], y[0]);
  x[1] = add(x[1], y[1]);
  std::memcpy(&a, x, sizeof a);
  return a;
#endif
}

template <int From, std::size_t... I>
[[gnu::always_inline]] inline Floats zipFrom(Floats a, Floats b, std::index_sequence<I...>) {
  return __builtin_shufflevector(a, b, static_cast<int>((I % 2) * kLanes + From + I / 2)...);
}

// Lanes a0 b0 a1 b1 ... from the lower halves of a and b.
[[gnu::always_inline]] inline Floats zipLow(Floats a, Floats b) {
  return zipFrom<0>(a, b, std::make_index_sequence<kLanes>{});
}

// Lanes a0 b0 a1 b1 ... from the upper halves of a and b (a0 is a's lane kLanes / 2).
[[gnu::always_inline]] inline Floats zipHigh(Floats a, Floats b) {
  return zipFrom<kLanes / 2>(a, b, std::make_index_sequence<kLanes>{});
}

// The little-endian words x[o] | x[o + 1] << 16 at each lane's offset o, for
// offsets in [0, 16): reads x[0 .. 16] whatever the offsets. Fast only where
// a register holds 8 or more lanes; elsewhere one load per lane.
[[gnu::always_inline]] inline Ints wordsWithin16(const std::int16_t* x, Ints offsets) {
#if !defined(QUARVEL_LANE_SCALAR) && defined(__AVX512F__)
  // Eight lanes each: only lanes 0 .. 7 are picked. The masked forms keep GCC 12's
  // uninitialised-value warning in its header quiet.
  Ints low{};
  Ints high{};
  std::memcpy(&low, x, 32);
  std::memcpy(&high, x + 1, 32);
  const __m512i even = __builtin_bit_cast(__m512i, low);
  const __m512i odd = __builtin_bit_cast(__m512i, high);
  const __m512i o = __builtin_bit_cast(__m512i, offsets);
  const __m512i half = __builtin_bit_cast(__m512i, offsets >> 1);
  const __mmask16 isOdd = _mm512_test_epi32_mask(o, _mm512_set1_epi32(1));
  const __m512i fromEven = _mm512_maskz_permutexvar_epi32(0xFFFF, half, even);
  return __builtin_bit_cast(Ints, _mm512_mask_permutexvar_epi32(fromEven, isOdd, half, odd));
#elif !defined(QUARVEL_LANE_SCALAR) && defined(__AVX2__)
  const __m256i even = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
  const __m256i odd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + 1));
  const __m256i o = __builtin_bit_cast(__m256i, offsets);
  const __m256i half = _mm256_srli_epi32(o, 1);
  const __m256 fromEven = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(even, half));
  const __m256 fromOdd = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(odd, half));
  const __m256 isOdd = _mm256_castsi256_ps(_mm256_slli_epi32(o, 31));  // sign bit
  return __builtin_bit_cast(Ints, _mm256_castps_si256(_mm256_blendv_ps(fromEven, fromOdd, isOdd)));
#else
  Ints words;
  for (int i = 0; i < kLanes; ++i) {
    std::int32_t word;
    std::memcpy(&word, x + offsets[i], sizeof word);
    words[i] = word;
  }
  return words;
#endif
}

// True if any lane of the mask is set.
[[gnu::always_inline]] inline bool anyLane(Ints mask) {
#if defined(QUARVEL_LANE_SCALAR)
  std::int32_t any = 0;
  for (int i = 0; i < kLanes; ++i) any |= mask[i];
  return any != 0;
#elif defined(__AVX512F__)
  const auto bits = __builtin_bit_cast(__m512i, mask);
  return _mm512_test_epi32_mask(bits, bits) != 0;
#elif defined(__AVX2__)
  return _mm256_movemask_ps(__builtin_bit_cast(__m256, mask)) != 0;
#elif defined(__x86_64__)
  return _mm_movemask_ps(__builtin_bit_cast(__m128, mask)) != 0;
#elif defined(__aarch64__)
  return vmaxvq_u32(__builtin_bit_cast(uint32x4_t, mask)) != 0;
#else
  return wasm_v128_any_true(__builtin_bit_cast(v128_t, mask));
#endif
}

}  // namespace quarvel::lanes::QUARVEL_LANE_TARGET
