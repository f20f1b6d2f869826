// Picks the vector path from the processor's features once, and lets tests override it.
#include "math/vector_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace quarvel::math {
namespace {

VectorPath detect() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    return VectorPath::Avx512;
  }
  if (__builtin_cpu_supports("avx2")) return VectorPath::Avx2;
  return VectorPath::Sse2;
#else
  return VectorPath::Reference;
#endif
}

VectorPath initialPath() {
  const VectorPath best = bestVectorPath();
  const char* wanted = std::getenv("QUARVEL_VECTOR_PATH");
  if (wanted == nullptr) return best;
  constexpr VectorPath kPaths[] = {VectorPath::Reference, VectorPath::Sse2, VectorPath::Avx2,
                                   VectorPath::Avx512};
  for (const VectorPath path : kPaths) {
    if (std::strcmp(wanted, vectorPathName(path)) == 0) return path < best ? path : best;
  }
  return best;  // an unknown name changes nothing
}

// The one program-wide choice; atomic so that a test may switch it while
// another thread reads it.
std::atomic<VectorPath>& current() {
  static std::atomic<VectorPath> path{initialPath()};
  return path;
}

}  // namespace

VectorPath bestVectorPath() {
  static const VectorPath best = detect();
  return best;
}

VectorPath vectorPath() {
  return current().load(std::memory_order_relaxed);
}

VectorPath setVectorPath(VectorPath path) {
  const VectorPath best = bestVectorPath();
  const VectorPath chosen = path < best ? path : best;
  current().store(chosen, std::memory_order_relaxed);
  return chosen;
}

const char* vectorPathName(VectorPath path) {
  switch (path) {
    case VectorPath::Reference:
      return "reference";
    case VectorPath::Sse2:
      return "sse2";
    case VectorPath::Avx2:
      return "avx2";
    case VectorPath::Avx512:
      return "avx512";
  }
  return "?";
}

}  // namespace quarvel::math
