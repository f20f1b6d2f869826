// The running program's folder, from the operating system's record of its executable.
#include "platform/program_folder.h"

#include <system_error>

#if defined(_WIN32)
#include <windows.h>

#include <vector>
#endif

namespace quarvel::platform {

std::filesystem::path programFolder() {
#if defined(_WIN32)
  // The name may be longer than MAX_PATH; a full buffer means it was cut short.
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return std::filesystem::path(name.data()).parent_path();
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
#else
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
#endif
}

}  // namespace quarvel::platform
