// Clipping of clip-space polygons against the six planes of the view volume.
#pragma once

#include <array>
#include <cstdint>

#include "math/vec4.h"

namespace quarvel::raster {

// The largest polygon a clipped triangle can become: 3 corners + 1 per plane.
inline constexpr int kMaxClipVertices = 9;

// z given to vertices created on the near plane, so that the depth key 1/z
// stays finite: -2^-23, the float with bits 0xB4000000.
inline constexpr float kDepthNearZ = -1.0f / 8388608.0f;

// One plane of the view volume -w <= x <= w, -w <= y <= w, -w <= z <= 0.
// `inside` is inclusive (a vertex on the plane is inside). `intersect` writes
// the crossing of the edge from a to b, with t measured from a.
struct ClipPlane {
  bool (*inside)(const math::Vec4& v);
  void (*intersect)(math::Vec4& out, const math::Vec4& a, const math::Vec4& b);
};

// The six planes in the order they are applied: left, bottom, right, top, far, near.
extern const std::array<ClipPlane, 6> kClipPlanes;

// True when v is strictly inside every plane; any NaN makes it false.
bool vertexInside(const math::Vec4& v);

// One clipping pass of `count` vertices from `input` into `output` (room for
// kMaxClipVertices). Returns the number written; 0 when count <= 0 or nothing
// is inside. `input` and `output` must not overlap.
int clipPolygon(const math::Vec4* input, math::Vec4* output, int count, const ClipPlane& plane);

// Reorders screen-space vertices [first, last) in place into a walk around
// their convex hull starting at the leftmost vertex (the last of equal
// leftmost ones), clockwise on screen (rows growing downwards), ready for a fan
// from the first vertex. Only x and y are compared; vertices move whole.
void orderPolygon(math::Vec4* first, math::Vec4* last);

}  // namespace quarvel::raster
