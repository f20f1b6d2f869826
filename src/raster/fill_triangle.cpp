// Flat-coloured triangle fill with a per-pixel depth test.
#include "raster/fill_triangle.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "raster/depth_test.h"
#include "raster/raster_lanes.h"

namespace quarvel::raster {
namespace {

// One row's span between the two edges; the left edge is inclusive and the
// right edge exclusive after rounding both up. The first pixel takes the edge
// key as it is: there is no horizontal prestep.
void drawSpan(std::uint32_t* pixelRow, float* depthRow, float xLong, float keyLong, float xShort,
              float keyShort, std::uint32_t colour, ConstantSpanFill fast) {
  const int columnLong = static_cast<int>(std::ceil(xLong));
  const int columnShort = static_cast<int>(std::ceil(xShort));
  int begin;
  int end;
  float key;
  float step;
  if (columnLong > columnShort) {
    begin = columnShort;
    end = columnLong;
    key = keyShort;
    step = (keyLong - keyShort) / static_cast<float>(columnLong - columnShort);
  } else {
    if (columnLong == columnShort) return;
    begin = columnLong;
    end = columnShort;
    key = keyLong;
    step = (keyShort - keyLong) / static_cast<float>(columnShort - columnLong);
  }
  // A face parallel to the screen has one key along the span.
  if (fast != nullptr && takesConstantSpan(step, key)) {
    fast(pixelRow + begin, depthRow + begin, static_cast<std::size_t>(end - begin), key, colour);
    return;
  }
  for (int x = begin; x < end; ++x) {
    baseline::depthTest(key, depthRow + x, colour, pixelRow + x);
    key += step;
  }
}

}  // namespace

RasterKernels rasterKernels(lanes::VectorPath path) {
  return {lanes::kernelFor<ConstantSpanFill>(
      path, [](auto p) { return &fillConstantSpan<decltype(p)::value>; })};
}

void fillTriangle(math::Vec4 a, math::Vec4 b, math::Vec4 c, display::Bitmap& target, float* depth,
                  std::uint32_t colour) {
  fillTriangle(chosenRasterKernels(), a, b, c, target, depth, colour);
}

void fillTriangle(const RasterKernels& kernels, math::Vec4 a, math::Vec4 b, math::Vec4 c,
                  display::Bitmap& target, float* depth, std::uint32_t colour) {
  const ConstantSpanFill fast = kernels.constantSpan;
  // Only a strictly greater y swaps, so equal rows keep their argument order.
  math::Vec4 p = a;
  math::Vec4 q = b;
  if (p.y > q.y) std::swap(p, q);
  if (q.y > c.y) std::swap(q, c);
  if (p.y > q.y) std::swap(p, q);
  const math::Vec4& top = p;
  const math::Vec4& middle = q;
  const math::Vec4& bottom = c;

  const float keyTop = 1.0f / top.z;
  const float keyMiddle = 1.0f / middle.z;
  const float keyBottom = 1.0f / bottom.z;
  // A zero-height edge gives an infinite or NaN step, which no loop ever uses.
  const float slopeLong = (bottom.x - top.x) / (bottom.y - top.y);
  const float keySlopeLong = (keyBottom - keyTop) / (bottom.y - top.y);
  const float slopeUpper = (middle.x - top.x) / (middle.y - top.y);
  const float keySlopeUpper = (keyMiddle - keyTop) / (middle.y - top.y);
  const float slopeLower = (middle.x - bottom.x) / (middle.y - bottom.y);
  const float keySlopeLower = (keyMiddle - keyBottom) / (middle.y - bottom.y);

  int y = static_cast<int>(std::ceil(top.y));
  float prestep = static_cast<float>(y) - top.y;
  float xLong = top.x + slopeLong * prestep;
  float keyLong = keyTop + keySlopeLong * prestep;
  float xShort = top.x + slopeUpper * prestep;
  float keyShort = keyTop + keySlopeUpper * prestep;
  const std::ptrdiff_t stride = target.width;
  std::uint32_t* pixelRow = target.pixels + static_cast<std::ptrdiff_t>(y) * stride;
  float* depthRow = depth + static_cast<std::ptrdiff_t>(y) * stride;

  while (static_cast<float>(y) < middle.y) {
    drawSpan(pixelRow, depthRow, xLong, keyLong, xShort, keyShort, colour, fast);
    xLong += slopeLong;
    keyLong += keySlopeLong;
    xShort += slopeUpper;
    keyShort += keySlopeUpper;
    ++y;
    pixelRow += stride;
    depthRow += stride;
  }

  prestep = static_cast<float>(y) - middle.y;
  xShort = middle.x + slopeLower * prestep;
  keyShort = keyMiddle + keySlopeLower * prestep;
  while (static_cast<float>(y) < bottom.y) {
    drawSpan(pixelRow, depthRow, xLong, keyLong, xShort, keyShort, colour, fast);
    xLong += slopeLong;
    keyLong += keySlopeLong;
    xShort += slopeLower;
    keyShort += keySlopeLower;
    ++y;
    pixelRow += stride;
    depthRow += stride;
  }
}

}  // namespace quarvel::raster
