// Locating the INTERP points: 2222 points on a mesh of 44400 elements, by the
// plain scan of all elements and through the grid. Before timing, both
// are checked to give the same element, sub-triangle and weights for every point.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "point_locator.hpp"
#include "writers.hpp"

namespace {

using gw::Mesh;
using gw::postconv::PointLocation;
using gw::postconv::PointLocator;

// A rectangular aquifer of jittered counter-clockwise quadrilaterals, every
// fifth cell split into two triangles: 185 x 200 cells, 44400 elements.
Mesh sampleMesh() {
  constexpr int nx = 186, ny = 201, splitEvery = 5;
  Mesh mesh;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> jitter(-0.2, 0.2);
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      bool edge = i == 0 || j == 0 || i == nx - 1 || j == ny - 1;
      mesh.x.push_back(i * 10.0 + (edge ? 0.0 : jitter(rng)));
      mesh.y.push_back(j * 8.0 + (edge ? 0.0 : jitter(rng)));
    }
  }
  mesh.numnp = nx * ny;
  auto id = [](int i, int j) { return static_cast<std::int32_t>(j * nx + i + 1); };
  int cell = 0;
  for (int j = 0; j + 1 < ny; ++j) {
    for (int i = 0; i + 1 < nx; ++i, ++cell) {
      std::int32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      if (cell % splitEvery == splitEvery - 1) {
        mesh.ie.insert(mesh.ie.end(), {a, b, c, c, 1, a, c, d, d, 1});
        mesh.numel += 2;
      } else {
        mesh.ie.insert(mesh.ie.end(), {a, b, c, d, 1});
        mesh.numel += 1;
      }
    }
  }
  return mesh;
}

struct Fixture {
  Mesh mesh = sampleMesh();
  std::vector<double> xp, yp;

  Fixture() {
    // Mostly inside, some at nodes, some beyond the mesh (near it and far away).
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> ux(-20.0, 1870.0), uy(-20.0, 1620.0);
    for (int i = 0; i < gw::postconv::kPointCapacity; ++i) {
      if (i % 10 == 0) {
        std::size_t n = static_cast<std::size_t>(i) * 13 % mesh.x.size();
        xp.push_back(mesh.x[n]);
        yp.push_back(mesh.y[n]);
      } else if (i % 97 == 0) {
        xp.push_back(1.0e6 + i);
        yp.push_back(-5.0e5);
      } else {
        xp.push_back(ux(rng));
        yp.push_back(uy(rng));
      }
    }
    check();
  }

  void check() const {
    const PointLocator locator(mesh, xp, yp);
    int found = 0;
    for (std::size_t i = 0; i < xp.size(); ++i) {
      const PointLocation a = gw::postconv::locateByScan(mesh, xp[i], yp[i]);
      const PointLocation& b = locator.at(i);
      bool same = a.element == b.element && a.subTriangle == b.subTriangle && a.n1 == b.n1 &&
                  a.n2 == b.n2 && a.n3 == b.n3 &&
                  std::bit_cast<std::uint64_t>(a.w1) == std::bit_cast<std::uint64_t>(b.w1) &&
                  std::bit_cast<std::uint64_t>(a.w2) == std::bit_cast<std::uint64_t>(b.w2) &&
                  std::bit_cast<std::uint64_t>(a.w3) == std::bit_cast<std::uint64_t>(b.w3);
      if (!same) {
        std::fprintf(stderr, "point %zu: scan and index disagree\n", i + 1);
        std::exit(1);
      }
      found += a.found();
    }
    std::fprintf(stderr, "%zu points, %d located, %d elements, %zu element tests: scan and grid agree\n", xp.size(),
                 found, mesh.numel, locator.tests());
  }
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

void BM_LocateByScan(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    for (std::size_t i = 0; i < f.xp.size(); ++i) {
      benchmark::DoNotOptimize(gw::postconv::locateByScan(f.mesh, f.xp[i], f.yp[i]));
    }
  }
  state.counters["points"] = static_cast<double>(f.xp.size());
  state.counters["elements"] = f.mesh.numel;
}
BENCHMARK(BM_LocateByScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// Binning the points and sweeping the elements once, their bins worked out
// eight at a time where the machine can (as the program does), or one by one.
void BM_LocateByGrid(benchmark::State& state, PointLocator::Sweep sweep) {
  const Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(PointLocator(f.mesh, f.xp, f.yp, sweep).at(0));
  state.counters["points"] = static_cast<double>(f.xp.size());
  state.counters["elements"] = f.mesh.numel;
}
BENCHMARK_CAPTURE(BM_LocateByGrid, eight_at_a_time, PointLocator::Sweep::EightAtATime)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LocateByGrid, one_by_one, PointLocator::Sweep::OneByOne)->Unit(benchmark::kMillisecond);

}  // namespace
