// The 2D passes on kLanes pixels at once, operation for operation as their reference code.
#include "effects/effects_lanes.h"

#include "effects/pixel_rules.h"
#include "lanes/lanes.h"

namespace quarvel::effects::QUARVEL_LANE_TARGET {
namespace lanes = lanes::QUARVEL_LANE_TARGET;

using lanes::Doubles;
using lanes::Floats;
using lanes::Ints;
using lanes::kLanes;
using lanes::splat;
using lanes::UInts;

// Rows cy - j and cy + j have the same distances, so they share each quotient.
void addBlob(float* field, std::uint32_t width, std::uint32_t height, std::int32_t cx,
             std::int32_t cy, double strength, const double* distances, std::size_t stride,
             std::size_t centreOffset) {
  for (std::int64_t r = 0; r < height; ++r) {
    const std::int64_t mirror = 2 * std::int64_t{cy} - r;
    if (mirror >= 0 && mirror < r) continue;  // done as the pair of `mirror`
    float* row = field + r * width;
    float* pair = mirror > r && mirror < height ? field + mirror * width : nullptr;
    const std::int64_t dy = r < cy ? cy - r : r - cy;
    const double* q = distances + dy * stride + (static_cast<std::int64_t>(centreOffset) - cx);
    std::uint32_t c = 0;  // q[c]: the distance of column c
    for (; c + kLanes <= width; c += kLanes) {
      const Doubles share = blobShare(strength, lanes::load<Doubles>(q + c));
      lanes::store(row + c, addShare(lanes::load<Floats>(row + c), share));
      if (pair != nullptr) lanes::store(pair + c, addShare(lanes::load<Floats>(pair + c), share));
    }
    for (; c < width; ++c) {
      const double share = blobShare(strength, q[c]);
      row[c] = addShare(row[c], share);
      if (pair != nullptr) pair[c] = addShare(pair[c], share);
    }
  }
}

void threshold(const float* field, std::size_t count, float threshold, std::uint32_t* pixels) {
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    const Floats v = lanes::load<Floats>(field + i);
    const Ints lit = v > threshold;
    if (!lanes::anyLane(lit)) continue;
    const UInts old = lanes::load<UInts>(pixels + i);
    lanes::store(pixels + i, lit ? greyPixel<UInts>(greyLevel(v)) : old);
  }
  for (; i < count; ++i) {
    if (field[i] > threshold) pixels[i] = greyPixel<std::uint32_t>(greyLevel(field[i]));
  }
}

void fade(std::uint32_t* pixels, std::size_t count) {
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    lanes::store(pixels + i, fadePixel(lanes::load<UInts>(pixels + i)));
  }
  for (; i < count; ++i) pixels[i] = fadePixel(pixels[i]);
}

void invert(std::uint32_t* pixels, std::uint32_t width, std::uint32_t height, std::uint32_t x0,
            std::uint32_t y0) {
  // Every pixel is independent, so rows in memory order do what the
  // reference's columns do.
  for (std::uint32_t y = y0; y < height; ++y) {
    std::uint32_t* row = pixels + std::size_t{y} * width;
    std::uint32_t x = x0;
    for (; x + kLanes <= width; x += kLanes) {
      lanes::store(row + x, invertPixel(lanes::load<UInts>(row + x)));
    }
    for (; x < width; ++x) row[x] = invertPixel(row[x]);
  }
}

// The in-place blur reads, for pixel (x, y), the final pixels of column x - 1
// and of (x, y - 1) and the original ones of (x, y), (x, y + 1) and column
// x + 1. All pixels on one line t = y + 2x are therefore independent, and
// every input of that line lies on lines t - 3 .. t + 3. The lines are copied
// into a ring, where a line is contiguous in x, blurred in lanes, and copied
// back some lines later, out of the way of the loads (the frame's own final
// pixels are never read again).
constexpr std::size_t kRingLines = 16;
constexpr std::int64_t kWriteBackDelay = 8;
constexpr std::size_t kRingStride = kMaxBlurWidth + 2 * kLanes;

struct LineRange {
  std::uint32_t first;
  std::uint32_t last;  // first > last: empty
};

// Columns x whose row t - 2x lies in [rowLow, rowHigh], within [xLow, xHigh].
inline LineRange columnsOn(std::int64_t t, std::int64_t rowLow, std::int64_t rowHigh,
                           std::int64_t xLow, std::int64_t xHigh) {
  std::int64_t first = t - rowHigh <= 0 ? 0 : (t - rowHigh + 1) / 2;
  std::int64_t last = t - rowLow < 0 ? -1 : (t - rowLow) / 2;
  first = first < xLow ? xLow : first;
  last = last > xHigh ? xHigh : last;
  if (first > last) return {1, 0};
  return {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last)};
}

inline UInts sumOfNine(const std::uint32_t* const lines[7], std::uint32_t x, UInts mask) {
  // Column x - 1 on lines t - 3 .. t - 1, column x on t - 1 .. t + 1, and
  // column x + 1 on t + 1 .. t + 3.
  UInts sum = lanes::load<UInts>(lines[0] + x - 1) & mask;
  sum += lanes::load<UInts>(lines[1] + x - 1) & mask;
  sum += lanes::load<UInts>(lines[2] + x - 1) & mask;
  sum += lanes::load<UInts>(lines[2] + x) & mask;
  sum += lanes::load<UInts>(lines[3] + x) & mask;
  sum += lanes::load<UInts>(lines[4] + x) & mask;
  sum += lanes::load<UInts>(lines[4] + x + 1) & mask;
  sum += lanes::load<UInts>(lines[5] + x + 1) & mask;
  sum += lanes::load<UInts>(lines[6] + x + 1) & mask;
  return sum;
}

void blur(std::uint32_t* pixels, std::uint32_t width, std::uint32_t height) {
  alignas(64) std::uint32_t ring[kRingLines][kRingStride] = {};
  const auto line = [&](std::int64_t t) { return ring[static_cast<std::size_t>(t) % kRingLines]; };
  // Along a line, each step right is one column right and two rows up.
  const std::ptrdiff_t step = 1 - 2 * static_cast<std::ptrdiff_t>(width);
  const auto at = [&](std::int64_t t, std::uint32_t x) {
    return pixels + (t - 2 * std::int64_t{x}) * width + x;
  };
  // Four at a time: the copies, not the arithmetic, bound the pass.
  const std::ptrdiff_t step2 = 2 * step;
  const std::ptrdiff_t step3 = 3 * step;
  const std::ptrdiff_t step4 = 4 * step;
  const auto load = [&](std::int64_t t) {
    const LineRange r = columnsOn(t, 0, height - 1, 0, width - 1);
    const std::uint32_t* from = at(t, r.first);
    std::uint32_t* to = line(t);
    std::uint32_t x = r.first;
    for (; x + 3 <= r.last; x += 4, from += step4) {
      to[x] = from[0];
      to[x + 1] = from[step];
      to[x + 2] = from[step2];
      to[x + 3] = from[step3];
    }
    for (; x <= r.last; ++x, from += step) to[x] = *from;
  };
  const auto writeBack = [&](std::int64_t t) {
    const LineRange r = columnsOn(t, 1, height - 2, 1, width - 2);
    std::uint32_t* to = at(t, r.first);
    const std::uint32_t* from = line(t);
    std::uint32_t x = r.first;
    for (; x + 3 <= r.last; x += 4, to += step4) {
      to[0] = from[x];
      to[step] = from[x + 1];
      to[step2] = from[x + 2];
      to[step3] = from[x + 3];
    }
    for (; x <= r.last; ++x, to += step) *to = from[x];
  };
  // The sums of nine stay below 2296 per channel, so 7282 / 65536 divides
  // them by 9 exactly; red and blue share a word, green has its own.
  const UInts nineth = splat<UInts>(7282u * 0x10001u);
  const std::int64_t lastLine = (height - 1) + 2 * std::int64_t{width - 1};
  for (std::int64_t t = 0; t < 3; ++t) load(t);
  for (std::int64_t t = 0; t <= lastLine; ++t) {
    if (t + 3 <= lastLine) load(t + 3);
    if (t >= kWriteBackDelay) writeBack(t - kWriteBackDelay);
    const LineRange r = columnsOn(t, 1, height - 2, 1, width - 2);
    if (r.first > r.last) continue;
    const std::uint32_t* lines[7];
    for (int k = 0; k < 7; ++k) lines[k] = line(t + k - 3);  // t >= 3 on every line with work
    std::uint32_t* out = line(t);
    for (std::uint32_t x = r.first; x <= r.last; x += kLanes) {
      const UInts redBlue = sumOfNine(lines, x, splat<UInts>(0xFF00FFu));
      const UInts green = sumOfNine(lines, x, splat<UInts>(0xFF00u)) >> 8;
      const UInts result =
          lanes::multiplyHigh16(redBlue, nineth) | (lanes::multiplyHigh16(green, nineth) << 8);
      // Lanes past the line's last column keep their values.
      const Ints inside = lanes::laneNumbers() <= static_cast<std::int32_t>(r.last - x);
      lanes::store(out + x, inside ? result : lanes::load<UInts>(out + x));
    }
  }
  const std::int64_t pending = lastLine + 1 - kWriteBackDelay;
  for (std::int64_t t = pending < 0 ? 0 : pending; t <= lastLine; ++t) writeBack(t);
}

constexpr std::uint32_t kSprite = 8;

bool stamp(float x, float y, const float factors[3], const std::uint8_t masks[3],
           const std::uint32_t* sprite, std::uint32_t* pixels, std::uint32_t width,
           std::uint32_t height) {
  const auto lastX = static_cast<float>(width) - 1;
  const auto lastY = static_cast<float>(height) - 1;
  // The columns, as plotAdditive rounds them: they must be consecutive, so
  // that a sprite row is one run of eight pixels.
  std::int64_t column0 = 0;
  int inside = 0;
  for (std::uint32_t sx = 0; sx < kSprite; ++sx) {
    const float px = x + static_cast<float>(sx);
    if (!(px >= 0 && px <= lastX)) continue;
    const auto column = static_cast<std::int64_t>(static_cast<double>(px) + 0.5);
    if (inside == 0) column0 = column - sx;
    if (column != column0 + sx) return false;
    ++inside;
  }
  if (inside == 0) return true;  // nothing of it lands
  if (inside != kSprite) return false;

  // Shade the sprite: channel times mask, times factor, clamped, truncated;
  // then halved for the additive plot.
  alignas(32) std::uint32_t halves[kSprite * kSprite];
  for (std::uint32_t k = 0; k < kSprite * kSprite; k += kLanes) {
    const UInts s = lanes::load<UInts>(sprite + k);
    UInts colour = splat<UInts>(0);
    for (int c = 0; c < 3; ++c) {
      const int shift = 16 - 8 * c;
      // channel * mask < 2^24 is exact in float, so float operands give the
      // product the reference converts from an integer.
      const Floats channel =
          __builtin_convertvector(__builtin_bit_cast(Ints, s >> shift & 0xFFu), Floats);
      Floats v = channel * static_cast<float>(masks[c]) * factors[c];
      v = v < 0.0f ? splat<Floats>(0.0f) : v;
      v = 255.0f < v ? splat<Floats>(255.0f) : v;
      colour |= __builtin_convertvector(lanes::truncate(v), UInts) << shift;
    }
    lanes::store(halves + k, colour >> 1 & 0x7F7F7Fu);
  }
  for (std::uint32_t sy = 0; sy < kSprite; ++sy) {
    const float py = y + static_cast<float>(sy);
    if (!(py >= 0 && py <= lastY)) continue;
    const auto row = static_cast<std::size_t>(static_cast<double>(py) + 0.5);
    std::uint32_t* at = pixels + row * width + static_cast<std::size_t>(column0);
    const lanes::Pixels8 sum = lanes::saturatingAdd(
        lanes::load<lanes::Pixels8>(at), lanes::load<lanes::Pixels8>(halves + sy * kSprite));
    lanes::store(at, sum & 0xFFFFFFu);
  }
  return true;
}

constexpr EffectKernels kKernels{&addBlob, &threshold, &fade, &invert, &blur, &stamp};

}  // namespace quarvel::effects::QUARVEL_LANE_TARGET

namespace quarvel::effects {

template <>
const EffectKernels& targetEffectKernels<lanes::QUARVEL_LANE_TARGET::kLanePath>() {
  return QUARVEL_LANE_TARGET::kKernels;
}

}  // namespace quarvel::effects
