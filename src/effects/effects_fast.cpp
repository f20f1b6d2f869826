// Choosing the 2D passes' vector kernels, and the distance table the blob kernel reads.
#include <cmath>
#include <vector>

#include "effects/effects_lanes.h"

namespace quarvel::effects {

const EffectKernels* effectKernelsFor(lanes::VectorPath path) {
  return lanes::kernelFor<const EffectKernels*>(
      path, [](auto p) { return &effectKernels<decltype(p)::value>(); });
}

const double* blobDistances() {
  // The square roots that addBlob takes of whole numbers, computed the same
  // way: looking them up gives the very same values.
  static const std::vector<double> table = [] {
    std::vector<double> t(kBlobDistanceRows * kBlobDistanceStride);
    const auto offset = static_cast<long>(kBlobDistanceOffset);
    for (std::size_t dy = 0; dy < kBlobDistanceRows; ++dy) {
      for (std::size_t i = 0; i < kBlobDistanceStride; ++i) {
        const long dx = static_cast<long>(i) - offset;
        const long d2 = dx * dx + static_cast<long>(dy * dy);
        t[dy * kBlobDistanceStride + i] = std::sqrt(static_cast<double>(d2));
      }
    }
    return t;
  }();
  return table.data();
}

}  // namespace quarvel::effects
