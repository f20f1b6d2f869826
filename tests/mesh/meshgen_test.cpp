// The generated demo meshes: committed bytes, closed surfaces, outward winding.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "meshgen/mesh_builder.h"
#include "support/scratch.h"

namespace quarvel::meshgen {
namespace {

std::vector<char> readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MeshGen, RegeneratedFilesMatchTheCommittedData) {
  const std::filesystem::path directory = testing::scratchDirectory();
  ASSERT_TRUE(writeDemoMeshFiles(directory.string()));
  for (const char* name : {"star.df", "plonix.df", "hv.df", "wendup.df", "tolvenaq.df"}) {
    const std::vector<char> fresh = readAll(directory / name);
    ASSERT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == readAll(std::filesystem::path("data") / name))
        << name << ": rerun meshgen";
  }
  std::filesystem::remove_all(directory);
}

TEST(MeshGen, EveryMeshIsClosedOutwardAndFitsTheFormat) {
  for (const MeshFile& file : demoMeshFiles()) {
    const mesh::Mesh& m = file.mesh;
    ASSERT_TRUE(m.indexCount > 0 && m.vertexCount <= 32767 && m.indexCount / 3 <= 32767);
    // Each directed edge once and its reverse once: closed and consistently
    // wound, and no T-junction (a split edge leaves its long neighbour unpaired).
    std::map<std::pair<int, int>, int> edges;
    double volume = 0;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
      for (int k = 0; k < 3; ++k) ++edges[{m.indices[t + k], m.indices[t + (k + 1) % 3]}];
      const math::Vec3 a = m.vertices[m.indices[t]];
      const math::Vec3 b = m.vertices[m.indices[t + 1]];
      const math::Vec3 c = m.vertices[m.indices[t + 2]];
      const math::Vec3 n = math::cross(math::subtract(b, a), math::subtract(c, a));
      EXPECT_GT(math::dot(n, n), 0.0f) << file.fileName << ": zero-area triangle " << t / 3;
      volume += math::dot(a, math::cross(b, c)) / 6.0;
    }
    for (const auto& [edge, count] : edges) {
      const auto reverse = edges.find({edge.second, edge.first});
      EXPECT_TRUE(count == 1 && reverse != edges.end() && reverse->second == 1)
          << file.fileName << ": edge " << edge.first << "-" << edge.second;
    }
    EXPECT_GT(volume, 0.0) << file.fileName << ": faces wound inwards";
    // Distinct corners at distinct places, so index pairing is also geometric.
    std::set<std::tuple<float, float, float>> positions;
    for (const math::Vec3& v : m.vertices) positions.insert({v.x, v.y, v.z});
    EXPECT_EQ(positions.size(), m.vertices.size()) << file.fileName;
  }
}

}  // namespace
}  // namespace quarvel::meshgen
