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
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// A chunk whose vertex i is (i, 2i, 3i) and whose faces are the given
// 1-based file index triples.
Bytes chunk(const std::string& name, int vertexCount, const std::vector<int>& fileIndices) {
  Bytes out(name.begin(), name.end());
  out.push_back(0);
  putInt16(out, vertexCount);
  for (int i = 0; i < 3 * vertexCount; ++i) {
    const float value = static_cast<float>((i / 3) * (i % 3 + 1));
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int shift = 0; shift < 32; shift += 8)
      out.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  putInt16(out, static_cast<int>(fileIndices.size() / 3));
  for (int index : fileIndices) putInt16(out, index);
  return out;
}

Bytes join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The 12 triangles of a box over 8 corners.
const std::vector<int> kBoxFaces = {1, 2, 3, 1, 3, 4, 5, 6, 7, 5, 7, 8, 1, 2, 6, 1, 6, 5,
                                    2, 3, 7, 2, 7, 6, 3, 4, 8, 3, 8, 7, 4, 1, 5, 4, 5, 8};

// Writes the bytes to a temporary file, loads it and returns what was printed.
std::string load(MeshList& list, const Bytes& bytes) {
  const std::string path = testing::TempDir() + "mesh_loader_test.df";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  testing::internal::CaptureStdout();
  loadMeshFile(list, path.c_str());
  return testing::internal::GetCapturedStdout();
}

void expectConsistent(const MeshList& list) {
  for (const Mesh& m : list) {
    ASSERT_EQ(m.indexCount % 3, 0);
    ASSERT_EQ(static_cast<std::size_t>(m.indexCount), m.indices.size());
    ASSERT_EQ(static_cast<std::size_t>(m.vertexCount), m.vertices.size());
    for (std::int32_t index : m.indices) ASSERT_TRUE(index >= 0 && index < m.vertexCount);
  }
}

TEST(Mesh, CopiesAreDeepAndAssignmentReplaces) {
  const math::Vec3 vertices[] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const std::int32_t indices[] = {0, 1, 2};
  const Mesh original(vertices, 3, indices, 3);
  Mesh target(vertices, 2, nullptr, 0);
  target = original;
  target.vertices[0].x = 100;
  target.indices[0] = 2;
  EXPECT_EQ(original.vertices[0].x, 1.0f);
  EXPECT_EQ(original.indices[0], 0);
  EXPECT_EQ(target.vertexCount, 3);
  EXPECT_EQ(target.vertices[2].z, 9.0f);
  EXPECT_EQ(Mesh(nullptr, -5, nullptr, 0).vertexCount, 0);
}

TEST(MeshLoader, ZeroTerminatedStringStopsAtZeroOrEnd) {
  std::istringstream input(std::string("ab\0\0cd", 6));
  EXPECT_EQ(readZeroTerminatedString(input), "ab");
  EXPECT_EQ(readZeroTerminatedString(input), "");
  EXPECT_EQ(readZeroTerminatedString(input), "cd");
  EXPECT_EQ(readZeroTerminatedString(input), "");
}

TEST(MeshLoader, BoxChunkOf177Bytes) {
  const Bytes bytes = chunk("cube", 8, kBoxFaces);
  ASSERT_EQ(bytes.size(), 177u);
  MeshList list;
  EXPECT_EQ(load(list, bytes), "cube\n");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].vertexCount, 8);
  EXPECT_EQ(list[0].indexCount, 36);
  EXPECT_EQ(list[0].indices[0], 0);  // file value 1
  EXPECT_EQ(list[0].indices[35], 7);
  EXPECT_EQ(list[0].vertices[5].y, 10.0f);
}

TEST(MeshLoader, ChunksAppendInFileOrderWithTheirOwnNumbering) {
  MeshList list(1);  // loading appends to what is there
  EXPECT_EQ(load(list, join(join(chunk("first", 3, {1, 2, 3}), chunk("", 4, {4, 3, 1, 1, 2, 3})),
                            chunk("dots", 2, {}))),
            "first\n\ndots\n");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[2].indices, (std::vector<std::int32_t>{3, 2, 0, 0, 1, 2}));
  EXPECT_EQ(list[2].vertices[3].z, 9.0f);
  EXPECT_EQ(list[3].indexCount, 0);
}

TEST(MeshLoader, EmptyAndMissingFiles) {
  MeshList list;
  EXPECT_EQ(load(list, {}), "");
  testing::internal::CaptureStdout();
  loadMeshFile(list, "no/such/file.df");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error opening file : no/such/file.df\n");
  EXPECT_TRUE(list.empty());
}

TEST(MeshLoader, StreamLoadingMatchesFileLoading) {
  const Bytes bytes = join(chunk("cube", 8, kBoxFaces), chunk("tri", 3, {1, 2, 3, 3, 2, 9}));
  MeshList fromFile;
  const std::string printed = load(fromFile, bytes);
  MeshList fromStream(1);  // appends like the file entry
  std::istringstream input(std::string(bytes.begin(), bytes.end()), std::ios::binary);
  testing::internal::CaptureStdout();
  loadMeshStream(fromStream, input);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), printed);
  ASSERT_EQ(fromStream.size(), 3u);
  for (std::size_t i = 0; i < fromFile.size(); ++i) {
    EXPECT_EQ(fromStream[i + 1].indices, fromFile[i].indices);
    EXPECT_EQ(fromStream[i + 1].vertexCount, fromFile[i].vertexCount);
  }
  EXPECT_EQ(fromStream[2].indexCount, 3);  // the face with corner 9 is dropped
}

TEST(MeshLoader, TrianglesWithCornersOutsideTheMeshAreDropped) {
  MeshList list;
  load(list, chunk("m", 3, {1, 2, 3, 0, 1, 2, 1, 2, 4, -7, 1, 2, 3, 2, 1}));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].indices, (std::vector<std::int32_t>{0, 1, 2, 2, 1, 0}));
}

TEST(MeshLoader, NegativeCountDropsTheChunkAndStops) {
  Bytes negativeVertices = {'b', 0};
  putInt16(negativeVertices, -1);
  MeshList list;
  EXPECT_EQ(load(list, join(join(chunk("good", 3, {1, 2, 3}), negativeVertices),
                            chunk("after", 3, {1, 2, 3}))),
            "good\nb\n");
  EXPECT_EQ(list.size(), 1u);
  Bytes negativeFaces = {'n', 0, 0, 0};
  putInt16(negativeFaces, -3);
  list.clear();
  load(list, negativeFaces);
  EXPECT_TRUE(list.empty());
}

TEST(MeshLoader, EveryTruncationKeepsOnlyWholeChunks) {
  const Bytes bytes = join(chunk("cube", 8, kBoxFaces), chunk("tri", 3, {1, 2, 3}));
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    MeshList list;
    load(list, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_EQ(list.size(), length >= 177 ? 1u : 0u) << "length " << length;
    expectConsistent(list);
  }
}

TEST(MeshLoader, RandomByteFlipsNeverYieldABadIndex) {
  const Bytes valid = join(chunk("cube", 8, kBoxFaces), chunk("tri", 3, {1, 2, 3}));
  std::mt19937 random(1234);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bytes = valid;
    for (int i = 0; i <= trial % 6; ++i) {
      bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
    }
    MeshList list;
    load(list, bytes);
    expectConsistent(list);
  }
}

}  // namespace
}  // namespace quarvel::mesh
