// Which lane target the fast paths run on: picked once from the processor, overridable.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

namespace quarvel::lanes {

// The fast paths give the same bits on every target; they differ only in speed.
// Reference runs the plain scalar code that every target is checked against;
// Scalar is the kernels on portable lanes without instruction-set intrinsics.
enum class VectorPath : std::uint8_t { Reference, Scalar, Sse2, Avx2, Avx512, Neon, Simd128 };

// Every path, reference first, whether or not this build or processor has it.
std::span<const VectorPath> allVectorPaths();

// True if this build has kernels for `path` and this processor runs them
// (AVX-512 needs F, BW, DQ and VL). Always true for Reference.
bool canRun(VectorPath path);

// The widest path this build and processor can run: AVX-512, AVX2 or SSE2 on
// x86-64, NEON on AArch64, SIMD128 in a WebAssembly build with it, otherwise
// Scalar where the compiler has vector extensions, else Reference.
VectorPath bestVectorPath();

// The path the program runs on, chosen at first use: bestVectorPath(), or the
// path named by the environment variable QUARVEL_VECTOR_PATH (a
// vectorPathName) if this processor can run it, so that a whole run can be
// timed or checked on one target. Each subsystem's chosen kernel table reads it.
VectorPath vectorPath();

// Switches the program's choice to `path`, or to bestVectorPath() if it cannot
// run here; returns the path now in use. Only for comparing whole runs of the
// demo on each target in one process; single passes take a kernel table instead.
VectorPath setVectorPath(VectorPath path);

// "reference", "scalar", "sse2", "avx2", "avx512", "neon" or "simd128".
const char* vectorPathName(VectorPath path);

// The kernel of `path`: calls pick(std::integral_constant<VectorPath, P>{}) for
// a path P this build has kernels for, and gives its result, which names the
// kernel built for P. Null for Reference and for paths this build lacks, so
// that the caller runs the reference code. The cases mirror the targets that
// quarvel_lane_kernels compiles: a mismatch fails to link.
template <class Kernel, class Pick>
Kernel kernelFor(VectorPath path, Pick pick) {
  using P = VectorPath;
  switch (path) {
#if defined(__GNUC__) || defined(__clang__)
    case P::Scalar:
      return pick(std::integral_constant<P, P::Scalar>{});
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    case P::Sse2:
      return pick(std::integral_constant<P, P::Sse2>{});
    case P::Avx2:
      return pick(std::integral_constant<P, P::Avx2>{});
    case P::Avx512:
      return pick(std::integral_constant<P, P::Avx512>{});
#endif
#if defined(__aarch64__) && (defined(__GNUC__) || defined(__clang__))
    case P::Neon:
      return pick(std::integral_constant<P, P::Neon>{});
#endif
#if defined(__wasm_simd128__)
    case P::Simd128:
      return pick(std::integral_constant<P, P::Simd128>{});
#endif
    default:
      break;
  }
  static_cast<void>(pick);
  return nullptr;
}

}  // namespace quarvel::lanes
