// libFuzzer target: arbitrary bytes read as a .df mesh file, every mesh drawn at 320 x 240.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "display/bitmap.h"
#include "math/mat4.h"
#include "mesh/mesh.h"
#include "mesh/mesh_loader.h"
#include "raster/mesh_renderer.h"

namespace {

constexpr std::uint32_t kWidth = 320;
constexpr std::uint32_t kHeight = 240;
constexpr float kPi = 3.1415927f;

// Swallows the loader's chunk names for the life of the process.
struct SilenceConsole {
  std::ostringstream sink;
  std::streambuf* saved = std::cout.rdbuf(sink.rdbuf());
  ~SilenceConsole() { std::cout.rdbuf(saved); }
};

void drawAll(quarvel::raster::MeshRenderer& renderer, const quarvel::mesh::MeshList& meshes) {
  renderer.clearDepth(0.0f);
  for (const quarvel::mesh::Mesh& m : meshes) {
    renderer.render(m.vertices.data(), m.indices.data(), m.indexCount, 1.0f, 0.5f, 0.25f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace math = quarvel::math;
  static SilenceConsole silence;
  static std::vector<std::uint32_t> pixels(kWidth * kHeight);
  // Reset so the per-input sink does not grow without bound.
  silence.sink.str(std::string());

  quarvel::mesh::MeshList meshes;
  std::istringstream input(std::string(reinterpret_cast<const char*>(data), size),
                           std::ios::binary);
  quarvel::mesh::loadMeshStream(meshes, input);
  if (meshes.empty()) return 0;

  quarvel::display::Bitmap target{pixels.data(), kWidth, kHeight};
  quarvel::raster::MeshRenderer renderer(&target, 0, static_cast<std::int32_t>(kHeight), 0,
                                         static_cast<std::int32_t>(kWidth));
  renderer.model = math::translation(0.0f, 0.0f, -5.0f);
  renderer.projection = math::perspective(kPi / 4, 1.3333334f, 0.1f, 100.0f);
  drawAll(renderer, meshes);

  // The opening scene's projection: fov past pi mirrors the image through the centre.
  renderer.model = math::multiply(math::rotationY(0.7f), math::translation(0.0f, 0.0f, -5.0f));
  renderer.projection = math::perspective(kPi + 0.25f, 1.3333334f, 0.1f, 100.0f);
  drawAll(renderer, meshes);
  return 0;
}
