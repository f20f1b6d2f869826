// Percentiles of frame costs, one formula for every tool that reports them.
#include "driver/frame_stats.h"

#include <algorithm>

namespace quarvel::driver {

int sceneNumber(Scene scene) {
  switch (scene) {
    case Scene::Star:
      return 1;
    case Scene::Rays:
      return 2;
    case Scene::Blobs:
      return 3;
    case Scene::Greetings:
      return 4;
    case Scene::End:
      break;
  }
  return 0;
}

// Integer arithmetic: a fraction times the count in floating point can land
// just below a whole number (0.29 * 100 does) and pick the value before.
std::size_t percentileIndex(std::size_t count, unsigned percent) {
  return std::min(count - 1, count * percent / 100);
}

double percentile(std::vector<double> values, unsigned percent) {
  if (values.empty()) return 0.0;
  const auto at =
      values.begin() + static_cast<std::ptrdiff_t>(percentileIndex(values.size(), percent));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

double FrameStats::medianMs(Scene scene) const {
  const auto found = costs_.find(scene);
  return found == costs_.end() ? 0.0 : percentile(found->second, 50);
}

std::vector<SceneCosts> FrameStats::summary() const {
  std::vector<SceneCosts> out;
  for (const auto& [scene, costs] : costs_) {
    if (costs.empty()) continue;
    out.push_back({scene, costs.size(), percentile(costs, 50), percentile(costs, 95)});
  }
  return out;
}

double FrameStats::totalMs() const {
  double sum = 0.0;
  for (const auto& entry : costs_) {
    for (const double ms : entry.second) sum += ms;
  }
  return sum;
}

}  // namespace quarvel::driver
