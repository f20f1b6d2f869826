// File names as UTF-8 text on every system, and files opened by them whatever letters they hold.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace quarvel::platform {

// The path that UTF-8 `text` names. Narrow names are UTF-8 throughout the
// programs; on Windows the path holds them as UTF-16, so the wide API sees them.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// `path` as UTF-8 text, for messages and for the narrow names the loaders take.
inline std::string utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// std::fopen for any path: through the wide API on Windows, where the narrow one
// only reaches names in the ANSI code page. Null when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// popen and std::system for a UTF-8 command line, which may name such files;
// close the pipe with pclose.
std::FILE* openCommandPipe(std::string_view command, const char* mode);
int runCommand(std::string_view command);

}  // namespace quarvel::platform
