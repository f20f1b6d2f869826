// The 44-byte RIFF header and little-endian samples of a PCM WAV file.
#include "capture/wav_file.h"

#include <fstream>

namespace quarvel::tools {
namespace {

void put16(std::ofstream& f, std::uint32_t v) {
  const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  f.write(bytes, 2);
}

void put32(std::ofstream& f, std::uint32_t v) {
  put16(f, v & 0xFFFF);
  put16(f, v >> 16);
}

}  // namespace

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
              std::uint32_t framesPerSecond) {
  std::ofstream f(path, std::ios::binary);
  if (!f) return false;
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  f.write("RIFF", 4);
  put32(f, 36 + dataBytes);
  f.write("WAVEfmt ", 8);
  put32(f, 16);
  put16(f, 1);  // PCM
  put16(f, 2);
  put32(f, framesPerSecond);
  put32(f, framesPerSecond * 4);
  put16(f, 4);
  put16(f, 16);
  f.write("data", 4);
  put32(f, dataBytes);
  for (const std::int16_t s : samples) put16(f, static_cast<std::uint16_t>(s));
  return static_cast<bool>(f);
}

}  // namespace quarvel::tools
