// Runs the same work on the reference path and on every fast path, and compares the results.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lanes/vector_path.h"

namespace quarvel::testing {

using Words = std::vector<std::uint32_t>;

// `count` random words from a fixed seed: pixels with junk in the top byte.
inline Words noise(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Words words(count);
  for (std::uint32_t& w : words) w = random();
  return words;
}

// Appends the bytes of `values` (floats bit for bit: NaN and -0 count).
template <class T>
void appendWords(Words& out, const std::vector<T>& values) {
  static_assert(sizeof(T) == 4);
  const std::size_t at = out.size();
  out.resize(at + values.size());
  std::memcpy(out.data() + at, values.data(), values.size() * 4);
}

// Runs work() on the reference path and then on each fast path the processor
// has; work builds its own input and returns what it produced. Expects the
// same words every time, and names the first one that differs.
template <class Work>
void expectSameOnEveryPath(const std::string& name, Work work) {
  lanes::setVectorPath(lanes::VectorPath::Reference);
  const Words expected = work();
  for (const lanes::VectorPath p : lanes::allVectorPaths()) {
    if (p == lanes::VectorPath::Reference || !lanes::canRun(p)) continue;
    const lanes::VectorPath path = lanes::setVectorPath(p);
    const Words got = work();
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    EXPECT_TRUE(at == got.size() && at == expected.size())
        << name << " on " << lanes::vectorPathName(path) << ": word " << at << " differs";
  }
  lanes::setVectorPath(lanes::bestVectorPath());
}

}  // namespace quarvel::testing
