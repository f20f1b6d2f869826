// The demo's command line and the search for its data files.
#include "driver/demo_options.h"

#include <system_error>

#include "platform/file_names.h"

namespace quarvel::driver {
namespace fs = std::filesystem;

namespace {

bool holds(const fs::path& folder, std::string_view name) {
  std::error_code error;
  return fs::is_regular_file(folder / platform::pathFromUtf8(name), error);
}

std::string pathIn(const fs::path& folder, std::string_view name) {
  return folder.empty() ? std::string(name)
                        : platform::utf8FromPath(folder / platform::pathFromUtf8(name));
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> args) {
  CommandLine line;
  const auto refuse = [&](std::string error) {
    line.action = CommandLine::Action::Usage;
    line.error = std::move(error);
    return line;
  };
  bool scaleGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    }
    if (arg == "--window") {
      line.options.fullScreen = false;
    } else if (arg == "--scale") {
      if (i + 1 == args.size()) return refuse("--scale needs a number");
      const std::string_view value = args[++i];
      if (value.size() != 1 || value[0] < '1' ||
          static_cast<std::uint32_t>(value[0] - '0') > kMaxWindowScale) {
        return refuse("--scale takes a whole number from 1 to 6, not '" + std::string(value) + "'");
      }
      line.options.scale = static_cast<std::uint32_t>(value[0] - '0');
      scaleGiven = true;
    } else {
      return refuse("unknown option '" + std::string(arg) + "'");
    }
  }
  if (line.options.fullScreen && scaleGiven) return refuse("--scale works with --window");
  if (!line.options.fullScreen && !scaleGiven) line.options.scale = kDefaultWindowScale;
  return line;
}

std::vector<fs::path> dataFoldersNear(const fs::path& programFolder) {
  std::vector<fs::path> folders{fs::path()};
  if (!programFolder.empty()) {
    folders.push_back(programFolder);
    // Installed: bin/quarvel reads share/quarvel/.
    folders.push_back(programFolder.parent_path() / "share" / "quarvel");
  }
  return folders;
}

std::string dataFilePath(std::string_view name, std::span<const fs::path> folders) {
  for (const fs::path& folder : folders) {
    if (holds(folder, name)) return pathIn(folder, name);
  }
  return folders.empty() ? std::string(name) : pathIn(folders.front(), name);
}

std::string missingDataWarning(std::string_view program, std::span<const fs::path> given) {
  // No folders means the current directory alone.
  const fs::path here[] = {fs::path()};
  const std::span<const fs::path> folders = given.empty() ? std::span<const fs::path>(here) : given;
  std::string missing;
  for (const char* name : kDataFileNames) {
    bool found = false;
    for (const fs::path& folder : folders) found = found || holds(folder, name);
    if (!found) missing += (missing.empty() ? "" : ", ") + std::string(name);
  }
  if (missing.empty()) return {};
  std::string searched;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    std::error_code error;
    const fs::path shown = folders[i].empty() ? fs::current_path(error) : folders[i];
    const char* separator = i == 0 ? "" : i + 1 < folders.size() ? ", " : " and ";
    searched += separator + platform::utf8FromPath(shown);
  }
  return std::string(program) + ": data files not found: " + missing + " (searched " + searched +
         "); the demo runs without them";
}

}  // namespace quarvel::driver
