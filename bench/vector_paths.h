// Runs a benchmark once per vector path, so that the reference and the fast paths compare in one
// process.
#pragma once

#include <benchmark/benchmark.h>

#include "math/vector_path.h"

namespace quarvel::bench {

// Switches to the path numbered state.range(0) (clamped to what the processor
// has) and names it in the report.
inline void useVectorPath(benchmark::State& state) {
  const math::VectorPath path = math::setVectorPath(static_cast<math::VectorPath>(state.range(0)));
  state.SetLabel(math::vectorPathName(path));
}

// Arguments for every path this processor has: reference first.
inline void everyVectorPath(benchmark::internal::Benchmark* b) {
  for (int path = 0; path <= static_cast<int>(math::bestVectorPath()); ++path) b->Arg(path);
  b->ArgName("path");
}

}  // namespace quarvel::bench
