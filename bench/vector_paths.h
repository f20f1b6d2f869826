// Runs a benchmark once per vector path, so that the reference and the fast paths compare in one
// process.
#pragma once

#include <benchmark/benchmark.h>

#include "lanes/vector_path.h"

namespace quarvel::bench {

// Switches to the path numbered state.range(0) (clamped to what the processor
// has) and names it in the report.
inline void useVectorPath(benchmark::State& state) {
  const lanes::VectorPath path = lanes::setVectorPath(static_cast<lanes::VectorPath>(state.range(0)));
  state.SetLabel(lanes::vectorPathName(path));
}

// Arguments for every path this build and processor run: reference first.
inline void everyVectorPath(benchmark::internal::Benchmark* b) {
  for (const lanes::VectorPath path : lanes::allVectorPaths()) {
    if (lanes::canRun(path)) b->Arg(static_cast<int>(path));
  }
  b->ArgName("path");
}

}  // namespace quarvel::bench
