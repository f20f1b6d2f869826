// Arguments from the wide command line on Windows, from argv elsewhere.
#include "platform/utf8_arguments.h"

#if defined(_WIN32)
#include <windows.h>
// shellapi.h needs the types windows.h declares.
#include <shellapi.h>
#endif

namespace quarvel::platform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
      const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
      if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
      }
      text.pop_back();  // the terminating zero
      args.push_back(std::move(text));
    }
    LocalFree(wide);
    return args;
  }
#endif
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace quarvel::platform
