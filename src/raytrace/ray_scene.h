// The ray-traced world: spheres and point lights, and the demo's two-sphere scene.
#pragma once

#include <vector>

#include "math/vec3.h"

namespace quarvel::raytrace {

// Seven packed floats. `colour` (RGB 0..1) is carried but never read by shading:
// every sphere is lit as white.
struct Sphere {
  float radiusSquared;  // world units squared; used as stored, never rooted
  math::Vec3 colour;
  math::Vec3 centre;
};
static_assert(sizeof(Sphere) == 28, "spheres are seven packed floats");

// A point light. `colour` weights the diffuse term per channel (0..1 in the demo).
struct Light {
  math::Vec3 position;
  math::Vec3 colour;
};
static_assert(sizeof(Light) == 24, "lights are six packed floats");

// One frame's world. A sphere is identified by its index in `spheres`; append
// only, and never reorder while a frame is traced.
struct RayScene {
  std::vector<Sphere> spheres;
  std::vector<Light> lights;
};

// The demo's scene for running angle `angle` (radians): green, blue and red
// lights, then a small sphere at (0, drift - 2, 10) and a unit sphere orbiting
// it at radius 2 in the horizontal plane (centre components computed in double
// and rounded to float). Afterwards drift grows by 0.002.
RayScene buildDemoScene(float angle, double& drift);

}  // namespace quarvel::raytrace
