// The fixed camera ray table, built before the program's entry point.
#include "raytrace/camera_rays.h"

#include <cstddef>

#include "math/elementary.h"

namespace quarvel::raytrace {

CameraRayTable buildCameraRays(float fov, int width, int height) {
  CameraRayTable rays;
  if (width <= 0 || height <= 0) return rays;
  rays.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const double f = 1.0 / math::tan(static_cast<double>(fov) / 2.0);
  const double yTop = static_cast<double>(height) / width;
  const double yStep = (2.0 * yTop) / height;
  const double xStep = 2.0 / width;
  // Steps are accumulated, not recomputed from the index: the table keeps the
  // accumulated rounding (the centre ray is off the axis by about 1e-15).
  double y = yTop;
  for (int row = 0; row < height; ++row) {
    double x = -1.0;
    for (int column = 0; column < width; ++column) {
      const math::Vec3 through{static_cast<float>(x), static_cast<float>(y), static_cast<float>(f)};
      rays.push_back({{0.0f, 0.0f, 0.0f}, math::normalize(through)});
      x = x + xStep;
    }
    y = y - yStep;
  }
  return rays;
}

const CameraRayTable& cameraRayTable() {
  // A function-local static cannot be read before it is built, whatever the
  // order in which translation units initialise.
  static const CameraRayTable table = buildCameraRays(kCameraFov, kCameraWidth, kCameraHeight);
  return table;
}

namespace {

// Forces the build during static initialisation, so that the first frame does
// not pay for it; this object file is linked whenever cameraRayTable is used.
[[maybe_unused]] const CameraRayTable& gBuiltBeforeMain = cameraRayTable();

}  // namespace

}  // namespace quarvel::raytrace
