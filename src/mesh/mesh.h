// Indexed triangle mesh records as loaded from .df files.
#pragma once

#include <cstdint>
#include <vector>

#include "math/vec3.h"

namespace quarvel::mesh {

// One object: packed vertex positions and 0-based triangle corner indices
// (three consecutive entries per triangle). Owns both arrays; copies are deep.
// vertexCount and indexCount always equal the sizes of their arrays when the
// Mesh is built through its constructors; code that edits the public arrays
// keeps them in step.
class Mesh {
 public:
  Mesh() = default;
  // Copies exactly vertexCount vertices and indexCount indices; a count of 0
  // or less gives an empty array and a count of 0.
  Mesh(const math::Vec3* vertices, std::int32_t vertexCount, const std::int32_t* indices,
       std::int32_t indexCount);
  Mesh(const Mesh&) = default;
  Mesh(Mesh&&) noexcept = default;
  Mesh& operator=(const Mesh&) = default;
  Mesh& operator=(Mesh&&) noexcept = default;
  virtual ~Mesh() = default;

  std::int32_t vertexCount = 0;
  std::vector<math::Vec3> vertices;
  std::int32_t indexCount = 0;  // a multiple of 3
  std::vector<std::int32_t> indices;
};

// The meshes of one file, in file order; owns its elements.
using MeshList = std::vector<Mesh>;

}  // namespace quarvel::mesh
