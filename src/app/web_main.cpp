// The browser build's entry point: the web backend, the demo, the statistics line, watching again.
#include <algorithm>
#include <cstdio>
#include <string>

#include "driver/frame_stats.h"
#include "driver/run_demo.h"
#include "effects/particle_system.h"
#include "platform/web/web_platform.h"

namespace {

using quarvel::driver::Scene;

// A frame's cost is the drawing work, as quarvel-capture --stats counts it:
// the demo time between two drawn frames less the time the frame loop spent
// waiting (for the animation frame, or the audio worker's turns) and handing
// the picture to the canvas, which a native frame does not do. Once a second the page gets one line: frames drawn, the current
// scene, the audio bytes played, the median cost in the current scene; then
// one line per finished scene.
class PageStats final : public quarvel::driver::FrameObserver {
 public:
  explicit PageStats(quarvel::platform::web::WebPlatform& page)
      : page_(page),
        last_(page.nowMs()),
        lastWaited_(page.waitedMs()),
        lastHandedOver_(page.handedOverMs()),
        lastShown_(last_) {}

  void frameDrawn(Scene scene) override {
    const double now = page_.nowMs();
    const double waited = page_.waitedMs();
    const double handedOver = page_.handedOverMs();
    if (scene != Scene::End) {  // the last pass only ends the demo
      scene_ = scene;
      stats_.add(scene, (now - last_) - (waited - lastWaited_) - (handedOver - lastHandedOver_));
      page_.frameDrawn(quarvel::driver::sceneNumber(scene));
    }
    last_ = now;
    lastWaited_ = waited;
    lastHandedOver_ = handedOver;
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
                  static_cast<unsigned long long>(frames_), quarvel::driver::sceneNumber(scene_),
                  static_cast<unsigned long long>(audioBytes_),
                  static_cast<unsigned long long>(lateFrames_), stats_.medianMs(scene_));
    std::string text = line;
    if (ended) text += " | ended";
    for (const quarvel::driver::SceneCosts& s : stats_.summary()) {
      if (s.scene == scene_ && !ended) break;
      std::snprintf(line, sizeof line, "\nscene %d: %zu frames, median %.2f ms, p95 %.2f ms",
                    quarvel::driver::sceneNumber(s.scene), s.frames, s.medianMs, s.p95Ms);
      text += line;
    }
    page_.showStatus(text);
  }

 private:
  quarvel::platform::web::WebPlatform& page_;
  double last_;
  double lastWaited_;
  double lastHandedOver_;
  double lastShown_;
  std::uint64_t frames_ = 0;
  Scene scene_ = Scene::Star;
  std::uint64_t audioBytes_ = 0;
  std::uint64_t lateFrames_ = 0;
  quarvel::driver::FrameStats stats_;
};

}  // namespace

// Each showing gets a fresh backend and the program-wide values as they were
// at start, so picture and music start from the beginning.
int main() {
  const float swingAtStart = quarvel::effects::ParticleSystem::swing;
  int result = 0;
  do {
    quarvel::effects::ParticleSystem::swing = swingAtStart;
    quarvel::platform::web::WebPlatform page;
    PageStats stats(page);
    result = quarvel::driver::runDemo(page.platform(), &stats);
    stats.show(true);
    page.demoEnded();
  } while (result == 0 && quarvel::platform::web::waitToWatchAgain());
  return result;
}
