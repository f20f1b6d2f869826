// Draws indexed triangle lists with flat head-light shading and a depth buffer.
#include "raster/mesh_renderer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/clip.h"
#include "raster/fill_triangle.h"

namespace quarvel::raster {
namespace {

using math::Vec3;
using math::Vec4;

Vec3 xyz(const Vec4& v) {
  return {v.x, v.y, v.z};
}

Vec4 divideByW(const Vec4& v) {
  const float inverse = 1.0f / v.w;
  return {v.x * inverse, v.y * inverse, v.z * inverse, 1.0f};
}

// Channel value of a colour factor under intensity `light`, 0..255.
std::uint32_t channel(float factor, float light) {
  float c = factor * light * 255.0f;
  if (c > 255.0f) c = 255.0f;
  if (!(c > 0.0f)) return 0;  // also keeps a negative factor from wrapping
  return static_cast<std::uint32_t>(c);
}

}  // namespace

Vec4 toViewport(Vec4 v, std::int32_t top, std::int32_t bottom, std::int32_t left,
                std::int32_t right) {
  // The 0.5 is a double, as in the original arithmetic; only the result is
  // rounded to float.
  v.x = static_cast<float>(static_cast<double>(v.x + 1.0f) * 0.5 * (right - left - 1) + left);
  v.y = static_cast<float>(static_cast<double>(1.0f - v.y) * 0.5 * (bottom - top - 1) + top);
  return v;
}

MeshRenderer::MeshRenderer(display::Bitmap* targetBitmap, std::int32_t top, std::int32_t bottom,
                           std::int32_t left, std::int32_t right)
    : target(targetBitmap),
      viewport{top, bottom, left, right},
      depth(static_cast<std::size_t>(targetBitmap->width) * targetBitmap->height, 0.0f) {}

void MeshRenderer::clearDepth(float value) {
  // The demo clears to +0, whose bytes are all zero: memset is the fast fill.
  if (__builtin_bit_cast(std::uint32_t, value) == 0) {
    std::memset(depth.data(), 0, depth.size() * sizeof(float));
    return;
  }
  std::fill(depth.begin(), depth.end(), value);
}

void MeshRenderer::fillScreenTriangle(const Vec4& a, const Vec4& b, const Vec4& c,
                                      std::uint32_t colour) {
  // Clipped geometry lands inside the viewport up to rounding, which the
  // exclusive right and bottom edges absorb. Vertices that are further out
  // (or NaN) can only come from non-finite model data; they are skipped so
  // that no write can leave the buffers.
  const float minX = static_cast<float>(viewport.left) - 0.5f;
  const float maxX = static_cast<float>(viewport.right) - 0.5f;
  const float minY = static_cast<float>(viewport.top) - 0.5f;
  const float maxY = static_cast<float>(viewport.bottom) - 0.5f;
  for (const Vec4* v : {&a, &b, &c}) {
    if (!(v->x >= minX && v->x <= maxX && v->y >= minY && v->y <= maxY)) return;
  }
  fillTriangle(kernels, a, b, c, *target, depth.data(), colour);
}

void MeshRenderer::render(const Vec3* vertices, const std::int32_t* indices,
                          std::int32_t indexCount, float red, float green, float blue) {
  const math::Mat4 modelView = math::multiply(model, view);
  const auto& vp = viewport;
  for (std::int32_t t = 0; t + 2 < indexCount; t += 3) {
    const Vec4 p0 = math::transformPoint(modelView, vertices[indices[t]]);
    const Vec4 p1 = math::transformPoint(modelView, vertices[indices[t + 1]]);
    const Vec4 p2 = math::transformPoint(modelView, vertices[indices[t + 2]]);

    const Vec3 normal = math::normalize(
        math::cross(math::subtract(xyz(p0), xyz(p1)), math::subtract(xyz(p0), xyz(p2))));
    const Vec3 toVertex = math::normalize(xyz(p2));
    const float facing = math::dot(normal, toVertex);
    // Back faces have 0 < facing < 1. A zero-area triangle (or one touching the
    // eye) has a NaN normal or direction and is skipped here as well: it
    // would cover no pixel and its colour would be undefined.
    if (!facingKept(facing)) continue;

    // Head-light along -z of eye space: intensity max(0, N.z), no ambient term.
    float s = (normal.x + normal.y) * 0.0f - normal.z * 1.0f;
    if (s > 0.0f) s = 0.0f;
    const float light = -s;
    const std::uint32_t colour =
        0x01000000u | channel(red, light) << 16 | channel(green, light) << 8 | channel(blue, light);

    Vec4 polygon[kMaxClipVertices];
    polygon[0] = math::transformPoint(projection, xyz(p0));
    polygon[1] = math::transformPoint(projection, xyz(p1));
    polygon[2] = math::transformPoint(projection, xyz(p2));

    if (vertexInside(polygon[0]) && vertexInside(polygon[1]) && vertexInside(polygon[2])) {
      for (int i = 0; i < 3; ++i) {
        polygon[i] = toViewport(divideByW(polygon[i]), vp.top, vp.bottom, vp.left, vp.right);
      }
      fillScreenTriangle(polygon[0], polygon[1], polygon[2], colour);
      continue;
    }

    // Six passes alternate between the two buffers and end in the first.
    Vec4 scratch[kMaxClipVertices];
    int count = 3;
    for (std::size_t plane = 0; plane < kClipPlanes.size(); plane += 2) {
      count = clipPolygon(polygon, scratch, count, kClipPlanes[plane]);
      count = clipPolygon(scratch, polygon, count, kClipPlanes[plane + 1]);
    }
    if (count < 3) continue;
    for (int i = 0; i < count; ++i) {
      polygon[i] = toViewport(divideByW(polygon[i]), vp.top, vp.bottom, vp.left, vp.right);
    }
    orderPolygon(polygon, polygon + count);
    for (int j = 1; j + 1 < count; ++j) {
      fillScreenTriangle(polygon[0], polygon[j], polygon[j + 1], colour);
    }
  }
}

}  // namespace quarvel::raster
