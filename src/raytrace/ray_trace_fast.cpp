// Fast frame pass: a conservative bound per tile of rays decides which rays can reach a sphere.
#include "raytrace/ray_trace_fast.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "raytrace/ray_trace_lanes.h"
#include "raytrace/shading.h"

namespace quarvel::raytrace {
namespace {

constexpr std::uint32_t kRunLength = 16;
constexpr std::uint32_t kRunsPerTile = 4;
constexpr std::uint32_t kTilesPerBlock = 4;

// The range of each direction component over a set of rays, and whether all
// of them start exactly at the eye (the only rays the bound covers).
struct DirectionBox {
  float low[3] = {INFINITY, INFINITY, INFINITY};
  float high[3] = {-INFINITY, -INFINITY, -INFINITY};
  bool fromEye = true;

  void include(const Ray& ray) {
    const float direction[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], direction[k]);
      high[k] = std::max(high[k], direction[k]);
      fromEye = fromEye && !std::isnan(direction[k]);
    }
    fromEye = fromEye && ray.origin.x == 0.0f && ray.origin.y == 0.0f && ray.origin.z == 0.0f;
  }
  void include(const DirectionBox& other) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], other.low[k]);
      high[k] = std::max(high[k], other.high[k]);
    }
    fromEye = fromEye && other.fromEye;
  }
};

// The first `count` pixels of a frame `width` pixels wide, cut into runs of
// up to kRunLength pixels of one row; the runs grouped by kRunsPerTile rows
// into tiles, and the tiles kTilesPerBlock across and down into blocks. One
// box per run, tile and block, each stored row by row.
struct RayTiles {
  std::uint32_t width = 0;
  std::uint32_t rows = 0;
  std::uint32_t runsPerRow = 0;
  std::uint32_t tileRows = 0;
  std::uint32_t blocksPerRow = 0;
  std::size_t count = 0;
  std::vector<DirectionBox> runs;
  std::vector<DirectionBox> tiles;
  std::vector<DirectionBox> blocks;
};

RayTiles buildTiles(const CameraRayTable& rays, std::uint32_t width, std::size_t count) {
  RayTiles tiles;
  tiles.width = width;
  tiles.count = count;
  tiles.rows = static_cast<std::uint32_t>((count + width - 1) / width);
  tiles.runsPerRow = (width + kRunLength - 1) / kRunLength;
  tiles.tileRows = (tiles.rows + kRunsPerTile - 1) / kRunsPerTile;
  tiles.blocksPerRow = (tiles.runsPerRow + kTilesPerBlock - 1) / kTilesPerBlock;
  const std::uint32_t blockRows = (tiles.tileRows + kTilesPerBlock - 1) / kTilesPerBlock;
  tiles.runs.resize(std::size_t{tiles.runsPerRow} * tiles.rows);
  tiles.tiles.resize(std::size_t{tiles.runsPerRow} * tiles.tileRows);
  tiles.blocks.resize(std::size_t{tiles.blocksPerRow} * blockRows);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t row = i / width;
    const std::size_t run = row * tiles.runsPerRow + (i % width) / kRunLength;
    tiles.runs[run].include(rays[i]);
  }
  for (std::size_t run = 0; run < tiles.runs.size(); ++run) {
    const std::size_t row = run / tiles.runsPerRow;
    const std::size_t tile = row / kRunsPerTile * tiles.runsPerRow + run % tiles.runsPerRow;
    tiles.tiles[tile].include(tiles.runs[run]);
  }
  for (std::size_t tile = 0; tile < tiles.tiles.size(); ++tile) {
    const std::size_t block = tile / tiles.runsPerRow / kTilesPerBlock * tiles.blocksPerRow +
                              tile % tiles.runsPerRow / kTilesPerBlock;
    tiles.blocks[block].include(tiles.tiles[tile]);
  }
  return tiles;
}

// What the frame's spheres need from a ray out of the eye. The reference finds
// a sphere from the eye only if disc = fl(fl(b * b) - cTerm) >= 0, with
// b = fl(D.(O - C)) and cTerm = fl(|C|^2 - r2) for O = 0. For cTerm > 0 that
// needs fl(b * b) >= cTerm, which is impossible while |b| stays below
// sqrt(cTerm (1 - 2^-20)).
struct SphereBound {
  double minusCentre[3];
  double slack;    // bound on |fl(b) - D.(O - C)|: three roundings of 2^-24 each, doubled
  double limit;    // cTerm (1 - 2^-20); b^2 below it cannot reach the sphere
  bool boundable;  // cTerm > 0: the eye lies outside the sphere
};

SphereBound boundFor(const Sphere& sphere) {
  const math::Vec3 c = sphere.centre;
  const float cTerm =
      baseline::sphereConstantTerm(math::Vec3{0.0f, 0.0f, 0.0f}, c, sphere.radiusSquared);
  SphereBound bound{};
  bound.minusCentre[0] = -static_cast<double>(c.x);
  bound.minusCentre[1] = -static_cast<double>(c.y);
  bound.minusCentre[2] = -static_cast<double>(c.z);
  const double size = std::fabs(bound.minusCentre[0]) + std::fabs(bound.minusCentre[1]) +
                      std::fabs(bound.minusCentre[2]);
  bound.slack = std::ldexp(size, -21);
  bound.limit = static_cast<double>(cTerm) * (1.0 - std::ldexp(1.0, -20));
  bound.boundable = cTerm > 0.0f && std::isfinite(cTerm) && std::isfinite(size);
  return bound;
}

// False only if no ray of the box can find the sphere.
bool mayHit(const DirectionBox& box, const SphereBound& sphere) {
  if (!box.fromEye || !sphere.boundable) return true;
  double low = 0.0;
  double high = 0.0;
  for (int k = 0; k < 3; ++k) {
    // Float times float is exact in double.
    const double a = static_cast<double>(box.low[k]) * sphere.minusCentre[k];
    const double b = static_cast<double>(box.high[k]) * sphere.minusCentre[k];
    low += std::min(a, b);
    high += std::max(a, b);
  }
  const double reach = std::max(std::fabs(low), std::fabs(high)) + sphere.slack;
  return !(reach * reach * (1.0 + std::ldexp(1.0, -40)) < sphere.limit);
}

}  // namespace

RayTraceKernels rayTraceKernels(lanes::VectorPath path) {
  return {lanes::kernelFor<TraceRun>(path, [](auto p) { return &traceRun<decltype(p)::value>; })};
}

bool traceFrameFast(const RayTraceKernels& kernels, const CameraRayTable& rays,
                    const RayScene& scene, display::Bitmap& frame) {
  const TraceRun run = kernels.traceRun;
  if (run == nullptr || !takesScene(scene.spheres.size())) return false;
  const std::size_t count = std::min(rays.size(), std::size_t{frame.width} * frame.height);
  if (count == 0) return true;

  // The demo's table never changes, so its tiles are measured once.
  RayTiles ownTiles;
  const RayTiles* tiles = &ownTiles;
  if (&rays == &cameraRayTable() && frame.width == kCameraWidth && count == rays.size()) {
    static const RayTiles cameraTiles = buildTiles(rays, frame.width, count);
    tiles = &cameraTiles;
  } else {
    ownTiles = buildTiles(rays, frame.width, count);
  }

  std::vector<SphereBound> bounds;
  bounds.reserve(scene.spheres.size());
  for (const Sphere& sphere : scene.spheres) bounds.push_back(boundFor(sphere));
  const SceneView view{scene.spheres.data(), scene.spheres.size(), scene.lights.data(),
                       scene.lights.size()};

  const auto reachable = [&](const DirectionBox& box) {
    return std::any_of(bounds.begin(), bounds.end(),
                       [&](const SphereBound& sphere) { return mayHit(box, sphere); });
  };
  const auto traceRunAt = [&](std::size_t row, std::size_t column) {
    const std::size_t first = row * frame.width + column;
    if (first >= count) return;
    const std::size_t length =
        std::min<std::size_t>({kRunLength, frame.width - column, count - first});
    std::size_t undecided[kRunLength];
    const std::size_t left = run(&rays[first], length, view, frame.pixels + first, undecided);
    for (std::size_t k = 0; k < left; ++k) {
      const std::size_t i = first + undecided[k];
      tracePixel(rays[i], scene, frame.pixels[i]);
    }
  };
  // Every ray of an unreachable block, tile or run misses: its pixels keep
  // their values.
  for (std::size_t block = 0; block < tiles->blocks.size(); ++block) {
    if (!reachable(tiles->blocks[block])) continue;
    const std::size_t tileRow0 = block / tiles->blocksPerRow * kTilesPerBlock;
    const std::size_t tileColumn0 = block % tiles->blocksPerRow * kTilesPerBlock;
    for (std::size_t tileRow = tileRow0;
         tileRow < std::min<std::size_t>(tileRow0 + kTilesPerBlock, tiles->tileRows); ++tileRow) {
      for (std::size_t tileColumn = tileColumn0;
           tileColumn < std::min<std::size_t>(tileColumn0 + kTilesPerBlock, tiles->runsPerRow);
           ++tileColumn) {
        if (!reachable(tiles->tiles[tileRow * tiles->runsPerRow + tileColumn])) continue;
        for (std::size_t row = tileRow * kRunsPerTile;
             row < std::min<std::size_t>((tileRow + 1) * kRunsPerTile, tiles->rows); ++row) {
          if (!reachable(tiles->runs[row * tiles->runsPerRow + tileColumn])) continue;
          traceRunAt(row, tileColumn * kRunLength);
        }
      }
    }
  }
  return true;
}

}  // namespace quarvel::raytrace
