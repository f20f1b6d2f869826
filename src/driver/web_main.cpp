// The browser build's entry point: the web backend, the demo, and the page's statistics line.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "driver/run_demo.h"
#include "platform/web/web_platform.h"

namespace {

using quarvel::driver::Scene;

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

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// A frame's cost is the page time between two drawn frames less the time the
// frame loop spent waiting (for the animation frame, or the audio worker's
// turns). Once a second the page gets one line: frames drawn, the current
// scene, the audio bytes played, the median cost in the current scene; then
// one line per finished scene.
class PageStats final : public quarvel::driver::FrameObserver {
 public:
  explicit PageStats(quarvel::platform::web::WebPlatform& page)
      : page_(page), last_(page.nowMs()), lastWaited_(page.waitedMs()), lastShown_(last_) {}

  void frameDrawn(Scene scene) override {
    const double now = page_.nowMs();
    const double waited = page_.waitedMs();
    if (scene != Scene::End) {  // the last pass only ends the demo
      scene_ = sceneNumber(scene);
      costs_[scene_].push_back((now - last_) - (waited - lastWaited_));
      page_.frameDrawn(scene_);
    }
    last_ = now;
    lastWaited_ = waited;
    ++frames_;
    audioBytes_ = std::max(audioBytes_, page_.soundBytesPlayed());
    lateFrames_ = std::max(lateFrames_, page_.soundLateFrames());
    if (now - lastShown_ >= 1000.0) {
      lastShown_ = now;
      show(false);
    }
  }

  void show(bool ended) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "frames %llu | scene %d | audio %llu | late %llu | median %.2f ms",
                  static_cast<unsigned long long>(frames_), scene_,
                  static_cast<unsigned long long>(audioBytes_),
                  static_cast<unsigned long long>(lateFrames_), median(costs_[scene_]));
    std::string text = line;
    if (ended) text += " | ended";
    for (const auto& [scene, costs] : costs_) {
      if (scene == scene_ && !ended) break;
      if (costs.empty()) continue;
      std::vector<double> sorted = costs;
      std::sort(sorted.begin(), sorted.end());
      const double p95 = sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)];
      std::snprintf(line, sizeof line, "\nscene %d: %zu frames, median %.2f ms, p95 %.2f ms", scene,
                    sorted.size(), sorted[sorted.size() / 2], p95);
      text += line;
    }
    page_.showStatus(text);
  }

 private:
  quarvel::platform::web::WebPlatform& page_;
  double last_;
  double lastWaited_;
  double lastShown_;
  std::uint64_t frames_ = 0;
  int scene_ = 1;
  std::uint64_t audioBytes_ = 0;
  std::uint64_t lateFrames_ = 0;
  std::map<int, std::vector<double>> costs_;
};

}  // namespace

int main() {
  quarvel::platform::web::WebPlatform page;
  PageStats stats(page);
  const int result = quarvel::driver::runDemo(page.platform(), &stats);
  stats.show(true);
  page.demoEnded();
  return result;
}
