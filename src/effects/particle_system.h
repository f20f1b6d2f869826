// A 2D particle fountain in screen space, drawn additively with a small sprite.
#pragma once

#include <cstdint>
#include <vector>

#include "display/bitmap.h"
#include "effects/demo_random.h"
#include "math/vec3.h"

namespace quarvel::effects {

struct EffectKernels;

struct Particle {
  math::Vec3 position;  // pixels; z is never read
  math::Vec3 velocity;  // pixels per second; z is never read
  float life;           // falls by 5 per second; below 0 the particle is reborn
  float heading;        // radians: the direction of the swirl term
};

// Particles start at `origin` with life 1, fly with their own velocity plus a
// swirl that runs round an ellipse set by `swing`, and are reborn at the
// origin when their life runs out. The random sequence is shared with the
// rest of the demo and must outlive the system.
class ParticleSystem {
 public:
  // Draws 8 numbers per particle from `random`, in index order.
  ParticleSystem(std::uint32_t count, math::Vec3 origin, DemoRandom& random);
  virtual ~ParticleSystem() = default;

  // Moves every particle by dt seconds, turns its heading by two degrees, and
  // moves `swing` by one step whatever dt is.
  void move(double dt);
  // Takes 5 * dt of life from every particle, rebirths those below 0 with new
  // random values, and turns `spin` by one degree.
  void age(double dt);
  // Stamps the sprite, columns outer, at every particle; every tenth particle
  // (from the first) is tinted green.
  void draw(display::Bitmap& target, const display::Bitmap& sprite) const;
  // draw on the given kernels (the reference where the stamp is null), for
  // comparing targets side by side.
  void draw(const EffectKernels& kernels, display::Bitmap& target,
            const display::Bitmap& sprite) const;

  // The sprite pixel s scaled per channel by the channel masks and factors,
  // each clamped to 0..255 and truncated.
  std::uint32_t shade(std::uint32_t s, float red, float green, float blue) const;

  // Shared by every system: 1 at program start, between 0 and 5 after the first move.
  inline static float swing = 1.0f;

  std::uint8_t channelMask[3] = {1, 1, 1};
  std::uint8_t active = 1;  // while 0, nothing moves, ages or draws
  std::vector<Particle> particles;
  math::Vec3 origin;
  double initialLife = 1.0;
  std::uint32_t count;
  float spin = 0.0f;        // base heading of reborn particles, radians
  float swingRate = 0.02f;  // change of swing per move; flips sign at 0 and 5

 private:
  DemoRandom* random_;
};

// Adds half of each channel of `colour` to the pixel nearest (x, y), saturating
// at 255; the top byte becomes 0. Points outside the bitmap are ignored.
void plotAdditive(float x, float y, std::uint32_t colour, display::Bitmap& target);

}  // namespace quarvel::effects
