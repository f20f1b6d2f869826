// Soft blobs: centre start-up and motion, the field sum and its threshold pass.
#include "effects/blobs.h"

#include <algorithm>
#include <cmath>

#include "effects/effects_lanes.h"

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

namespace {

// One field value plus one centre's share, the sum rounded to float and capped.
inline void addShare(float& value, double share) {
  const auto sum = static_cast<float>(static_cast<double>(value) + share);
  value = sum > 1.0f ? 1.0f : sum;
}

// The centre's share for a column at horizontal offset dx (modulo 2^32) in a
// row whose squared vertical distance is dy2. Offsets wrap and their squares
// equal those of the signed offsets, so a centre just off the field works too.
inline double shareAt(std::uint32_t dx, std::uint32_t dy2, double strength) {
  const auto d2 = static_cast<std::int32_t>(dx * dx + dy2);
  return strength / std::sqrt(static_cast<double>(d2));
}

// Columns [begin, end) of one row, or of two rows at the same distance from the centre.
template <bool kPair>
void addSpan(float* first, float* second, std::uint32_t begin, std::uint32_t end, std::uint32_t cx,
             std::uint32_t dy2, double strength) {
  for (std::uint32_t c = begin; c < end; ++c) {
    const double share = shareAt(cx - c, dy2, strength);
    addShare(first[c], share);
    if constexpr (kPair) addShare(second[c], share);
  }
}

// Columns centre - k and centre + k for k in [1, halfWidth] share each quotient.
template <bool kPair>
void addMirroredSpan(float* first, float* second, std::uint32_t centre, std::uint32_t halfWidth,
                     std::uint32_t dy2, double strength) {
  for (std::uint32_t k = 1; k <= halfWidth; ++k) {
    const double share = shareAt(k, dy2, strength);
    addShare(first[centre + k], share);
    addShare(first[centre - k], share);
    if constexpr (kPair) {
      addShare(second[centre + k], share);
      addShare(second[centre - k], share);
    }
  }
}

// One row (or a mirrored pair of rows): the columns mirrored about the centre
// share their quotients, the rest are computed one by one.
template <bool kPair>
void addRows(float* first, float* second, std::uint32_t width, std::uint32_t cx, std::uint32_t dy2,
             double strength) {
  if (cx >= width) {  // also a wrapped, negative centre: nothing to mirror
    addSpan<kPair>(first, second, 0, width, cx, dy2, strength);
    return;
  }
  const std::uint32_t halfWidth = std::min(cx, width - 1 - cx);
  addSpan<kPair>(first, second, 0, cx - halfWidth, cx, dy2, strength);
  addSpan<kPair>(first, second, cx, cx + 1, cx, dy2, strength);
  addMirroredSpan<kPair>(first, second, cx, halfWidth, dy2, strength);
  addSpan<kPair>(first, second, cx + halfWidth + 1, width, cx, dy2, strength);
}

}  // namespace

void addBlob(std::uint32_t cx, std::uint32_t cy, float* field, float strength,
             const display::Bitmap& sizeOf) {
  // Wrapped coordinates of a centre just off the field are small negative
  // numbers, whose squares the reference's wrapping arithmetic also gets.
  const auto x = static_cast<std::int32_t>(cx);
  const auto y = static_cast<std::int32_t>(cy);
  const auto near = [](std::int32_t v, std::uint32_t size) {
    return v >= -kBlobDistanceMargin && v < static_cast<std::int64_t>(size) + kBlobDistanceMargin;
  };
  const EffectKernels* fast = effectKernelsFor(lanes::vectorPath());
  if (fast != nullptr && sizeOf.width + kBlobDistanceMargin <= kBlobDistanceOffset + 1 &&
      sizeOf.height + kBlobDistanceMargin <= kBlobDistanceRows && near(x, sizeOf.width) &&
      near(y, sizeOf.height)) {
    fast->addBlob(field, sizeOf.width, sizeOf.height, x, y, strength, blobDistances(),
                  kBlobDistanceStride, kBlobDistanceOffset);
    return;
  }
  // The reference.
  const std::uint32_t width = sizeOf.width;
  const std::int64_t height = sizeOf.height;
  const double s = strength;
  // The row mirrored about the centre has the same squared distances.
  const std::int64_t centreRow = static_cast<std::int32_t>(cy);
  for (std::int64_t r = 0; r < height; ++r) {
    const std::int64_t mirror = 2 * centreRow - r;
    if (mirror >= 0 && mirror < r) continue;  // already done as the pair of `mirror`
    const std::uint32_t dy = cy - static_cast<std::uint32_t>(r);
    const std::uint32_t dy2 = dy * dy;
    float* row = field + static_cast<std::size_t>(r) * width;
    if (mirror > r && mirror < height) {
      addRows<true>(row, field + static_cast<std::size_t>(mirror) * width, width, cx, dy2, s);
    } else {
      addRows<false>(row, nullptr, width, cx, dy2, s);
    }
  }
}

namespace {

// The low byte of trunc(v * 255); products too large for a 32-bit integer never
// occur (the field is capped at 1.0) and give 255 instead of undefined behaviour.
std::uint32_t greyLevel(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled < 2147483648.0f) || scaled <= -2147483648.0f) return 0xFFu;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)) & 0xFFu;
}

}  // namespace

void thresholdBlobs(const float* field, float threshold, display::Bitmap& frame, int width,
                    int height) {
  const std::int64_t requested = std::int64_t{width} * height;
  if (requested <= 0) return;
  const std::int64_t available = std::int64_t{frame.width} * frame.height;
  const std::int64_t count = std::min(requested, available);
  if (const EffectKernels* fast = effectKernelsFor(lanes::vectorPath())) {
    fast->threshold(field, static_cast<std::size_t>(count), threshold, frame.pixels);
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    if (field[i] > threshold) {
      const std::uint32_t g = greyLevel(field[i]);
      frame.pixels[i] = (g << 16) | (g << 8) | g;
    }
  }
}

}  // namespace quarvel::effects
