// Scene selection and the four scenes' frame steps.
#include "driver/timeline.h"

#include "effects/frame_passes.h"
#include "math/elementary.h"
#include "math/mat4.h"
#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace.h"

namespace quarvel::driver {
namespace {

constexpr float kAspect = 1.3333334f;  // 4 / 3 as a float
constexpr float kNear = 0.1f;
constexpr float kFar = 100.0f;
constexpr float kQuarterPi = 0.7853982f;

// Only the first mesh of a file is drawn; a list left empty by a missing file
// skips its draw and the rest of the scene runs as usual.
void renderFirstMesh(raster::MeshRenderer& renderer, const mesh::MeshList& list, float red,
                     float green, float blue) {
  if (list.empty()) return;
  const mesh::Mesh& m = list.front();
  renderer.render(m.vertices.data(), m.indices.data(), m.indexCount, red, green, blue);
}

// A star spinning on a circle over a blurred, fading copy of the previous
// frames; a field of view beyond pi grows it out of the centre, mirrored.
void drawStarScene(Stage& s) {
  DemoState& st = s.state;
  st.zoomFov = static_cast<float>(static_cast<double>(st.zoomFov) + 0.0005);
  st.redLevel = st.redLevel + 0.001;

  effects::blurFrame(s.frame);
  effects::blurFrame(s.frame);
  effects::fadeFrame(s.frame);

  s.renderer.clearDepth(0.0f);
  // Sine and cosine of the float angle in double, each product rounded once.
  const double angle = st.angle;
  s.renderer.model =
      math::multiply(math::rotationY(st.angle),
                     math::translation(static_cast<float>(4.0 * math::sin(angle)),
                                       static_cast<float>(4.0 * math::cos(angle)), -7.0f));
  s.renderer.projection = math::perspective(st.zoomFov, kAspect, kNear, kFar);
  renderFirstMesh(s.renderer, s.star, static_cast<float>(st.redLevel), 0.5f, 1.0f);
}

// Two spheres orbiting in front of the fixed camera, rising with `drift`.
void drawRayScene(Stage& s) {
  s.display.clear(0);
  const raytrace::RayScene scene = raytrace::buildDemoScene(s.state.angle, s.state.drift);
  raytrace::traceFrame(raytrace::cameraRayTable(), scene, s.frame);
}

// Ten centres summed into the field at their old positions, then moved; the
// field above 0.99 becomes near-white and the result is softened.
void drawBlobScene(Stage& s) {
  s.display.clear(0);
  s.blobField.clear();
  for (const effects::BlobPoint& p : s.blobPoints) {
    effects::addBlob(effects::blobCentre(p.x), effects::blobCentre(p.y), s.blobField.data(),
                     p.strength, s.frame);
  }
  const auto width = static_cast<float>(s.display.width);
  const auto height = static_cast<float>(s.display.height);
  for (effects::BlobPoint& p : s.blobPoints) effects::moveBlobPoint(p, width, height);
  effects::thresholdBlobs(s.blobField.data(), 0.99f, s.frame, static_cast<int>(s.display.width),
                          static_cast<int>(s.display.height));
  effects::blurFrame(s.frame);
}

// The four greetings sliding into view, the fountain over them, then the whole
// frame inverted.
void drawGreetingsScene(Stage& s) {
  const double slide = s.state.slide;
  s.display.clear(0);
  s.renderer.clearDepth(0.0f);
  s.renderer.projection = math::perspective(kQuarterPi, kAspect, kNear, kFar);

  s.renderer.model = math::translation(0.0f, static_cast<float>(slide - 12), -28.0f);
  renderFirstMesh(s.renderer, s.greetings[kHv], 0.5f, 0.5f, 0.6f);
  s.renderer.model = math::translation(static_cast<float>(slide - 14), -4.0f, -28.0f);
  renderFirstMesh(s.renderer, s.greetings[kPlonix], 0.6f, 0.5f, 0.5f);
  s.renderer.model = math::translation(static_cast<float>(15 - slide), -3.0f, -28.0f);
  renderFirstMesh(s.renderer, s.greetings[kWendup], 0.5f, 0.6f, 0.5f);
  s.renderer.model = math::translation(0.0f, static_cast<float>(10 - slide), -38.0f);
  renderFirstMesh(s.renderer, s.greetings[kTolvenaq], 0.6f, 0.6f, 0.6f);
  s.state.slide = slide + 0.01;

  // The timer runs for this frame, so seconds() is still the previous frame's.
  const double dt = s.timer.seconds();
  s.particles.move(dt);
  s.particles.draw(s.frame, s.sprite);
  s.particles.age(dt);

  effects::invertFrom(0, 0, s.frame);
}

}  // namespace

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
      drawStarScene(stage);
      break;
    case Scene::Rays:
      drawRayScene(stage);
      break;
    case Scene::Blobs:
      drawBlobScene(stage);
      break;
    case Scene::Greetings:
      drawGreetingsScene(stage);
      break;
    case Scene::End:
      // Nothing is drawn: the last picture is presented once more.
      stage.windows.postQuitMessage(0);
      break;
  }
  return scene;
}

}  // namespace quarvel::driver
