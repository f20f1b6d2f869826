// Writes 0x00RRGGBB pixels as compressed 8-bit RGB PNG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quarvel::tools {

// False when this build has no PNG library (the Windows cross build): writePng then fails.
bool pngSupported();

// Rows from the top, `width` pixels each, a row every `stride` pixels (0: `width`); the top
// byte of a pixel is ignored. Gives false when the file cannot be written.
bool writePng(const std::filesystem::path& path, const std::uint32_t* pixels, std::uint32_t width,
              std::uint32_t height, std::uint32_t stride = 0);

}  // namespace quarvel::tools
