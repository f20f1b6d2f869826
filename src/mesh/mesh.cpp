// Mesh construction from raw arrays.
#include "mesh/mesh.h"

namespace quarvel::mesh {

Mesh::Mesh(const math::Vec3* vertexData, std::int32_t vertexTotal, const std::int32_t* indexData,
           std::int32_t indexTotal) {
  if (vertexTotal > 0) {
    vertices.assign(vertexData, vertexData + vertexTotal);
    vertexCount = vertexTotal;
  }
  if (indexTotal > 0) {
    indices.assign(indexData, indexData + indexTotal);
    indexCount = indexTotal;
  }
}

}  // namespace quarvel::mesh
