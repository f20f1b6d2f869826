// The 8 x 8 grey sprite that every particle is drawn with.
#pragma once

#include <cstdint>

#include "display/bitmap.h"

namespace quarvel::effects {

inline constexpr std::uint32_t kParticleSpriteSize = 8;

// Fills an 8 x 8 bitmap (64 pixels, caller-owned) with a soft dot: for column i
// and row j, v = trunc(100 / distance from (3.5, 3.5)), 0 below 33, stored as the
// grey 0x00vvvvvv. Returns false and writes nothing if the bitmap is not 8 x 8.
bool fillParticleSprite(display::Bitmap& sprite);

}  // namespace quarvel::effects
