// The demo's one source of random numbers: the classic C runtime sequence, never seeded.
#pragma once

#include <cstdint>

namespace quarvel::effects {

// Every random choice of the demo (blob centres, then particles) draws from one
// instance owned by the driver, in a fixed order, so every run looks the same on
// every platform. The state starts at 1 and is never reseeded.
class DemoRandom {
 public:
  // Returns the next value of the sequence, 0..32767.
  int next() {
    state_ = state_ * 214013u + 2531011u;  // wraps modulo 2^32 by unsigned arithmetic
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t state_ = 1;
};

}  // namespace quarvel::effects
