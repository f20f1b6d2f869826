// Hashes of what the headless backend presents and records, to compare runs and builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace quarvel::platform::headless {

// FNV-1a (64-bit) over the values, each taken by its unsigned bit pattern: pixels
// as 32-bit words, sound samples as 16-bit words. One hash per presented picture
// and one for the whole recording identify a run.
template <class T>
std::uint64_t outputHash(const T* values, std::size_t count) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < count; ++i) {
    hash = (hash ^ static_cast<std::make_unsigned_t<T>>(values[i])) * 1099511628211ull;
  }
  return hash;
}

}  // namespace quarvel::platform::headless
