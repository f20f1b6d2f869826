// Runs the same work on the reference and on each lane target, and compares the results.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lanes/vector_path.h"

namespace quarvel::lanes {

// Test names and messages show a target by its name.
inline void PrintTo(VectorPath path, std::ostream* out) {
  *out << vectorPathName(path);
}

}  // namespace quarvel::lanes

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

// One row of a table of tests over the lane targets: each test runs its work
// with the reference's table and with the row's target's, side by side, and
// compares the words. A target this build or processor cannot run is skipped,
// by name.
class LaneTargetTest : public ::testing::TestWithParam<lanes::VectorPath> {
 protected:
  void SetUp() override {
    if (!lanes::canRun(GetParam())) {
      GTEST_SKIP() << "target " << lanes::vectorPathName(GetParam())
                   << " is not built for or not run by this machine";
    }
  }
  void TearDown() override { lanes::setVectorPath(lanes::bestVectorPath()); }

  // Runs work(VectorPath::Reference) and work(this row's target); work builds
  // its own input, runs it on the kernel table of the path it is given and
  // returns what it produced. Expects the same words, and names the first one
  // that differs.
  template <class Work>
  void expectSameAsReference(const std::string& name, Work work) {
    const Words expected = work(lanes::VectorPath::Reference);
    const Words got = work(GetParam());
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    EXPECT_TRUE(at == got.size() && at == expected.size())
        << name << " on " << lanes::vectorPathName(GetParam()) << ": word " << at << " differs";
  }
};

// Every lane target, for INSTANTIATE_TEST_SUITE_P.
inline auto laneTargets() {
  std::vector<lanes::VectorPath> targets;
  for (const lanes::VectorPath path : lanes::allVectorPaths()) {
    if (path != lanes::VectorPath::Reference) targets.push_back(path);
  }
  return ::testing::ValuesIn(targets);
}

// Names the table's rows after their targets.
inline std::string targetName(const ::testing::TestParamInfo<lanes::VectorPath>& info) {
  return lanes::vectorPathName(info.param);
}

}  // namespace quarvel::testing
