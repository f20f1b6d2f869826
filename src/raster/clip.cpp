// Clipping of clip-space polygons against the six planes of the view volume.
#include "raster/clip.h"

#include <utility>

namespace quarvel::raster {
namespace {

using math::Vec4;

// Interpolates all four components; t is measured from a towards b.
Vec4 lerp(const Vec4& a, const Vec4& b, float t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t,
          a.w + (b.w - a.w) * t};
}

bool insideLeft(const Vec4& v) {
  return v.x >= -v.w;
}
bool insideBottom(const Vec4& v) {
  return v.y >= -v.w;
}
bool insideRight(const Vec4& v) {
  return v.x <= v.w;
}
bool insideTop(const Vec4& v) {
  return v.y <= v.w;
}
bool insideFar(const Vec4& v) {
  return v.z >= -v.w;
}
bool insideNear(const Vec4& v) {
  return v.z <= 0.0f;
}

// The denominators keep the grouping below so results match bit for bit.
void crossLeft(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, (a.x + a.w) / ((a.w - b.w) + (a.x - b.x)));
}
void crossBottom(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, (a.y + a.w) / ((a.w - b.w) + (a.y - b.y)));
}
void crossRight(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, (a.w - a.x) / ((a.w - b.w) - (a.x - b.x)));
}
void crossTop(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, (a.w - a.y) / ((a.w - b.w) - (a.y - b.y)));
}
void crossFar(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, (a.w + a.z) / ((a.w + a.z) - (b.w + b.z)));
}
// The interpolated z would be 0, whose depth key 1/z is infinite.
void crossNear(Vec4& out, const Vec4& a, const Vec4& b) {
  out = lerp(a, b, a.z / (a.z - b.z));
  out.z = kDepthNearZ;
}

}  // namespace

const std::array<ClipPlane, 6> kClipPlanes = {{
    {insideLeft, crossLeft},
    {insideBottom, crossBottom},
    {insideRight, crossRight},
    {insideTop, crossTop},
    {insideFar, crossFar},
    {insideNear, crossNear},
}};

bool vertexInside(const Vec4& v) {
  return -v.w < v.x && v.x < v.w && -v.w < v.y && v.y < v.w && v.z < 0.0f && v.z > -v.w;
}

int clipPolygon(const Vec4* input, Vec4* output, int count, const ClipPlane& plane) {
  if (count <= 0) return 0;
  int written = 0;
  const Vec4* previous = &input[count - 1];
  bool previousInside = plane.inside(*previous);
  for (int i = 0; i < count; ++i) {
    const Vec4& current = input[i];
    const bool currentInside = plane.inside(current);
    // Always measured from the previous vertex, whichever side is inside.
    if (currentInside != previousInside) plane.intersect(output[written++], *previous, current);
    if (currentInside) output[written++] = current;
    previous = &current;
    previousInside = currentInside;
  }
  return written;
}

void orderPolygon(Vec4* first, Vec4* last) {
  const std::ptrdiff_t n = last - first;
  if (n <= 0) return;
  Vec4* pivot = first;
  for (Vec4* v = first + 1; v < last; ++v) {
    if (v->x <= pivot->x) pivot = v;
  }
  std::swap(*first, *pivot);
  for (std::ptrdiff_t k = 1; k < n; ++k) {
    const Vec4 reference = first[k - 1];
    Vec4* best = &first[k];
    for (std::ptrdiff_t c = k; c < n; ++c) {
      const Vec4& candidate = first[c];
      if ((candidate.y - reference.y) * (best->x - reference.x) <
          (best->y - reference.y) * (candidate.x - reference.x)) {
        best = &first[c];
      }
    }
    std::swap(first[k], *best);
  }
}

}  // namespace quarvel::raster
