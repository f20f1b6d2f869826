// The RIFF header and little-endian samples of a PCM WAV file.
#include "common/wav_file.h"

#include <fstream>

namespace quarvel::tools {
namespace {

void put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> wavHeader(std::uint32_t frames, std::uint32_t framesPerSecond) {
  const std::uint32_t dataBytes = frames * 4;
  std::vector<std::uint8_t> h{'R', 'I', 'F', 'F'};
  put32(h, 36 + dataBytes);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(h, 16);
  put16(h, 1);  // PCM
  put16(h, 2);
  put32(h, framesPerSecond);
  put32(h, framesPerSecond * 4);
  put16(h, 4);
  put16(h, 16);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  put32(h, dataBytes);
  return h;
}

void appendPcm(std::vector<std::uint8_t>& bytes, const std::int16_t* samples, std::size_t count) {
  // Sized once: byte-by-byte growth was a tenth of xmrender's time.
  const std::size_t at = bytes.size();
  bytes.resize(at + 2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i]);
    bytes[at + 2 * i] = static_cast<std::uint8_t>(v);
    bytes[at + 2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

bool writeWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
              std::uint32_t framesPerSecond) {
  std::ofstream f(path, std::ios::binary);
  if (!f) return false;
  std::vector<std::uint8_t> bytes =
      wavHeader(static_cast<std::uint32_t>(samples.size() / 2), framesPerSecond);
  appendPcm(bytes, samples.data(), samples.size());
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace quarvel::tools
