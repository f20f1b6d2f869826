// Four-component single-precision vector: homogeneous clip-space and screen positions.
#pragma once

namespace quarvel::math {

struct Vec4 {
  float x;
  float y;
  float z;
  float w;
};

}  // namespace quarvel::math
