// Opening files by path through the API that takes every name the system allows.
#include "platform/file_names.h"

#include <cstdlib>
#include <string>

namespace quarvel::platform {
namespace {

#if defined(_WIN32)
std::wstring wide(std::string_view utf8) {
  return pathFromUtf8(utf8).native();  // a path keeps its text as given, in UTF-16
}
#endif

}  // namespace

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
#if defined(_WIN32)
  return _wfopen(path.c_str(), wide(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::FILE* openCommandPipe(std::string_view command, const char* mode) {
#if defined(_WIN32)
  return _wpopen(wide(command).c_str(), wide(mode).c_str());
#else
  return popen(std::string(command).c_str(), mode);
#endif
}

int runCommand(std::string_view command) {
#if defined(_WIN32)
  return _wsystem(wide(command).c_str());
#else
  return std::system(std::string(command).c_str());
#endif
}

}  // namespace quarvel::platform
