// Builds the demo's closed, outward-wound meshes and encodes them as .df files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"

namespace quarvel::meshgen {

// Outer point radius of the star, in model units.
inline constexpr float kStarRadius = 7.5f;
// Height of the greeting letters, in model units.
inline constexpr float kLetterHeight = 2.5f;

// A solid five-pointed star in the x-y plane (one point up, +y), extruded
// along z and centred on the origin.
mesh::Mesh buildStar();

// The word in solid block capitals, left to right along +x, centred on the
// origin, kLetterHeight tall. Letters other than those of the greetings
// (d, e, h, i, l, n, o, p, q, t, u, v, w, x, a) are left out.
mesh::Mesh buildWord(std::string_view word);

// One .df chunk: name, zero byte, counts and records, little-endian, indices
// written 1-based. The mesh's counts must fit in signed 16 bits.
std::vector<std::uint8_t> encodeChunk(std::string_view name, const mesh::Mesh& mesh);

// A file of the demo with its single chunk.
struct MeshFile {
  std::string fileName;
  std::string chunkName;
  mesh::Mesh mesh;
};

// The five files the demo loads: star.df, plonix.df, hv.df, wendup.df, tolvenaq.df.
std::vector<MeshFile> demoMeshFiles();

// Writes every demo file into `directory` (which must exist); false on an I/O error.
bool writeDemoMeshFiles(const std::string& directory);

}  // namespace quarvel::meshgen
