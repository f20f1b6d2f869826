// The demo's entry point: its options, the backend of the platform it was built for, and the demo.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/demo_options.h"
#include "driver/run_demo.h"
#include "platform/program_folder.h"
#include "platform/utf8_arguments.h"
#include "quarvel_version.h"

#if defined(_WIN32)
#include "platform/win32/win32_platform.h"
#else
#include "platform/sdl/sdl_platform.h"
#endif

int main(int argc, char** argv) {
  using quarvel::driver::CommandLine;
  const std::vector<std::string> utf8 = quarvel::platform::utf8Arguments(argc, argv);
  const std::vector<std::string_view> args(utf8.begin(), utf8.end());
  CommandLine line = quarvel::driver::parseCommandLine(args);
  if (line.action == CommandLine::Action::Help) {
    std::cout << quarvel::driver::kDemoUsage;
    return 0;
  }
  if (line.action == CommandLine::Action::Version) {
    std::cout << "quarvel " << quarvel::kVersion << "\n";
    return 0;
  }
  if (line.action == CommandLine::Action::Usage) {
    std::cerr << "quarvel: " << line.error << "\n" << quarvel::driver::kDemoUsage;
    return 2;
  }
  line.options.dataFolders = quarvel::driver::dataFoldersNear(quarvel::platform::programFolder());
  const std::string warning =
      quarvel::driver::missingDataWarning("quarvel", line.options.dataFolders);
  if (!warning.empty()) std::cerr << warning << std::endl;

#if defined(_WIN32)
  quarvel::platform::win32::Win32Platform backend;
#else
  quarvel::platform::sdl::SdlPlatform backend;
#endif
  return quarvel::driver::runDemo(backend.platform(), nullptr, line.options);
}
