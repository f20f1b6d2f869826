// Start-up, the frame loop and shutdown.
#include "driver/run_demo.h"

#include <array>
#include <iostream>

#include "display/bitmap.h"
#include "display/display.h"
#include "driver/frame_timer.h"
#include "effects/blobs.h"
#include "effects/demo_random.h"
#include "effects/particle_sprite.h"
#include "effects/particle_system.h"
#include "math/mat4.h"
#include "mesh/mesh_loader.h"
#include "music/music_player.h"
#include "raster/mesh_renderer.h"

namespace quarvel::driver {

// Objects are built in the order below and, being locals, released in the
// reverse order: renderer, greetings (last loaded first), display, star, and
// the music last.
int runDemo(const platform::Platform& platform, FrameObserver* observer,
            const DemoOptions& options) {
  platform::WindowSystem& windows = platform.windows;
  const auto data = [&](std::string_view name) { return dataFilePath(name, options.dataFolders); };

  FrameTimer frameTimer(platform.clock);
  FpsCounter fpsCounter(&frameTimer);

  // The music starts first and plays through the rest of start-up; if it
  // cannot play, the demo runs silently on the same schedule.
  music::MusicPlayer musicPlayer(data("zyl-mirvash2.xm").c_str(), platform.sound, platform.threads);
  musicPlayer.play();

  mesh::MeshList star;
  mesh::loadMeshFile(star, data("star.df").c_str());

  display::Display display(windows, platform.draw, "Quarvel", 320, 240, options.scale,
                           options.fullScreen ? 1 : 0);
  windows.showCursor(false);

  DemoState state;
  display::Bitmap frame{display.pixels, display.width, display.height};

  std::array<mesh::MeshList, kGreetingCount> greetings;
  mesh::loadMeshFile(greetings[kPlonix], data("plonix.df").c_str());
  mesh::loadMeshFile(greetings[kHv], data("hv.df").c_str());
  mesh::loadMeshFile(greetings[kWendup], data("wendup.df").c_str());
  mesh::loadMeshFile(greetings[kTolvenaq], data("tolvenaq.df").c_str());

  raster::MeshRenderer renderer(&frame, 0, static_cast<std::int32_t>(display.height), 0,
                                static_cast<std::int32_t>(display.width));
  renderer.view = math::identity();

  // Every random choice comes from this one sequence, blobs first.
  effects::DemoRandom random;
  std::array<effects::BlobPoint, effects::kBlobPointCount> blobPoints{};
  effects::fillBlobPoints(blobPoints, random);
  effects::BlobField blobField;

  std::array<std::uint32_t, effects::kParticleSpriteSize * effects::kParticleSpriteSize>
      spritePixels{};
  display::Bitmap sprite{spritePixels.data(), effects::kParticleSpriteSize,
                         effects::kParticleSpriteSize};
  effects::fillParticleSprite(sprite);

  effects::ParticleSystem particles(1000, {160, 120, 0}, random);

  Stage stage{windows,  display,   frame,      frameTimer, state,  renderer,
              star,     greetings, blobPoints, blobField,  sprite, particles};

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
    state.sceneClock =
        static_cast<float>(static_cast<double>(state.sceneClock) + frameTimer.seconds());

    const float fps = static_cast<float>(fpsCounter.tick());
    if (fps != 0.0f) std::cout << '[' << fps << ']' << std::endl;

    state.angle = static_cast<float>(static_cast<double>(state.angle) + 0.05);
    if (windows.escapePressed()) windows.postQuitMessage(0);
    if (observer != nullptr) observer->frameDrawn(scene);
  }
  return 0;
}

}  // namespace quarvel::driver
