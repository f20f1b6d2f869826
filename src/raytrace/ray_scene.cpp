// The demo's ray-traced scene: three coloured lights and two spheres.
#include "raytrace/ray_scene.h"

#include "math/elementary.h"

namespace quarvel::raytrace {

RayScene buildDemoScene(float angle, double& drift) {
  RayScene scene;
  scene.lights.push_back({{0.0f, 0.0f, 6.0f}, {0.0f, 1.0f, 0.0f}});
  scene.lights.push_back({{-10.0f, 10.0f, 10.0f}, {0.0f, 0.0f, 1.0f}});
  scene.lights.push_back({{3.0f, -2.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
  const double a = angle;
  const auto height = static_cast<float>(drift - 2.0);
  scene.spheres.push_back({0.25f, {1.0f, 0.0f, 0.0f}, {0.0f, height, 10.0f}});
  scene.spheres.push_back({1.0f,
                           {0.0f, 0.0f, 1.0f},
                           {static_cast<float>(2.0 * math::sin(a)), height,
                            static_cast<float>(10.0 + 2.0 * math::cos(a))}});
  drift = drift + 0.002;
  return scene;
}

}  // namespace quarvel::raytrace
