// Picks the lane target from the processor's features once, and lets a run override it.
#include "lanes/vector_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace quarvel::lanes {
namespace {

constexpr VectorPath kPaths[] = {VectorPath::Reference, VectorPath::Scalar, VectorPath::Sse2,
                                 VectorPath::Avx2,      VectorPath::Avx512, VectorPath::Neon,
                                 VectorPath::Simd128};

// Whether this build compiled the kernels of `path` (see kernelFor).
constexpr bool built(VectorPath path) {
  switch (path) {
    case VectorPath::Reference:
      return true;
    case VectorPath::Scalar:
#if defined(__GNUC__) || defined(__clang__)
      return true;
#else
      return false;
#endif
    case VectorPath::Sse2:
    case VectorPath::Avx2:
    case VectorPath::Avx512:
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
      return true;
#else
      return false;
#endif
    case VectorPath::Neon:
#if defined(__aarch64__) && (defined(__GNUC__) || defined(__clang__))
      return true;
#else
      return false;
#endif
    case VectorPath::Simd128:
#if defined(__wasm_simd128__)
      return true;
#else
      return false;
#endif
  }
  return false;
}

bool processorRuns(VectorPath path) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (path == VectorPath::Avx2) return __builtin_cpu_supports("avx2");
  if (path == VectorPath::Avx512) {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  }
#endif
  // SSE2 and NEON are part of their architectures' baselines; a WebAssembly
  // module with SIMD128 does not load where it is missing.
  static_cast<void>(path);
  return true;
}

VectorPath initialPath() {
  const char* wanted = std::getenv("QUARVEL_VECTOR_PATH");
  if (wanted != nullptr) {
    for (const VectorPath path : kPaths) {
      if (std::strcmp(wanted, vectorPathName(path)) == 0 && canRun(path)) return path;
    }
  }
  return bestVectorPath();  // an unknown or unrunnable name changes nothing
}

// The one program-wide choice; atomic so that a whole-run comparison may switch
// it while the audio thread reads it.
std::atomic<VectorPath>& current() {
  static std::atomic<VectorPath> path{initialPath()};
  return path;
}

}  // namespace

std::span<const VectorPath> allVectorPaths() {
  return kPaths;
}

bool canRun(VectorPath path) {
  return built(path) && processorRuns(path);
}

VectorPath bestVectorPath() {
  static const VectorPath best = [] {
    constexpr VectorPath kWidestFirst[] = {VectorPath::Avx512,  VectorPath::Avx2,
                                           VectorPath::Sse2,    VectorPath::Neon,
                                           VectorPath::Simd128, VectorPath::Scalar};
    for (const VectorPath path : kWidestFirst) {
      if (canRun(path)) return path;
    }
    return VectorPath::Reference;
  }();
  return best;
}

VectorPath vectorPath() {
  return current().load(std::memory_order_relaxed);
}

VectorPath setVectorPath(VectorPath path) {
  const VectorPath chosen = canRun(path) ? path : bestVectorPath();
  current().store(chosen, std::memory_order_relaxed);
  return chosen;
}

const char* vectorPathName(VectorPath path) {
  switch (path) {
    case VectorPath::Reference:
      return "reference";
    case VectorPath::Scalar:
      return "scalar";
    case VectorPath::Sse2:
      return "sse2";
    case VectorPath::Avx2:
      return "avx2";
    case VectorPath::Avx512:
      return "avx512";
    case VectorPath::Neon:
      return "neon";
    case VectorPath::Simd128:
      return "simd128";
  }
  return "?";
}

}  // namespace quarvel::lanes
