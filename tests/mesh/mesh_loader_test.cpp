// Mesh records and the .df loader, including damaged and hostile files.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/mesh.h"
#include "mesh/mesh_loader.h"

namespace quarvel::mesh {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putInt16(Bytes& out, int value) {
  const auto bits = static_cast<std::uint16_t>(value);
  out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  out.push_back(static_cast<std::uint8_t>(bits >> 8));
}

void putFloat(Bytes& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

// A chunk whose vertex i is (i, 2i, 3i) and whose faces are the given file
// (1-based) index triples.
Bytes chunk(const std::string& name, int vertexCount, const std::vector<int>& fileIndices) {
  Bytes out(name.begin(), name.end());
  out.push_back(0);
  putInt16(out, vertexCount);
  for (int i = 0; i < vertexCount; ++i) {
    putFloat(out, static_cast<float>(i));
    putFloat(out, static_cast<float>(2 * i));
    putFloat(out, static_cast<float>(3 * i));
  }
  putInt16(out, static_cast<int>(fileIndices.size() / 3));
  for (int index : fileIndices) putInt16(out, index);
  return out;
}

// The 12 triangles of a box over 8 corners.
std::vector<int> boxFaces() {
  return {1, 2, 3, 1, 3, 4, 5, 6, 7, 5, 7, 8, 1, 2, 6, 1, 6, 5,
          2, 3, 7, 2, 7, 6, 3, 4, 8, 3, 8, 7, 4, 1, 5, 4, 5, 8};
}

std::string writeFile(const std::string& fileName, const Bytes& bytes) {
  const std::string path = testing::TempDir() + fileName;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Loads and returns what was printed.
std::string load(MeshList& list, const std::string& path) {
  testing::internal::CaptureStdout();
  loadMeshFile(list, path.c_str());
  return testing::internal::GetCapturedStdout();
}

void expectIndicesInRange(const MeshList& list) {
  for (const Mesh& m : list) {
    ASSERT_EQ(m.indexCount % 3, 0);
    ASSERT_EQ(static_cast<std::size_t>(m.indexCount), m.indices.size());
    ASSERT_EQ(static_cast<std::size_t>(m.vertexCount), m.vertices.size());
    for (std::int32_t index : m.indices) {
      ASSERT_GE(index, 0);
      ASSERT_LT(index, m.vertexCount);
    }
  }
}

TEST(Mesh, CopiesAreDeepAndAssignmentReplaces) {
  const math::Vec3 vertices[] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const std::int32_t indices[] = {0, 1, 2};
  Mesh original(vertices, 3, indices, 3);
  Mesh copy = original;
  copy.vertices[0].x = 100;
  copy.indices[0] = 2;
  EXPECT_EQ(original.vertices[0].x, 1.0f);
  EXPECT_EQ(original.indices[0], 0);

  Mesh target(vertices, 2, nullptr, 0);
  target = original;
  EXPECT_EQ(target.vertexCount, 3);
  EXPECT_EQ(target.indexCount, 3);
  EXPECT_EQ(target.vertices[2].z, 9.0f);
  EXPECT_NE(target.vertices.data(), original.vertices.data());

  const Mesh empty(nullptr, -5, nullptr, 0);
  EXPECT_EQ(empty.vertexCount, 0);
  EXPECT_TRUE(empty.vertices.empty());
}

TEST(MeshLoader, ZeroTerminatedStringStopsAtZeroOrEnd) {
  std::istringstream input(std::string("ab\0cd", 5));
  EXPECT_EQ(readZeroTerminatedString(input), "ab");
  EXPECT_EQ(readZeroTerminatedString(input), "cd");
  EXPECT_EQ(readZeroTerminatedString(input), "");
  std::istringstream empty(std::string("\0x", 2));
  EXPECT_EQ(readZeroTerminatedString(empty), "");
  EXPECT_EQ(empty.get(), 'x');
}

TEST(MeshLoader, BoxChunkOf177Bytes) {
  const Bytes bytes = chunk("cube", 8, boxFaces());
  ASSERT_EQ(bytes.size(), 177u);
  MeshList list;
  EXPECT_EQ(load(list, writeFile("box.df", bytes)), "cube\n");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].vertexCount, 8);
  EXPECT_EQ(list[0].indexCount, 36);
  EXPECT_EQ(list[0].indices[0], 0);  // file value 1
  EXPECT_EQ(list[0].indices[35], 7);
  EXPECT_EQ(list[0].vertices[5].y, 10.0f);
  expectIndicesInRange(list);
}

TEST(MeshLoader, TwoChunksInFileOrderWithTheirOwnNumbering) {
  Bytes bytes = chunk("first", 3, {1, 2, 3});
  const Bytes second = chunk("", 4, {4, 3, 1, 1, 2, 3});
  bytes.insert(bytes.end(), second.begin(), second.end());
  MeshList list;
  list.emplace_back();  // loading appends
  EXPECT_EQ(load(list, writeFile("two.df", bytes)), "first\n\n");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].vertexCount, 3);
  EXPECT_EQ(list[2].vertexCount, 4);
  EXPECT_EQ(list[2].indices, (std::vector<std::int32_t>{3, 2, 0, 0, 1, 2}));
  EXPECT_EQ(list[2].vertices[3].z, 9.0f);
}

TEST(MeshLoader, ChunkWithoutFacesIsAMeshWithoutTriangles) {
  MeshList list;
  EXPECT_EQ(load(list, writeFile("nofaces.df", chunk("dots", 2, {}))), "dots\n");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].indexCount, 0);
  EXPECT_TRUE(list[0].indices.empty());
}

TEST(MeshLoader, EmptyAndMissingFiles) {
  MeshList list;
  EXPECT_EQ(load(list, writeFile("empty.df", {})), "");
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(load(list, "no/such/file.df"), "error opening file : no/such/file.df\n");
  EXPECT_TRUE(list.empty());
}

TEST(MeshLoader, TrianglesWithIndicesOutsideTheMeshAreDropped) {
  MeshList list;
  load(list,
       writeFile("badindex.df", chunk("m", 3, {1, 2, 3, 0, 1, 2, 1, 2, 4, -7, 1, 2, 3, 2, 1})));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].indices, (std::vector<std::int32_t>{0, 1, 2, 2, 1, 0}));
}

TEST(MeshLoader, NegativeCountDropsTheChunkAndStops) {
  Bytes bytes = chunk("good", 3, {1, 2, 3});
  Bytes bad = {'b', 0};
  putInt16(bad, -1);
  bytes.insert(bytes.end(), bad.begin(), bad.end());
  const Bytes after = chunk("after", 3, {1, 2, 3});
  bytes.insert(bytes.end(), after.begin(), after.end());
  MeshList list;
  EXPECT_EQ(load(list, writeFile("negative.df", bytes)), "good\nb\n");
  EXPECT_EQ(list.size(), 1u);

  Bytes negativeFaces = {'n', 0};
  putInt16(negativeFaces, 0);
  putInt16(negativeFaces, -3);
  list.clear();
  load(list, writeFile("negfaces.df", negativeFaces));
  EXPECT_TRUE(list.empty());
}

TEST(MeshLoader, EveryTruncationKeepsOnlyWholeChunks) {
  Bytes bytes = chunk("cube", 8, boxFaces());
  const Bytes second = chunk("tri", 3, {1, 2, 3});
  bytes.insert(bytes.end(), second.begin(), second.end());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    MeshList list;
    load(list,
         writeFile("cut.df", Bytes(bytes.begin(), bytes.begin() + static_cast<long>(length))));
    // The first chunk survives only when all of it is there.
    EXPECT_EQ(list.size(), length >= 177 ? 1u : 0u) << "length " << length;
    expectIndicesInRange(list);
  }
}

TEST(MeshLoader, RandomCorruptionNeverYieldsABadIndex) {
  Bytes valid = chunk("cube", 8, boxFaces());
  const Bytes second = chunk("tri", 3, {1, 2, 3});
  valid.insert(valid.end(), second.begin(), second.end());
  std::mt19937 random(1234);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bytes = valid;
    const int flips = 1 + trial % 6;
    for (int i = 0; i < flips; ++i) {
      bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
    }
    MeshList list;
    load(list, writeFile("flip.df", bytes));
    expectIndicesInRange(list);
  }
}

TEST(MeshLoader, LargeCountsWithoutDataStopQuietly) {
  Bytes bytes = {'x', 0};
  putInt16(bytes, 32767);
  putFloat(bytes, 1.0f);
  MeshList list;
  EXPECT_EQ(load(list, writeFile("huge.df", bytes)), "x\n");
  EXPECT_TRUE(list.empty());
  // A name that never ends is read to the end of the file and printed.
  list.clear();
  EXPECT_EQ(load(list, writeFile("noname.df", Bytes{'a', 'b', 'c'})), "abc\n");
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace quarvel::mesh
