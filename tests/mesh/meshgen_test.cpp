// The generated demo meshes: committed bytes, closed surfaces, outward winding.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/mesh_loader.h"
#include "meshgen/mesh_builder.h"

namespace quarvel::meshgen {
namespace {

std::vector<char> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MeshGen, RegeneratedFilesMatchTheCommittedData) {
  const std::string directory = testing::TempDir();
  ASSERT_TRUE(writeDemoMeshFiles(directory));
  for (const char* name : {"star.df", "plonix.df", "hv.df", "wendup.df", "tolvenaq.df"}) {
    const std::vector<char> fresh = readAll(directory + "/" + name);
    const std::vector<char> committed = readAll(std::string("data/") + name);
    ASSERT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == committed) << name << " differs from data/; rerun meshgen";
  }
}

TEST(MeshGen, FilesLoadBackToTheBuiltMeshes) {
  const std::string directory = testing::TempDir();
  ASSERT_TRUE(writeDemoMeshFiles(directory));
  for (const MeshFile& file : demoMeshFiles()) {
    mesh::MeshList list;
    testing::internal::CaptureStdout();
    mesh::loadMeshFile(list, (directory + "/" + file.fileName).c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), file.chunkName + "\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].indices, file.mesh.indices);
    ASSERT_EQ(list[0].vertexCount, file.mesh.vertexCount);
    for (std::size_t i = 0; i < list[0].vertices.size(); ++i) {
      EXPECT_EQ(list[0].vertices[i].x, file.mesh.vertices[i].x);
      EXPECT_EQ(list[0].vertices[i].y, file.mesh.vertices[i].y);
      EXPECT_EQ(list[0].vertices[i].z, file.mesh.vertices[i].z);
    }
  }
}

double signedVolume(const mesh::Mesh& m) {
  double volume = 0;
  for (std::size_t t = 0; t < m.indices.size(); t += 3) {
    const math::Vec3& a = m.vertices[m.indices[t]];
    const math::Vec3& b = m.vertices[m.indices[t + 1]];
    const math::Vec3& c = m.vertices[m.indices[t + 2]];
    volume += (double{a.x} * (double{b.y} * c.z - double{b.z} * c.y) -
               double{a.y} * (double{b.x} * c.z - double{b.z} * c.x) +
               double{a.z} * (double{b.x} * c.y - double{b.y} * c.x)) /
              6.0;
  }
  return volume;
}

TEST(MeshGen, EveryMeshIsClosedOutwardAndFitsTheFormat) {
  for (const MeshFile& file : demoMeshFiles()) {
    SCOPED_TRACE(file.fileName);
    const mesh::Mesh& m = file.mesh;
    EXPECT_LE(m.vertexCount, 32767);
    EXPECT_LE(m.indexCount / 3, 32767);
    ASSERT_GT(m.indexCount, 0);

    // Each directed edge once and its reverse once: closed, consistently wound,
    // no T-junctions (a split edge would leave its long neighbour unpaired).
    std::map<std::pair<int, int>, int> edges;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
      for (int k = 0; k < 3; ++k) {
        ++edges[{m.indices[t + k], m.indices[t + (k + 1) % 3]}];
      }
      const math::Vec3 a = m.vertices[m.indices[t]];
      const math::Vec3 b = m.vertices[m.indices[t + 1]];
      const math::Vec3 c = m.vertices[m.indices[t + 2]];
      const math::Vec3 n = math::cross(math::subtract(b, a), math::subtract(c, a));
      EXPECT_GT(math::dot(n, n), 0.0f) << "zero-area triangle " << t / 3;
    }
    for (const auto& [edge, count] : edges) {
      EXPECT_EQ(count, 1);
      const auto reverse = edges.find({edge.second, edge.first});
      EXPECT_TRUE(reverse != edges.end() && reverse->second == 1)
          << "edge " << edge.first << "-" << edge.second;
    }
    // Distinct corners at distinct places, so index pairing is also geometric.
    std::set<std::tuple<float, float, float>> positions;
    for (const math::Vec3& v : m.vertices) positions.insert({v.x, v.y, v.z});
    EXPECT_EQ(positions.size(), m.vertices.size());

    EXPECT_GT(signedVolume(m), 0.0) << "faces wound inwards";
  }
}

TEST(MeshGen, WordsAreCentredAndOfLetterHeight) {
  for (const char* word : {"plonix", "hv", "wendup", "tolvenaq"}) {
    SCOPED_TRACE(word);
    const mesh::Mesh m = buildWord(word);
    float lo[3] = {1e9f, 1e9f, 1e9f};
    float hi[3] = {-1e9f, -1e9f, -1e9f};
    for (const math::Vec3& v : m.vertices) {
      const float c[3] = {v.x, v.y, v.z};
      for (int i = 0; i < 3; ++i) {
        lo[i] = std::min(lo[i], c[i]);
        hi[i] = std::max(hi[i], c[i]);
      }
    }
    EXPECT_EQ(hi[1] - lo[1], kLetterHeight);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(lo[i] + hi[i], 0.0f, 1e-3f);
  }
  // Unknown letters are skipped rather than drawn as garbage.
  EXPECT_EQ(buildWord("h?v").indices, buildWord("hv").indices);
}

}  // namespace
}  // namespace quarvel::meshgen
