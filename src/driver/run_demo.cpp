// Start-up, the frame loop and shutdown.
#include "driver/run_demo.h"

#include <iostream>

#include "display/bitmap.h"
#include "display/display.h"
#include "driver/frame_timer.h"

namespace quarvel::driver {

int runDemo(const platform::Platform& platform, FrameObserver* observer) {
  platform::WindowSystem& windows = platform.windows;

  FrameTimer frameTimer(platform.clock);
  FpsCounter fpsCounter(&frameTimer);

  display::Display display(windows, platform.draw, "Quarvel", 320, 240, 1, 1);
  windows.showCursor(false);

  DemoState state;
  display::Bitmap frame{display.pixels, display.width, display.height};

  Stage stage{windows, display, frame, frameTimer, state};

  // The record holds the first pending message, if any; an empty queue leaves
  // it all zero and the loop starts drawing at once.
  platform::Message message{};
  windows.peekMessage(message, false);

  while (message.message != platform::kMessageQuit) {
    // Messages are drained one per pass; no frame is drawn while any are pending.
    if (windows.peekMessage(message, true)) {
      windows.translateMessage(message);
      windows.dispatchMessage(message);
      continue;
    }

    frameTimer.start();
    const Scene scene = runTimelineStep(stage);
    display.present();
    frameTimer.stop();
    state.sceneClock = static_cast<float>(static_cast<double>(state.sceneClock) + frameTimer.seconds());

    const float fps = static_cast<float>(fpsCounter.tick());
    if (fps != 0.0f) std::cout << '[' << fps << ']' << std::endl;

    state.angle = static_cast<float>(static_cast<double>(state.angle) + 0.05);
    if (windows.escapePressed()) windows.postQuitMessage(0);
    if (observer != nullptr) observer->frameDrawn(scene);
  }
  return 0;
}

}  // namespace quarvel::driver
