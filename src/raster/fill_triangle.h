// Flat-coloured triangle fill with a per-pixel depth test.
#pragma once

#include <cstdint>

#include "display/bitmap.h"
#include "math/vec4.h"

namespace quarvel::raster {

// Fills the screen-space triangle a, b, c (x = column, y = row, pixel centres
// at integers, z = normalised depth < 0, w unused; any order and winding) with
// `colour`. A pixel is drawn when ceil(top y) <= row < bottom y and
// ceil(left edge) <= column < ceil(right edge), so triangles sharing an edge
// never both cover a pixel. The depth key 1/z, interpolated linearly on the
// screen, must be strictly less than depth[row * width + column]; drawn pixels
// store their key there. `depth` has target.width * target.height entries.
// The caller keeps every vertex inside the target; nothing is checked.
void fillTriangle(math::Vec4 a, math::Vec4 b, math::Vec4 c, display::Bitmap& target, float* depth,
                  std::uint32_t colour);

struct RasterKernels;

// fillTriangle on the given kernels (the reference where an entry is null),
// for comparing targets side by side; the plain form uses the program's choice.
void fillTriangle(const RasterKernels& kernels, math::Vec4 a, math::Vec4 b, math::Vec4 c,
                  display::Bitmap& target, float* depth, std::uint32_t colour);

}  // namespace quarvel::raster
