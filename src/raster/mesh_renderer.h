// Draws indexed triangle lists with flat head-light shading and a depth buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "display/bitmap.h"
#include "math/mat4.h"
#include "math/vec3.h"
#include "math/vec4.h"
#include "raster/raster_lanes.h"

namespace quarvel::raster {

// Screen rectangle in pixels: rows top..bottom and columns left..right, the
// bottom and right values being one past the last row and column.
struct Viewport {
  std::int32_t top = 0;
  std::int32_t bottom = 0;
  std::int32_t left = 0;
  std::int32_t right = 0;
};

// Maps a vertex already divided by w (x, y in -1..1) to screen coordinates:
// x = -1..1 to columns left..right - 1, y = 1..-1 to rows top..bottom - 1.
// z and w pass through unchanged.
math::Vec4 toViewport(math::Vec4 v, std::int32_t top, std::int32_t bottom, std::int32_t left,
                      std::int32_t right);

// The back-face decision on d = dot(normal, direction from the eye to the
// triangle's third vertex): back faces have 0 < d < 1 and are dropped. A NaN d
// (zero-area triangle, or a vertex at the eye) is dropped too.
inline bool facingKept(float facing) {
  return facing <= 0.0f || facing >= 1.0f;
}

// Renders into a Bitmap it does not own, with a depth buffer it owns
// (target->width * target->height floats). The caller sets the matrices before
// rendering (all three start as the identity) and clears the depth buffer once
// per frame.
class MeshRenderer {
 public:
  // `target` must outlive the renderer and keep its size.
  MeshRenderer(display::Bitmap* target, std::int32_t top, std::int32_t bottom, std::int32_t left,
               std::int32_t right);

  // Writes `value` into every depth entry; 0 lets the first fragment at a pixel win.
  void clearDepth(float value);

  // Draws indexCount / 3 triangles (indices 0-based into `vertices`, every
  // index valid) in one colour per triangle: the factors (>= 0, saturating at
  // 255 per channel) times the head-light intensity max(0, eye-space normal z).
  // Back faces (clockwise as seen from the eye) are culled, see facingKept.
  // Triangles are clipped to the view volume, so no write leaves the target.
  void render(const math::Vec3* vertices, const std::int32_t* indices, std::int32_t indexCount,
              float red, float green, float blue);

  math::Mat4 model = math::identity();       // object to world
  math::Mat4 view = math::identity();        // world to eye
  math::Mat4 projection = math::identity();  // eye to clip, from perspective()
  display::Bitmap* target;                   // not owned
  // The spans' kernels: the program's choice, or a benchmark's.
  RasterKernels kernels = chosenRasterKernels();
  Viewport viewport;
  std::vector<float> depth;  // laid out like target's pixels

 private:
  void fillScreenTriangle(const math::Vec4& a, const math::Vec4& b, const math::Vec4& c,
                          std::uint32_t colour);
};

}  // namespace quarvel::raster
