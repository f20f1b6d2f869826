// Soft blobs: moving centres, the float field they are summed into, and its threshold pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "display/bitmap.h"
#include "effects/demo_random.h"

namespace quarvel::effects {

// One blob centre. Position in pixels, velocity in pixels per blob frame,
// strength a whole number 1..11 (the field value is strength / distance).
struct BlobPoint {
  float x;
  float y;
  float vx;
  float vy;
  float strength;
};

inline constexpr std::size_t kBlobPointCount = 10;

// Draws the five numbers of one centre from `random`, in the order
// vx, vy, x, y, strength: vx and vy = 15 / (1..10) (in double, rounded to
// float), x = 1..319, y = 1..239, strength = 1..11.
BlobPoint makeBlobPoint(DemoRandom& random);

// Fills every point in index order with makeBlobPoint.
void fillBlobPoints(std::span<BlobPoint> points, DemoRandom& random);

// One blob frame's motion: x += vx and the direction turns if x < 0 or
// x > width; the same for y against height. Positions are never clamped.
void moveBlobPoint(BlobPoint& point, float width, float height);

// Rounds a blob coordinate to the nearest pixel, as addBlob expects it:
// trunc(v + 0.5) (sum in double). A slightly negative position gives the
// two's-complement pattern of a small negative integer, which addBlob's
// wrapping distance arithmetic treats as that negative coordinate.
std::uint32_t blobCentre(float v);

// The 320 x 240 float field the blobs are summed into, row by row like the
// framebuffer. Fixed size; owns its storage (zero when constructed).
class BlobField {
 public:
  static constexpr std::uint32_t kWidth = 320;
  static constexpr std::uint32_t kHeight = 240;
  static constexpr std::size_t kSize = std::size_t{kWidth} * kHeight;

  BlobField() : values_(kSize, 0.0f) {}

  float* data() { return values_.data(); }
  const float* data() const { return values_.data(); }
  static constexpr std::size_t size() { return kSize; }
  // Sets all values to 0, as each blob frame does before adding its centres.
  void clear();

 private:
  std::vector<float> values_;
};

// Adds the centre (cx, cy) with `strength` to every value of a field of
// sizeOf.width x sizeOf.height floats: value += strength / sqrt(d2) with the
// squared pixel distance d2 in 32-bit integers and the quotient and sum in
// double, then capped at 1.0. At the centre the quotient is infinite and the
// value becomes 1.0. Only the size of `sizeOf` is read.
void addBlob(std::uint32_t cx, std::uint32_t cy, float* field, float strength,
             const display::Bitmap& sizeOf);

// For i in [0, width * height): if field[i] > threshold (strictly), pixel i of
// `frame` becomes the grey g with g = low byte of trunc(field[i] * 255, in
// float); other pixels keep their value. Nothing happens if width * height <= 0.
// Never writes past frame.width * frame.height pixels.
void thresholdBlobs(const float* field, float threshold, display::Bitmap& frame, int width,
                    int height);

struct EffectKernels;

// addBlob and thresholdBlobs on the given kernels (the reference where an entry
// is null), for comparing targets side by side; the plain forms use the
// program's choice.
void addBlob(const EffectKernels& kernels, std::uint32_t cx, std::uint32_t cy, float* field,
             float strength, const display::Bitmap& sizeOf);
void thresholdBlobs(const EffectKernels& kernels, const float* field, float threshold,
                    display::Bitmap& frame, int width, int height);

}  // namespace quarvel::effects
