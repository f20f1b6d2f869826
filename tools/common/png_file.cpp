// PNG writing with stored (uncompressed) deflate blocks: simple, exact and dependency-free.
#include "common/png_file.h"

#include <array>
#include <fstream>
#include <vector>

namespace quarvel::tools {
namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void writeChunk(std::ofstream& file, const char type[4], const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> chunk;
  putBig32(chunk, static_cast<std::uint32_t>(body.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), body.begin(), body.end());
  putBig32(chunk, crc32(chunk.data() + 4, chunk.size() - 4));
  file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
}

}  // namespace

bool writePng(const std::string& path, const std::uint32_t* pixels, std::uint32_t width,
              std::uint32_t height) {
  // Raw scanlines: a filter byte (none) and then red, green, blue per pixel.
  std::vector<std::uint8_t> raw;
  raw.reserve(std::size_t{height} * (1 + 3 * std::size_t{width}));
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[std::size_t{y} * width + x];
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
    }
  }

  // A zlib stream of stored blocks of at most 65535 bytes each.
  std::vector<std::uint8_t> zlib{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + n == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<std::uint8_t>(n));
    zlib.push_back(static_cast<std::uint8_t>(n >> 8));
    zlib.push_back(static_cast<std::uint8_t>(~n));
    zlib.push_back(static_cast<std::uint8_t>(~n >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  putBig32(zlib, (b << 16) | a);

  std::ofstream file(path, std::ios::binary);
  if (!file) return false;
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  file.write(reinterpret_cast<const char*>(kSignature), 8);
  std::vector<std::uint8_t> header;
  putBig32(header, width);
  putBig32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  writeChunk(file, "IHDR", header);
  writeChunk(file, "IDAT", zlib);
  writeChunk(file, "IEND", {});
  return static_cast<bool>(file);
}

}  // namespace quarvel::tools
