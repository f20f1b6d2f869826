// Scratch directories for tests that write files, unique per test and process so that
// test runs side by side (ctest -j) never share one.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace quarvel::testing {

// A fresh, empty directory in the temporary folder named after the running test
// and the process id. The caller removes it when done.
inline std::filesystem::path scratchDirectory() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
#if defined(_WIN32)
  const int pid = _getpid();
#else
  const int pid = static_cast<int>(getpid());
#endif
  const auto dir =
      std::filesystem::temp_directory_path() / (std::string("quarvel-") + test->test_suite_name() +
                                                "-" + test->name() + "-" + std::to_string(pid));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace quarvel::testing
