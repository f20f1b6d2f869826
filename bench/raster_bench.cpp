// Cost of the polygon pipeline on the demo's own mesh frames at 320 x 240.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "math/elementary.h"
#include "math/mat4.h"
#include "meshgen/mesh_builder.h"
#include "raster/fill_triangle.h"
#include "raster/mesh_renderer.h"
#include "vector_paths.h"

namespace {

using namespace quarvel;

struct Target {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(320 * 240, 0);
  display::Bitmap bitmap{pixels.data(), 320, 240};
  raster::MeshRenderer renderer{&bitmap, 0, 240, 0, 320};
};

// The opening scene half-way through: frame 450, so angle 22.5 and the zoom
// summed 450 times.
void OpeningSceneFrame(benchmark::State& state) {
  Target target;
  target.renderer.kernels = raster::rasterKernels(bench::benchPath(state));
  const mesh::Mesh star = meshgen::buildStar();
  const float angle = 22.5f;
  float fov = 3.1415927f;
  for (int i = 0; i < 450; ++i) fov = static_cast<float>(static_cast<double>(fov) + 0.0005);
  target.renderer.model = math::multiply(
      math::rotationY(angle), math::translation(static_cast<float>(4 * math::sin(angle)),
                                                static_cast<float>(4 * math::cos(angle)), -7));
  target.renderer.projection = math::perspective(fov, 1.3333334f, 0.1f, 100.0f);
  for (auto _ : state) {
    target.renderer.clearDepth(0.0f);
    target.renderer.render(star.vertices.data(), star.indices.data(), star.indexCount, 0.45f, 0.5f,
                           1.0f);
    benchmark::DoNotOptimize(target.pixels.data());
  }
}
BENCHMARK(OpeningSceneFrame)->Apply(bench::everyVectorPath);

// The greetings scene at slide = 6: four meshes, no rotation, fov pi / 4.
void GreetingsFrame(benchmark::State& state) {
  Target target;
  target.renderer.kernels = raster::rasterKernels(bench::benchPath(state));
  const double slide = 6.0;
  struct Placement {
    mesh::Mesh mesh;
    float x, y, z, red, green, blue;
  };
  const Placement placements[] = {
      {meshgen::buildWord("hv"), 0, static_cast<float>(slide - 12), -28, 0.5f, 0.5f, 0.6f},
      {meshgen::buildWord("plonix"), static_cast<float>(slide - 14), -4, -28, 0.6f, 0.5f, 0.5f},
      {meshgen::buildWord("wendup"), static_cast<float>(15 - slide), -3, -28, 0.5f, 0.6f, 0.5f},
      {meshgen::buildWord("tolvenaq"), 0, static_cast<float>(10 - slide), -38, 0.6f, 0.6f, 0.6f},
  };
  target.renderer.projection = math::perspective(0.7853982f, 1.3333334f, 0.1f, 100.0f);
  for (auto _ : state) {
    target.renderer.clearDepth(0.0f);
    for (const Placement& p : placements) {
      target.renderer.model = math::translation(p.x, p.y, p.z);
      target.renderer.render(p.mesh.vertices.data(), p.mesh.indices.data(), p.mesh.indexCount,
                             p.red, p.green, p.blue);
    }
    benchmark::DoNotOptimize(target.pixels.data());
  }
}
BENCHMARK(GreetingsFrame)->Apply(bench::everyVectorPath);

// One triangle covering half the frame: the span loop on its own.
void HalfFrameTriangle(benchmark::State& state) {
  Target target;
  target.renderer.kernels = raster::rasterKernels(bench::benchPath(state));
  for (auto _ : state) {
    target.renderer.clearDepth(0.0f);
    raster::fillTriangle(target.renderer.kernels, {0, 0, -0.5f, 1}, {319, 0, -0.25f, 1},
                         {0, 239, -0.75f, 1}, target.bitmap, target.renderer.depth.data(),
                         0x01FFFFFFu);
    benchmark::DoNotOptimize(target.pixels.data());
  }
}
BENCHMARK(HalfFrameTriangle)->Apply(bench::everyVectorPath);

// The same triangle parallel to the screen: one depth key along every span.
void HalfFrameFlatTriangle(benchmark::State& state) {
  Target target;
  target.renderer.kernels = raster::rasterKernels(bench::benchPath(state));
  for (auto _ : state) {
    target.renderer.clearDepth(0.0f);
    raster::fillTriangle(target.renderer.kernels, {0, 0, -0.5f, 1}, {319, 0, -0.5f, 1},
                         {0, 239, -0.5f, 1}, target.bitmap, target.renderer.depth.data(),
                         0x01FFFFFFu);
    benchmark::DoNotOptimize(target.pixels.data());
  }
}
BENCHMARK(HalfFrameFlatTriangle)->Apply(bench::everyVectorPath);

// Clearing the depth buffer alone, for reference.
void ClearDepth(benchmark::State& state) {
  Target target;
  for (auto _ : state) {
    target.renderer.clearDepth(0.0f);
    benchmark::DoNotOptimize(target.renderer.depth.data());
  }
}
BENCHMARK(ClearDepth);

}  // namespace
