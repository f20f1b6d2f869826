// Running the tools as a user does, through the shell, in a scratch folder of the test's own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/scratch.h"

namespace quarvel::testing {

// The bytes of a file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A scratch folder for the running test, removed at the end. run() executes `command` there
// and gives its exit code (-1 when it did not exit); its standard output and error land in
// `output` when given.
struct ToolFolder {
  const std::filesystem::path dir = scratchDirectory();
  ~ToolFolder() { std::filesystem::remove_all(dir); }

  int run(const std::string& command, std::string* output = nullptr) const {
#if defined(_WIN32)
    const std::string cd = "cd /d \"";  // the scratch folder may lie on another drive
#else
    const std::string cd = "cd \"";
#endif
    const int status =
        std::system((cd + dir.string() + "\" && " + command + " > out.txt 2>&1").c_str());
    if (output != nullptr) *output = readFile(dir / "out.txt");
#if defined(_WIN32)
    if (output != nullptr) {  // console text ends its lines with CR LF there
      for (std::size_t at = output->find("\r\n"); at != std::string::npos;
           at = output->find("\r\n", at)) {
        output->erase(at, 1);
      }
    }
    return status;  // Windows gives the exit code itself
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }
};

}  // namespace quarvel::testing
