// A ray: origin and unit direction, used for camera, shadow and reflected rays alike.
#pragma once

#include "math/vec3.h"

namespace quarvel::raytrace {

// `direction` must be unit length: intersection never divides by its squared length.
struct Ray {
  math::Vec3 origin;
  math::Vec3 direction;
};
static_assert(sizeof(Ray) == 24, "rays are six packed floats");

}  // namespace quarvel::raytrace
