// Writes interleaved 16-bit stereo PCM as a WAV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel::tools {

// Gives false when the file cannot be written.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& interleavedStereo,
              std::uint32_t framesPerSecond);

}  // namespace quarvel::tools
