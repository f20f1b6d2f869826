// The millisecond clock that times frames.
#pragma once

#include <cstdint>

namespace quarvel::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed moment, wrapping to 0 after 2^32.
  virtual std::uint32_t milliseconds() = 0;
};

}  // namespace quarvel::platform
