// Writes 0x00RRGGBB pixels as an 8-bit RGB PNG file, without any compression library.
#pragma once

#include <cstdint>
#include <string>

namespace quarvel::tools {

// Rows from the top, `width` pixels each. Gives false when the file cannot be written.
bool writePng(const std::string& path, const std::uint32_t* pixels, std::uint32_t width,
              std::uint32_t height);

}  // namespace quarvel::tools
