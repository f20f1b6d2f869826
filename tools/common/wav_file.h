// WAV files of interleaved 16-bit stereo PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quarvel::tools {

// The 44-byte header of a file that holds `frames` stereo frames.
std::vector<std::uint8_t> wavHeader(std::uint32_t frames, std::uint32_t framesPerSecond);

// Appends `count` samples as little-endian bytes.
void appendPcm(std::vector<std::uint8_t>& bytes, const std::int16_t* samples, std::size_t count);

// Writes a whole file; gives false when it cannot be written.
bool writeWav(const std::filesystem::path& path, const std::vector<std::int16_t>& interleavedStereo,
              std::uint32_t framesPerSecond);

}  // namespace quarvel::tools
