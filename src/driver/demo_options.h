// How the demo is started: its command line, the screen it asks for, where its data files are.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarvel::driver {

// The demo's data files, by the names it opens them with.
inline constexpr std::array<const char*, 6> kDataFileNames{
    "zyl-mirvash2.xm", "star.df", "plonix.df", "hv.df", "wendup.df", "tolvenaq.df"};

struct DemoOptions {
  bool fullScreen = true;   // false: a window on the desktop
  std::uint32_t scale = 1;  // screen pixels per framebuffer pixel, each way: 1 to 6
  // Searched in order for each data file; an empty path is the current
  // directory. None: every file is opened by its bare name.
  std::vector<std::filesystem::path> dataFolders;
};

inline constexpr std::uint32_t kMaxWindowScale = 6;
inline constexpr std::uint32_t kDefaultWindowScale = 2;

inline constexpr const char* kDemoUsage =
    "Usage: quarvel [--window [--scale N]]\n"
    "   or: quarvel --help | --version\n"
    "\n"
    "Plays the demo with its music, 80 seconds; Escape ends it.\n"
    "  (no option)   full screen\n"
    "  --window      in a window instead\n"
    "  --scale N     the window's size: N x N screen pixels per pixel of the 320 x 240\n"
    "                picture, N from 1 to 6 (default 2)\n"
    "  --help        this text\n"
    "  --version     the release number\n"
    "The data files are read from the current directory, else from the program's folder,\n"
    "else from ../share/quarvel beside the program's folder.\n";

struct CommandLine {
  enum class Action { Run, Help, Version, Usage };
  Action action = Action::Run;
  DemoOptions options;  // for Run; its dataFolders stay empty
  std::string error;    // for Usage: what was wrong, one line
};

// Reads the demo's arguments (without the program name): Run with the screen
// they ask for, Help for --help, Version for --version, or Usage when an
// option is unknown, a value is missing or out of range, or --scale comes
// without --window.
CommandLine parseCommandLine(std::span<const std::string_view> args);

// The folders the programs search for data files: the current directory, then
// `programFolder` and the installed share/quarvel beside it (both left out when
// `programFolder` is empty).
std::vector<std::filesystem::path> dataFoldersNear(const std::filesystem::path& programFolder);

// The path to open data file `name` by: in the first of `folders` that holds
// it; when none does, in the first folder, so that the loader reports it
// missing there. With no folders, or found in the current directory, it is
// the bare name. UTF-8, as the loaders take it.
std::string dataFilePath(std::string_view name, std::span<const std::filesystem::path> folders);

// One line for standard error naming the data files that none of `folders`
// holds and the folders searched (the current directory by its full path),
// in UTF-8; empty when none is missing.
std::string missingDataWarning(std::string_view program,
                               std::span<const std::filesystem::path> folders);

}  // namespace quarvel::driver
