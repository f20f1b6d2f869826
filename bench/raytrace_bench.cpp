// Cost of one full ray-traced demo frame: 76,800 primary rays with shadows and one bounce.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "raytrace/camera_rays.h"
#include "raytrace/ray_scene.h"
#include "raytrace/ray_trace.h"
#include "raytrace/ray_trace_lanes.h"
#include "vector_paths.h"

namespace {

using namespace quarvel;

void BM_DemoRayFrame(benchmark::State& state) {
  const raytrace::RayTraceKernels kernels = raytrace::rayTraceKernels(bench::benchPath(state));
  std::vector<std::uint32_t> pixels(76800, 0);
  display::Bitmap frame{pixels.data(), 320, 240};
  const raytrace::CameraRayTable& rays = raytrace::cameraRayTable();
  float angle = 0.0f;
  double drift = 0.0;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), 0u);
    const raytrace::RayScene scene = raytrace::buildDemoScene(angle, drift);
    raytrace::traceFrame(kernels, rays, scene, frame);
    benchmark::DoNotOptimize(pixels.data());
    angle = static_cast<float>(angle + 0.05);
    if (drift > 1.0) drift = 0.0;  // keep the spheres in view
  }
  state.SetItemsProcessed(state.iterations() * 76800);
}
BENCHMARK(BM_DemoRayFrame)->Apply(bench::everyVectorPath)->Unit(benchmark::kMillisecond);

void BM_BuildCameraRays(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(raytrace::buildCameraRays(raytrace::kCameraFov, 320, 240));
  }
}
BENCHMARK(BM_BuildCameraRays)->Unit(benchmark::kMillisecond);

}  // namespace
