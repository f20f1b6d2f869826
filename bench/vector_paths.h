// Runs a benchmark once per vector path, so that the reference and the fast paths compare in one
// process, each on its own kernel table.
#pragma once

#include <benchmark/benchmark.h>

#include "lanes/vector_path.h"

namespace quarvel::bench {

// The path numbered state.range(0), named in the report; the benchmark runs
// its work on that path's kernel table.
inline lanes::VectorPath benchPath(benchmark::State& state) {
  const auto path = static_cast<lanes::VectorPath>(state.range(0));
  state.SetLabel(lanes::vectorPathName(path));
  return path;
}

// Arguments for every path this build and processor run: reference first.
inline void everyVectorPath(benchmark::internal::Benchmark* b) {
  for (const lanes::VectorPath path : lanes::allVectorPaths()) {
    if (lanes::canRun(path)) b->Arg(static_cast<int>(path));
  }
  b->ArgName("path");
}

}  // namespace quarvel::bench
