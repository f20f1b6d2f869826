// Frame costs per scene and their percentiles, for the page and quarvel-capture --stats.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "driver/timeline.h"

namespace quarvel::driver {

// The scene's number as the viewer counts them: 1 to 4; 0 for End.
int sceneNumber(Scene scene);

// Index of the `percent` percentile (0 to 100) in `count` sorted values: the
// value below which `percent` of the values lie, rounded down to an index and
// kept inside the list. `count` > 0.
std::size_t percentileIndex(std::size_t count, unsigned percent);

// The `percent` percentile of `values` (in any order); 0 when there are none.
double percentile(std::vector<double> values, unsigned percent);

struct SceneCosts {
  Scene scene = Scene::Star;
  std::size_t frames = 0;
  double medianMs = 0.0;
  double p95Ms = 0.0;
};

// Collects each drawn frame's cost (milliseconds, any clock) under its scene.
class FrameStats {
 public:
  void add(Scene scene, double ms) { costs_[scene].push_back(ms); }

  // The median of the scene's costs so far; 0 before its first frame.
  double medianMs(Scene scene) const;
  // Every scene with frames, in the timeline's order.
  std::vector<SceneCosts> summary() const;
  double totalMs() const;

 private:
  std::map<Scene, std::vector<double>> costs_;
};

}  // namespace quarvel::driver
