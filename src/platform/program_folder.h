// The folder that holds the running program's executable.
#pragma once

#include <filesystem>

namespace quarvel::platform {

// The running executable's folder as the operating system reports it; empty
// where it cannot tell (for example in a browser).
std::filesystem::path programFolder();

}  // namespace quarvel::platform
