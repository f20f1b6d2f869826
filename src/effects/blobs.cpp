// Soft blobs: centre start-up and motion, the field sum and its threshold pass.
#include "effects/blobs.h"

#include <algorithm>
#include <cmath>

#include "effects/effects_lanes.h"
#include "effects/pixel_rules.h"

namespace quarvel::effects {

BlobPoint makeBlobPoint(DemoRandom& random) {
  // Separate statements fix the order of the draws.
  BlobPoint p{};
  p.vx = static_cast<float>(15.0 / (random.next() % 10 + 1));
  p.vy = static_cast<float>(15.0 / (random.next() % 10 + 1));
  p.x = static_cast<float>(random.next() % 319 + 1);
  p.y = static_cast<float>(random.next() % 239 + 1);
  p.strength = static_cast<float>(random.next() % 11 + 1);
  return p;
}

void fillBlobPoints(std::span<BlobPoint> points, DemoRandom& random) {
  for (BlobPoint& p : points) p = makeBlobPoint(random);
}

void moveBlobPoint(BlobPoint& point, float width, float height) {
  point.x += point.vx;
  if (point.x < 0) point.vx = -point.vx;
  if (point.x > width) point.vx = -point.vx;
  point.y += point.vy;
  if (point.y < 0) point.vy = -point.vy;
  if (point.y > height) point.vy = -point.vy;
}

std::uint32_t blobCentre(float v) {
  const double rounded = std::trunc(static_cast<double>(v) + 0.5);
  // Out-of-range positions never occur (centres bounce); clamp (NaN to the
  // lower end) instead of converting an unrepresentable value.
  const double clamped = rounded >= -2147483648.0 ? std::min(rounded, 2147483647.0) : -2147483648.0;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

void BlobField::clear() {
  std::fill(values_.begin(), values_.end(), 0.0f);
}

void addBlob(std::uint32_t cx, std::uint32_t cy, float* field, float strength,
             const display::Bitmap& sizeOf) {
  addBlob(chosenEffectKernels(), cx, cy, field, strength, sizeOf);
}

void addBlob(const EffectKernels& kernels, std::uint32_t cx, std::uint32_t cy, float* field,
             float strength, const display::Bitmap& sizeOf) {
  // Wrapped coordinates of a centre just off the field are small negative
  // numbers, whose squares the reference's wrapping arithmetic also gets.
  const auto x = static_cast<std::int32_t>(cx);
  const auto y = static_cast<std::int32_t>(cy);
  if (kernels.addBlob != nullptr && EffectKernels::takesBlob(sizeOf.width, sizeOf.height, x, y)) {
    kernels.addBlob(field, sizeOf.width, sizeOf.height, x, y, strength, blobDistances(),
                    kBlobDistanceStride, kBlobDistanceOffset);
    return;
  }
  // The reference: every value, as the rule reads.
  const double s = strength;
  for (std::uint32_t r = 0; r < sizeOf.height; ++r) {
    const std::uint32_t dy = cy - r;
    float* row = field + std::size_t{r} * sizeOf.width;
    for (std::uint32_t c = 0; c < sizeOf.width; ++c) {
      row[c] = baseline::addShare(row[c],
                                  baseline::blobShare(s, baseline::blobDistance(cx - c, dy * dy)));
    }
  }
}

void thresholdBlobs(const float* field, float threshold, display::Bitmap& frame, int width,
                    int height) {
  thresholdBlobs(chosenEffectKernels(), field, threshold, frame, width, height);
}

void thresholdBlobs(const EffectKernels& kernels, const float* field, float threshold,
                    display::Bitmap& frame, int width, int height) {
  const std::int64_t requested = std::int64_t{width} * height;
  if (requested <= 0) return;
  const std::int64_t available = std::int64_t{frame.width} * frame.height;
  const std::int64_t count = std::min(requested, available);
  if (kernels.threshold != nullptr) {
    kernels.threshold(field, static_cast<std::size_t>(count), threshold, frame.pixels);
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    if (field[i] > threshold) frame.pixels[i] = baseline::greyPixel(baseline::greyLevel(field[i]));
  }
}

}  // namespace quarvel::effects
