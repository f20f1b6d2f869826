// Meshes: the .df loader (chunk layout, index conversion, console lines, damaged files) and the
// generated demo meshes, which must equal the committed files byte for byte.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/mesh_loader.h"
#include "meshgen/mesh_builder.h"
#include "support/scratch.h"

namespace quarvel::mesh {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putInt16(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// A chunk whose vertex i is (i, 2i, 3i), with the given 1-based file index triples.
Bytes chunk(const std::string& name, int vertexCount, const std::vector<int>& fileIndices) {
  Bytes out(name.begin(), name.end());
  out.push_back(0);
  putInt16(out, vertexCount);
  for (int i = 0; i < 3 * vertexCount; ++i) {
    const float value = static_cast<float>((i / 3) * (i % 3 + 1));
    out.resize(out.size() + 4);
    std::memcpy(&out[out.size() - 4], &value, 4);  // little-endian, as everywhere this runs
  }
  putInt16(out, static_cast<int>(fileIndices.size() / 3));
  for (int index : fileIndices) putInt16(out, index);
  return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Loads from memory into a list that already holds one mesh; returns what was printed.
std::string load(MeshList& list, const Bytes& bytes) {
  list.assign(1, Mesh{});
  std::istringstream input(std::string(bytes.begin(), bytes.end()), std::ios::binary);
  ::testing::internal::CaptureStdout();
  loadMeshStream(list, input);
  return ::testing::internal::GetCapturedStdout();
}

// The 12 triangles of a box over 8 corners.
const std::vector<int> kBox = {1, 2, 3, 1, 3, 4, 5, 6, 7, 5, 7, 8, 1, 2, 6, 1, 6, 5,
                               2, 3, 7, 2, 7, 6, 3, 4, 8, 3, 8, 7, 4, 1, 5, 4, 5, 8};

TEST(MeshLoader, ChunksInFileOrderWithZeroBasedIndices) {
  Bytes negativeVertices = {'b', 0};
  putInt16(negativeVertices, -1);
  Bytes negativeFaces = {'n', 0, 0, 0};
  putInt16(negativeFaces, -3);
  struct Case {
    const char* name;
    Bytes bytes;
    std::string printed;
    std::vector<std::vector<std::int32_t>> indices;  // of each appended mesh
  };
  const Case cases[] = {
      {"empty file", {}, "", {}},
      {"one triangle", chunk("tri", 3, {1, 2, 3}), "tri\n", {{0, 1, 2}}},
      {"own numbering per chunk, empty name, no vertices, no faces",
       join({chunk("first", 3, {1, 2, 3}), chunk("none", 0, {}), chunk("", 4, {4, 3, 1, 1, 2, 3}),
             chunk("dots", 2, {})}),
       "first\nnone\n\ndots\n",
       {{0, 1, 2}, {}, {3, 2, 0, 0, 1, 2}, {}}},
      {"triangles with a corner outside 1..count dropped",
       chunk("m", 3, {1, 2, 3, 0, 1, 2, 1, 2, 4, -7, 1, 2, 3, 2, 1}),
       "m\n",
       {{0, 1, 2, 2, 1, 0}}},
      {"a negative vertex count drops the chunk and stops",
       join({chunk("good", 3, {1, 2, 3}), negativeVertices, chunk("after", 3, {1, 2, 3})}),
       "good\nb\n",
       {{0, 1, 2}}},
      {"a negative face count too", negativeFaces, "n\n", {}},
  };
  for (const Case& c : cases) {
    MeshList list;
    EXPECT_EQ(load(list, c.bytes), c.printed) << c.name;
    ASSERT_EQ(list.size(), c.indices.size() + 1) << c.name;  // appended after the first
    for (std::size_t i = 0; i < c.indices.size(); ++i) {
      EXPECT_EQ(list[i + 1].indices, c.indices[i]) << c.name << " mesh " << i;
    }
  }
}

TEST(MeshLoader, EveryTruncationKeepsOnlyWholeChunks) {
  const Bytes bytes = join({chunk("cube", 8, kBox), chunk("tri", 3, {1, 2, 3})});
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    MeshList list;
    load(list, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
    // The box chunk is 4 + 1 + 2 + 96 + 2 + 72 bytes.
    ASSERT_EQ(list.size(), length >= 177 ? 2u : 1u) << "length " << length;
    for (const Mesh& m : list) {
      ASSERT_TRUE(m.indexCount == static_cast<std::int32_t>(m.indices.size()) &&
                  m.vertexCount == static_cast<std::int32_t>(m.vertices.size()));
    }
    if (length != 177) continue;
    const Mesh& box = list[1];  // vertex i at (i, 2i, 3i)
    EXPECT_TRUE(box.vertexCount == 8 && box.indexCount == 36 && box.indices[35] == 7);
    EXPECT_TRUE(box.vertices[5].x == 5 && box.vertices[5].y == 10 && box.vertices[5].z == 15);
  }
}

TEST(MeshLoader, FilesByName) {
  MeshList list;
  ::testing::internal::CaptureStdout();
  loadMeshFile(list, "no/such/file.df");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "error opening file : no/such/file.df\n");
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(Mesh(nullptr, -5, nullptr, -3).vertexCount, 0);
}

std::vector<char> readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MeshGen, RegeneratedFilesMatchTheCommittedData) {
  const std::filesystem::path directory = testing::scratchDirectory();
  ASSERT_TRUE(meshgen::writeDemoMeshFiles(directory.string()));
  for (const char* name : {"star.df", "plonix.df", "hv.df", "wendup.df", "tolvenaq.df"}) {
    const std::vector<char> fresh = readAll(directory / name);
    ASSERT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == readAll(std::filesystem::path("data") / name))
        << name << ": rerun meshgen";
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace quarvel::mesh
