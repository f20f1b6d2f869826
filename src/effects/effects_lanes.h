// The 2D passes' vector kernels: one table of them for each lane target.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "lanes/vector_path.h"

namespace quarvel::effects {

// sqrt(dx^2 + dy^2) in double for dy in [0, kBlobDistanceRows) (the row) and
// dx in [-kBlobDistanceOffset, kBlobDistanceOffset] (at column dx +
// kBlobDistanceOffset), rows kBlobDistanceStride apart: enough for a 320 x 240
// field and centres up to kBlobDistanceMargin pixels off it (moving centres
// overshoot an edge by less than one step of at most 15 pixels). Built on
// first use, then read-only.
inline constexpr std::int32_t kBlobDistanceMargin = 32;
inline constexpr std::size_t kBlobDistanceRows = 240 + kBlobDistanceMargin;
inline constexpr std::size_t kBlobDistanceOffset = 319 + kBlobDistanceMargin;
inline constexpr std::size_t kBlobDistanceStride = 2 * kBlobDistanceOffset + 1;

inline constexpr std::uint32_t kMaxBlurWidth = 1024;
// The 2D passes' kernels on one lane target; a null entry runs the reference
// code. Each kernel gives exactly the bits of the reference it stands in for.
struct EffectKernels {
  // addBlob for a centre (cx, cy), which may lie off the field of width x
  // height values: row r gets, for each column c, strength /
  // distances[|r - cy| * stride + c - cx + centreOffset], which is
  // sqrt((c - cx)^2 + (r - cy)^2) in double; the table must reach that far.
  void (*addBlob)(float* field, std::uint32_t width, std::uint32_t height, std::int32_t cx,
                  std::int32_t cy, double strength, const double* distances, std::size_t stride,
                  std::size_t centreOffset);
  // Whether addBlob may run: the distance table reaches every pixel of a
  // width x height field from (cx, cy).
  static bool takesBlob(std::uint32_t width, std::uint32_t height, std::int32_t cx,
                        std::int32_t cy) {
    const auto near = [](std::int32_t v, std::uint32_t size) {
      return v >= -kBlobDistanceMargin && v < static_cast<std::int64_t>(size) + kBlobDistanceMargin;
    };
    return width + kBlobDistanceMargin <= kBlobDistanceOffset + 1 &&
           height + kBlobDistanceMargin <= kBlobDistanceRows && near(cx, width) && near(cy, height);
  }
  // thresholdBlobs over field[0 .. count).
  void (*threshold)(const float* field, std::size_t count, float threshold, std::uint32_t* pixels);
  // fadeFrame over pixels[0 .. count).
  void (*fade)(std::uint32_t* pixels, std::size_t count);
  // invertFrom over columns [x0, width) of rows [y0, height); x0 < width.
  void (*invert)(std::uint32_t* pixels, std::uint32_t width, std::uint32_t height, std::uint32_t x0,
                 std::uint32_t y0);
  // blurFrame for 3 <= width <= kMaxBlurWidth and height >= 3.
  void (*blur)(std::uint32_t* pixels, std::uint32_t width, std::uint32_t height);
  static bool takesBlur(std::uint32_t width, std::uint32_t height) {
    return width >= 3 && width <= kMaxBlurWidth && height >= 3;
  }
  // One particle's stamp of an 8 x 8 sprite at (x, y) with finite channel
  // factors, as ParticleSystem::draw plots it. Returns false, having written
  // nothing, unless the stamp's columns are all inside and consecutive.
  bool (*stamp)(float x, float y, const float factors[3], const std::uint8_t masks[3],
                const std::uint32_t* sprite, std::uint32_t* pixels, std::uint32_t width,
                std::uint32_t height);
  // Whether stamp may be tried: an 8 x 8 sprite and finite factors.
  static bool takesStamp(std::uint32_t spriteWidth, std::uint32_t spriteHeight,
                         const float factors[3]) {
    return spriteWidth == 8 && spriteHeight == 8 && std::isfinite(factors[0]) &&
           std::isfinite(factors[1]) && std::isfinite(factors[2]);
  }
};

// The table of `path`: all null for Reference and for targets this build
// lacks, so that the callers run the reference code.
EffectKernels effectKernels(lanes::VectorPath path);

// The table of the target the program chose at start-up (lanes::vectorPath()).
inline EffectKernels chosenEffectKernels() {
  return effectKernels(lanes::vectorPath());
}

// Each target's table, defined in that target's kernel object.
template <lanes::VectorPath Path>
const EffectKernels& targetEffectKernels();

template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Scalar>();
template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Sse2>();
template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Avx2>();
template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Avx512>();
template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Neon>();
template <>
const EffectKernels& targetEffectKernels<lanes::VectorPath::Simd128>();

const double* blobDistances();

}  // namespace quarvel::effects
