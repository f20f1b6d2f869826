// The triangle fill's vector kernels: one table of them for each lane target.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lanes/vector_path.h"

namespace quarvel::raster {

// One span whose depth key does not change along it (a key step of 0, a key
// that is not 0): for each of the `count` pixels, if key < depth[x] then
// pixels[x] = colour and depth[x] = key, as the span loop does.
using ConstantSpanFill = void (*)(std::uint32_t* pixels, float* depth, std::size_t count, float key,
                                  std::uint32_t colour);

// Whether a span may take the constant-key kernel: adding a step of 0 keeps a
// key other than 0 exactly as it is (0 could turn -0 into +0).
inline bool takesConstantSpan(float step, float key) {
  return step == 0.0f && key != 0.0f;
}

// The raster's kernels on one lane target; a null entry runs the reference code.
struct RasterKernels {
  ConstantSpanFill constantSpan;
};

// The table of `path`: all null for Reference and for targets this build lacks.
RasterKernels rasterKernels(lanes::VectorPath path);

// The table of the target the program chose at start-up (lanes::vectorPath()).
inline RasterKernels chosenRasterKernels() {
  return rasterKernels(lanes::vectorPath());
}

template <lanes::VectorPath Path>
void fillConstantSpan(std::uint32_t* pixels, float* depth, std::size_t count, float key,
                      std::uint32_t colour);

template <>
void fillConstantSpan<lanes::VectorPath::Scalar>(std::uint32_t*, float*, std::size_t, float,
                                                 std::uint32_t);
template <>
void fillConstantSpan<lanes::VectorPath::Sse2>(std::uint32_t*, float*, std::size_t, float,
                                               std::uint32_t);
template <>
void fillConstantSpan<lanes::VectorPath::Avx2>(std::uint32_t*, float*, std::size_t, float,
                                               std::uint32_t);
template <>
void fillConstantSpan<lanes::VectorPath::Avx512>(std::uint32_t*, float*, std::size_t, float,
                                                 std::uint32_t);
template <>
void fillConstantSpan<lanes::VectorPath::Neon>(std::uint32_t*, float*, std::size_t, float,
                                               std::uint32_t);
template <>
void fillConstantSpan<lanes::VectorPath::Simd128>(std::uint32_t*, float*, std::size_t, float,
                                                  std::uint32_t);

}  // namespace quarvel::raster
