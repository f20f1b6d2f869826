// Scene selection and the scenes' frame steps.
#include "driver/timeline.h"

namespace quarvel::driver {

Scene selectScene(float sceneClock) {
  if (sceneClock < 15.0f) return Scene::Star;
  if (sceneClock < 40.0f) return Scene::Rays;
  if (sceneClock < 55.0f) return Scene::Blobs;
  if (sceneClock < 80.0f) return Scene::Greetings;
  return Scene::End;
}

Scene runTimelineStep(Stage& stage) {
  const Scene scene = selectScene(stage.state.sceneClock);
  switch (scene) {
    case Scene::Star:
    case Scene::Rays:
    case Scene::Blobs:
    case Scene::Greetings:
      stage.display.clear(0);
      break;
    case Scene::End:
      // Nothing is drawn: the last picture is presented once more.
      stage.windows.postQuitMessage(0);
      break;
  }
  return scene;
}

}  // namespace quarvel::driver
