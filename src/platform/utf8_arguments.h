// The program's arguments as UTF-8 text on every system.
#pragma once

#include <string>
#include <vector>

namespace quarvel::platform {

// The arguments after the program's name, as UTF-8. On Windows they are read
// again from the wide command line: `argv` there holds only what the ANSI code
// page can spell. Elsewhere they are `argv` as given.
std::vector<std::string> utf8Arguments(int argc, char** argv);

}  // namespace quarvel::platform
