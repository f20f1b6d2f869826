// Choosing the 2D passes' vector kernels, and the distance table the blob kernel reads.
#include <cmath>
#include <vector>

#include "effects/effects_lanes.h"
#include "effects/pixel_rules.h"

namespace quarvel::effects {

EffectKernels effectKernels(lanes::VectorPath path) {
  const EffectKernels* kernels = lanes::kernelFor<const EffectKernels*>(
      path, [](auto p) { return &targetEffectKernels<decltype(p)::value>(); });
  return kernels != nullptr ? *kernels : EffectKernels{};
}

const double* blobDistances() {
  // The reference's distances: looking them up gives the very same values.
  static const std::vector<double> table = [] {
    std::vector<double> t(kBlobDistanceRows * kBlobDistanceStride);
    const auto offset = static_cast<long>(kBlobDistanceOffset);
    for (std::size_t dy = 0; dy < kBlobDistanceRows; ++dy) {
      for (std::size_t i = 0; i < kBlobDistanceStride; ++i) {
        const auto dx = static_cast<std::uint32_t>(static_cast<long>(i) - offset);
        const auto dy2 = static_cast<std::uint32_t>(dy * dy);
        t[dy * kBlobDistanceStride + i] = baseline::blobDistance(dx, dy2);
      }
    }
    return t;
  }();
  return table.data();
}

}  // namespace quarvel::effects
