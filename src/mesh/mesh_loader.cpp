// Reader of .df mesh files.
#include "mesh/mesh_loader.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "platform/file_names.h"

namespace quarvel::mesh {
namespace {

// Reads `size` little-endian bytes; false when the input ends first.
bool readBytes(std::istream& input, unsigned char* out, std::size_t size) {
  input.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(input.gcount()) == size;
}

bool readInt16(std::istream& input, std::int16_t& value) {
  unsigned char bytes[2];
  if (!readBytes(input, bytes, 2)) return false;
  value = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
  return true;
}

bool readFloat(std::istream& input, float& value) {
  unsigned char bytes[4];
  if (!readBytes(input, bytes, 4)) return false;
  const std::uint32_t bits =
      static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
      (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

// Reads one chunk after its name. False when the chunk is damaged beyond use,
// which also ends the file: without lengths there is no way to find the next
// chunk again.
bool readChunk(std::istream& input, Mesh& out) {
  std::int16_t vertexCount = 0;
  if (!readInt16(input, vertexCount) || vertexCount < 0) return false;
  // Counts are 16-bit, so these reservations are bounded (at most 384 KiB).
  std::vector<math::Vec3> vertices;
  vertices.reserve(static_cast<std::size_t>(vertexCount));
  for (std::int16_t i = 0; i < vertexCount; ++i) {
    math::Vec3 v;
    if (!readFloat(input, v.x) || !readFloat(input, v.y) || !readFloat(input, v.z)) return false;
    vertices.push_back(v);
  }
  std::int16_t faceCount = 0;
  if (!readInt16(input, faceCount) || faceCount < 0) return false;
  std::vector<std::int32_t> indices;
  indices.reserve(static_cast<std::size_t>(faceCount) * 3);
  for (std::int16_t face = 0; face < faceCount; ++face) {
    std::int32_t corner[3];
    bool valid = true;
    for (std::int32_t& c : corner) {
      std::int16_t fileIndex = 0;
      if (!readInt16(input, fileIndex)) return false;
      c = static_cast<std::int32_t>(fileIndex) - 1;
      if (c < 0 || c >= vertexCount) valid = false;
    }
    if (valid) indices.insert(indices.end(), corner, corner + 3);
  }
  out =
      Mesh(vertices.data(), vertexCount, indices.data(), static_cast<std::int32_t>(indices.size()));
  return true;
}

}  // namespace

std::string readZeroTerminatedString(std::istream& input) {
  std::string text;
  for (;;) {
    const int c = input.get();
    if (c == std::char_traits<char>::eof() || c == 0) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

// Damaged files are handled so that the renderer never sees a bad index:
// - a chunk that ends early, or whose vertex or face count is negative, is
//   dropped and loading stops there (the chunks before it are kept);
// - a triangle with a corner outside 1..vertexCount is dropped, the rest of its
//   chunk is kept;
// - vertex values are taken as they are (the renderer culls non-finite ones).
void loadMeshStream(MeshList& list, std::istream& input) {
  constexpr auto kEnd = std::char_traits<char>::eof();
  if (input.peek() == kEnd) return;
  for (;;) {
    const std::string chunkName = readZeroTerminatedString(input);
    std::cout << chunkName << '\n' << std::flush;
    Mesh mesh;
    if (!readChunk(input, mesh)) break;
    list.push_back(std::move(mesh));
    if (input.peek() == kEnd) break;
  }
}

void loadMeshFile(MeshList& list, const char* name) {
  std::ifstream file(platform::pathFromUtf8(name), std::ios::binary);
  if (!file.is_open()) {
    std::cout << "error opening file : " << name << '\n' << std::flush;
    return;
  }
  loadMeshStream(list, file);
}

}  // namespace quarvel::mesh
