// Builds the demo's closed, outward-wound meshes and encodes them as .df files.
#include "meshgen/mesh_builder.h"

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

namespace quarvel::meshgen {
namespace {

using math::Vec3;

// Coordinates are snapped to 1/1024 so that the files do not depend on the
// last bit of the platform's sin and cos.
float snap(double value) {
  return static_cast<float>(std::round(value * 1024.0) / 1024.0);
}

struct Builder {
  std::vector<Vec3> vertices;
  std::vector<std::int32_t> indices;

  std::int32_t addVertex(double x, double y, double z) {
    vertices.push_back({snap(x), snap(y), snap(z)});
    return static_cast<std::int32_t>(vertices.size()) - 1;
  }
  // Counter-clockwise as seen from the side the face looks at.
  void addTriangle(std::int32_t a, std::int32_t b, std::int32_t c) {
    indices.insert(indices.end(), {a, b, c});
  }
  // Side wall below the outline edge from p to q of a counter-clockwise
  // outline; front and back are the two layers of the extrusion.
  void addWall(std::int32_t frontP, std::int32_t backP, std::int32_t frontQ, std::int32_t backQ) {
    addTriangle(frontP, backP, backQ);
    addTriangle(frontP, backQ, frontQ);
  }
  mesh::Mesh finish() const {
    return mesh::Mesh(vertices.data(), static_cast<std::int32_t>(vertices.size()), indices.data(),
                      static_cast<std::int32_t>(indices.size()));
  }
};

// Block capitals on a 5-row grid; 'X' is a filled cell. No glyph holds two
// cells that touch only at a corner, which would pinch the surface.
struct Glyph {
  char letter;
  std::array<const char*, 5> rows;
};

constexpr std::array<Glyph, 15> kFont = {{
    {'a', {"XXXX", "X..X", "XXXX", "X..X", "X..X"}},
    {'d', {"XXX.", "X.XX", "X..X", "X.XX", "XXX."}},
    {'e', {"XXXX", "X...", "XXX.", "X...", "XXXX"}},
    {'h', {"X..X", "X..X", "XXXX", "X..X", "X..X"}},
    {'i', {"XXX", ".X.", ".X.", ".X.", "XXX"}},
    {'l', {"X..", "X..", "X..", "X..", "XXX"}},
    {'n', {"X...X", "XX..X", "XXX.X", "X.XXX", "X..XX"}},
    {'o', {"XXXX", "X..X", "X..X", "X..X", "XXXX"}},
    {'p', {"XXXX", "X..X", "XXXX", "X...", "X..."}},
    {'q', {"XXXX.", "X..X.", "X..X.", "X.XX.", "XXXXX"}},
    {'t', {"XXXXX", "..X..", "..X..", "..X..", "..X.."}},
    {'u', {"X..X", "X..X", "X..X", "X..X", "XXXX"}},
    {'v', {"X...X", "X...X", "XX.XX", ".XXX.", "..X.."}},
    {'w', {"X...X", "X...X", "X.X.X", "XXXXX", "XX.XX"}},
    {'x', {"XX.XX", ".XXX.", "..X..", ".XXX.", "XX.XX"}},
}};
constexpr int kRows = 5;

const Glyph* findGlyph(char letter) {
  for (const Glyph& glyph : kFont) {
    if (glyph.letter == letter) return &glyph;
  }
  return nullptr;
}

void appendInt16(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
  out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  out.push_back(static_cast<std::uint8_t>(bits >> 8));
}

void appendFloat(std::vector<std::uint8_t>& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
  }
}

}  // namespace

mesh::Mesh buildStar() {
  constexpr int kPoints = 5;
  constexpr double kPi = 3.14159265358979323846;
  // Inner radius of a regular pentagram: its edges line up across the star.
  const double inner = kStarRadius * std::sin(kPi / 10.0) / std::sin(7.0 * kPi / 10.0);
  const double halfDepth = kStarRadius * 0.12;
  Builder b;
  std::array<std::int32_t, 2 * kPoints> front{};
  std::array<std::int32_t, 2 * kPoints> back{};
  for (int k = 0; k < 2 * kPoints; ++k) {
    // Counter-clockwise from the top point.
    const double angle = kPi / 2.0 + k * kPi / kPoints;
    const double radius = (k % 2 == 0) ? kStarRadius : inner;
    const double x = radius * std::cos(angle);
    const double y = radius * std::sin(angle);
    front[k] = b.addVertex(x, y, halfDepth);
    back[k] = b.addVertex(x, y, -halfDepth);
  }
  const std::int32_t frontCentre = b.addVertex(0, 0, halfDepth);
  const std::int32_t backCentre = b.addVertex(0, 0, -halfDepth);
  for (int k = 0; k < 2 * kPoints; ++k) {
    const int next = (k + 1) % (2 * kPoints);
    b.addTriangle(frontCentre, front[k], front[next]);
    b.addTriangle(backCentre, back[next], back[k]);
    b.addWall(front[k], back[k], front[next], back[next]);
  }
  return b.finish();
}

mesh::Mesh buildWord(std::string_view word) {
  // Lay the glyphs out on one grid, one empty column between letters.
  std::vector<std::vector<bool>> filled(kRows);
  for (const char letter : word) {
    const Glyph* glyph = findGlyph(letter);
    if (glyph == nullptr) continue;
    if (!filled[0].empty()) {
      for (auto& row : filled) row.push_back(false);
    }
    for (int r = 0; r < kRows; ++r) {
      for (const char* cell = glyph->rows[r]; *cell != '\0'; ++cell) {
        filled[r].push_back(*cell == 'X');
      }
    }
  }
  const int columns = static_cast<int>(filled[0].size());
  const auto isFilled = [&](int r, int c) {
    return r >= 0 && r < kRows && c >= 0 && c < columns && filled[r][c];
  };

  const double cell = kLetterHeight / kRows;
  const double halfDepth = cell * 0.5;
  const double left = -0.5 * columns * cell;
  const double topY = 0.5 * kLetterHeight;
  Builder b;
  // Grid corners are shared by every face that meets there, so the surface
  // has no T-junctions: all faces are whole cells or whole cell edges.
  std::map<std::tuple<int, int, int>, std::int32_t> corners;
  const auto corner = [&](int c, int r, int layer) {
    const auto key = std::make_tuple(c, r, layer);
    const auto found = corners.find(key);
    if (found != corners.end()) return found->second;
    const std::int32_t id =
        b.addVertex(left + c * cell, topY - r * cell, layer == 1 ? halfDepth : -halfDepth);
    corners.emplace(key, id);
    return id;
  };
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (!filled[r][c]) continue;
      // Cell corners counter-clockwise in x right, y up: bottom-left first.
      const std::array<std::pair<int, int>, 4> outline = {
          {{c, r + 1}, {c + 1, r + 1}, {c + 1, r}, {c, r}}};
      std::array<std::int32_t, 4> f{};
      std::array<std::int32_t, 4> k{};
      for (int i = 0; i < 4; ++i) {
        f[i] = corner(outline[i].first, outline[i].second, 1);
        k[i] = corner(outline[i].first, outline[i].second, 0);
      }
      b.addTriangle(f[0], f[1], f[2]);
      b.addTriangle(f[0], f[2], f[3]);
      b.addTriangle(k[0], k[2], k[1]);
      b.addTriangle(k[0], k[3], k[2]);
      // Neighbours across the bottom, right, top and left edges of the outline.
      const std::array<std::pair<int, int>, 4> across = {
          {{r + 1, c}, {r, c + 1}, {r - 1, c}, {r, c - 1}}};
      for (int i = 0; i < 4; ++i) {
        if (isFilled(across[i].first, across[i].second)) continue;
        const int j = (i + 1) % 4;
        b.addWall(f[i], k[i], f[j], k[j]);
      }
    }
  }
  return b.finish();
}

std::vector<std::uint8_t> encodeChunk(std::string_view name, const mesh::Mesh& mesh) {
  std::vector<std::uint8_t> out(name.begin(), name.end());
  out.push_back(0);
  appendInt16(out, mesh.vertexCount);
  for (const Vec3& v : mesh.vertices) {
    appendFloat(out, v.x);
    appendFloat(out, v.y);
    appendFloat(out, v.z);
  }
  appendInt16(out, mesh.indexCount / 3);
  for (const std::int32_t index : mesh.indices) appendInt16(out, index + 1);
  return out;
}

std::vector<MeshFile> demoMeshFiles() {
  std::vector<MeshFile> files;
  files.push_back({"star.df", "star", buildStar()});
  for (const char* word : {"plonix", "hv", "wendup", "tolvenaq"}) {
    files.push_back({std::string(word) + ".df", word, buildWord(word)});
  }
  return files;
}

bool writeDemoMeshFiles(const std::string& directory) {
  for (const MeshFile& file : demoMeshFiles()) {
    const std::vector<std::uint8_t> bytes = encodeChunk(file.chunkName, file.mesh);
    std::ofstream out(directory + "/" + file.fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return true;
}

}  // namespace quarvel::meshgen
