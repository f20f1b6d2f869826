// Which vector instructions the fast paths use: picked once from the processor, overridable.
#pragma once

#include <cstdint>
#include <type_traits>

namespace quarvel::math {

// The fast paths give the same bits on every path; they differ only in speed.
// Reference runs the plain scalar code that the fast paths are checked against.
enum class VectorPath : std::uint8_t { Reference, Sse2, Avx2, Avx512 };

// The widest path that both this build and this processor support: Reference
// off x86-64, else SSE2, AVX2 or AVX-512 (F, BW, DQ and VL) as the processor has them.
VectorPath bestVectorPath();

// The path in use. At first use it is bestVectorPath(), or the lower path named
// by the environment variable QUARVEL_VECTOR_PATH ("reference", "sse2", "avx2",
// "avx512"), so that a whole run can be timed or checked on the reference code.
VectorPath vectorPath();

// Switches every fast path to `path`, or to bestVectorPath() if `path` is wider
// than that; returns the path now in use. For tests and benchmarks.
VectorPath setVectorPath(VectorPath path);

// "reference", "sse2", "avx2" or "avx512".
const char* vectorPathName(VectorPath path);

// The kernel of `path`: calls pick(std::integral_constant<VectorPath, P>{}) for
// P = Sse2, Avx2 or Avx512 and gives its result, which names the kernel built
// for P. Null for the reference path, and where the build has no kernels (off
// x86-64), so that the caller runs the reference code.
template <class Kernel, class Pick>
Kernel kernelFor(VectorPath path, Pick pick) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  using P = VectorPath;
  switch (path) {
    case P::Sse2:
      return pick(std::integral_constant<P, P::Sse2>{});
    case P::Avx2:
      return pick(std::integral_constant<P, P::Avx2>{});
    case P::Avx512:
      return pick(std::integral_constant<P, P::Avx512>{});
    case P::Reference:
      break;
  }
#else
  static_cast<void>(path);
  static_cast<void>(pick);
#endif
  return nullptr;
}

}  // namespace quarvel::math
