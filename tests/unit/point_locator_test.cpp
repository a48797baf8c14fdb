// Locating INTERP points: the area test, its order and its bad-input rules, and
// the grid index giving exactly what the plain scan gives.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "point_locator.hpp"
#include "wide_fields.hpp"

namespace gw::postconv {
namespace {

// A mesh built in memory: nodes by coordinates, elements by corners.
struct MeshBuilder {
  Mesh mesh;
  std::int32_t node(double x, double y) {
    mesh.x.push_back(x);
    mesh.y.push_back(y);
    return ++mesh.numnp;
  }
  std::int32_t element(std::int32_t k1, std::int32_t k2, std::int32_t k3, std::int32_t k4, std::int32_t p = 1) {
    for (std::int32_t k : {k1, k2, k3, k4, p}) mesh.ie.push_back(k);
    return ++mesh.numel;
  }
};

bool sameBits(const PointLocation& a, const PointLocation& b) {
  return a.element == b.element && a.subTriangle == b.subTriangle && a.n1 == b.n1 && a.n2 == b.n2 &&
         a.n3 == b.n3 && std::bit_cast<std::uint64_t>(a.w1) == std::bit_cast<std::uint64_t>(b.w1) &&
         std::bit_cast<std::uint64_t>(a.w2) == std::bit_cast<std::uint64_t>(b.w2) &&
         std::bit_cast<std::uint64_t>(a.w3) == std::bit_cast<std::uint64_t>(b.w3);
}

// One point through the grid.
PointLocation locateOne(const Mesh& mesh, double x, double y) {
  const double xp[] = {x}, yp[] = {y};
  return PointLocator(mesh, xp, yp).at(0);
}

// Scan and grid must agree; returns the scan's answer.
PointLocation locateBoth(const Mesh& mesh, double x, double y) {
  const PointLocation scan = locateByScan(mesh, x, y);
  const PointLocation index = locateOne(mesh, x, y);
  EXPECT_TRUE(sameBits(scan, index)) << "point " << x << ", " << y << ": scan element " << scan.element
                                     << ", index element " << index.element;
  return scan;
}

TEST(PointLocatorTest, UnitTriangleWeights) {
  MeshBuilder b;
  std::int32_t k1 = b.node(0, 0), k2 = b.node(1, 0), k3 = b.node(0, 1);
  b.element(k1, k2, k3, k3);
  const PointLocation at = locateBoth(b.mesh, 0.25, 0.25);
  EXPECT_EQ(at.element, 1);
  EXPECT_EQ(at.subTriangle, 1);
  EXPECT_EQ(at.n1, k1);
  EXPECT_EQ(at.n2, k2);
  EXPECT_EQ(at.n3, k3);
  EXPECT_EQ(at.w1, 0.5);
  EXPECT_EQ(at.w2, 0.25);
  EXPECT_EQ(at.w3, 0.25);
}

// Two unit squares side by side: element 1 (x 0..1) and element 2 (x 1..2).
MeshBuilder twoSquares() {
  MeshBuilder b;
  for (double y : {0.0, 1.0}) {
    for (double x : {0.0, 1.0, 2.0}) b.node(x, y);
  }
  b.element(1, 2, 5, 4);
  b.element(2, 3, 6, 5);
  return b;
}

TEST(PointLocatorTest, TieBreaksFollowElementThenSubTriangleOrder) {
  MeshBuilder b = twoSquares();
  // On the diagonal K1-K3 of element 1: its first sub-triangle.
  PointLocation at = locateBoth(b.mesh, 0.5, 0.5);
  EXPECT_EQ(at.element, 1);
  EXPECT_EQ(at.subTriangle, 1);
  // Above the diagonal: the second sub-triangle (K1, K3, K4).
  at = locateBoth(b.mesh, 0.25, 0.75);
  EXPECT_EQ(at.subTriangle, 2);
  EXPECT_EQ(at.n1, 1);
  EXPECT_EQ(at.n2, 5);
  EXPECT_EQ(at.n3, 4);
  // On the shared edge x = 1: the earlier element.
  at = locateBoth(b.mesh, 1.0, 0.5);
  EXPECT_EQ(at.element, 1);
  // At a node: weight 1 on it in the first sub-triangle having it as a corner.
  at = locateBoth(b.mesh, 1.0, 1.0);  // node 5, corner K3 of element 1
  EXPECT_EQ(at.element, 1);
  EXPECT_EQ(at.n3, 5);
  EXPECT_EQ(at.w1, 0.0);
  EXPECT_EQ(at.w2, 0.0);
  EXPECT_EQ(at.w3, 1.0);
  // Outside: nothing.
  EXPECT_FALSE(locateBoth(b.mesh, 2.5, 0.5).found());
  EXPECT_FALSE(locateBoth(b.mesh, 1.0, -1e-300).found());
}

TEST(PointLocatorTest, TrianglesAndIgnoredProperty) {
  MeshBuilder b;
  b.node(0, 0), b.node(1, 0), b.node(0, 1), b.node(1, 1);
  b.element(1, 2, 3, 0, 0);   // K4 = 0: a triangle; property 0 takes part all the same
  b.element(2, 4, 3, 3, -5);  // K3 = K4
  EXPECT_EQ(locateBoth(b.mesh, 0.2, 0.2).element, 1);
  const PointLocation at = locateBoth(b.mesh, 0.8, 0.8);
  EXPECT_EQ(at.element, 2);
  EXPECT_EQ(at.subTriangle, 1);
}

TEST(PointLocatorTest, ClockwiseElementNeverHoldsAPoint) {
  MeshBuilder b;
  b.node(0, 0), b.node(1, 0), b.node(1, 1), b.node(0, 1);
  b.element(1, 4, 3, 2);  // clockwise
  for (auto [x, y] : {std::pair{0.5, 0.5}, {0.0, 0.0}, {1.0, 0.5}, {0.25, 0.0}}) {
    EXPECT_FALSE(locateBoth(b.mesh, x, y).found()) << x << "," << y;
  }
  b.element(1, 2, 3, 4);  // the same square counter-clockwise
  EXPECT_EQ(locateBoth(b.mesh, 0.5, 0.5).element, 2);
}

TEST(PointLocatorTest, FlatSubTriangleIsSkippedAndTheSearchGoesOn) {
  MeshBuilder b;
  b.node(0, 0), b.node(1, 0), b.node(2, 0), b.node(1, 1);
  b.element(1, 2, 3, 3);  // three collinear corners: A = 0
  b.element(1, 3, 4, 4);
  // (0.5, 0) lies on the flat triangle (all areas 0) and on element 2's edge.
  const PointLocation at = locateBoth(b.mesh, 0.5, 0.0);
  EXPECT_EQ(at.element, 2);
  EXPECT_TRUE(std::isfinite(at.w1) && std::isfinite(at.w2) && std::isfinite(at.w3));
  EXPECT_EQ(at.w1 + at.w2 + at.w3, 1.0);
}

TEST(PointLocatorTest, ElementWithACornerOutsideTheMeshNeverHoldsAPoint) {
  MeshBuilder b;
  b.node(0, 0), b.node(1, 0), b.node(1, 1), b.node(0, 1);
  b.element(1, 2, 3, 99);  // K4 names no node: not even its first sub-triangle counts
  b.element(-1, 2, 3, 3);
  b.element(1, 2, 0, 0);
  EXPECT_FALSE(locateBoth(b.mesh, 0.75, 0.25).found());
  b.element(1, 2, 3, 4);
  EXPECT_EQ(locateBoth(b.mesh, 0.75, 0.25).element, 4);
}

TEST(PointLocatorTest, EmptyAndDegenerateMeshes) {
  MeshBuilder b;
  EXPECT_FALSE(locateBoth(b.mesh, 0, 0).found());
  b.node(0, 0), b.node(1, 0), b.node(2, 0);
  b.element(1, 2, 3, 3);  // only a flat element
  EXPECT_FALSE(locateBoth(b.mesh, 1, 0).found());
  b.mesh.numel = -3;  // a negative count holds no element
  EXPECT_FALSE(locateBoth(b.mesh, 1, 0).found());
}

// A jittered grid of quadrilaterals and triangles (both triangle markers),
// with overlapping, clockwise, flat, sliver and broken elements mixed in, so
// that ties and the bad-input rules all come up.
Mesh awkwardMesh(int nx, int ny, unsigned seed) {
  MeshBuilder b;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  const double dx = 10.0, dy = 8.0, x0 = 12345.0, y0 = -678.0;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      bool edge = i == 0 || j == 0 || i == nx - 1 || j == ny - 1;
      b.node(x0 + i * dx + (edge ? 0.0 : jitter(rng)), y0 + j * dy + (edge ? 0.0 : jitter(rng)));
    }
  }
  auto id = [nx](int i, int j) { return static_cast<std::int32_t>(j * nx + i + 1); };
  int cell = 0;
  for (int j = 0; j + 1 < ny; ++j) {
    for (int i = 0; i + 1 < nx; ++i, ++cell) {
      std::int32_t a = id(i, j), c2 = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      switch (cell % 11) {
        case 3: b.element(a, c2, c, c), b.element(a, c, d, 0); break;
        case 5: b.element(a, d, c, c2); b.element(a, c2, c, d); break;  // clockwise first
        case 7: b.element(a, c2, c, 9999999); b.element(a, c2, c, d); break;
        default: b.element(a, c2, c, d); break;
      }
    }
  }
  // Big triangles over the grid: later elements, so they win only where the
  // grid has a gap (the broken elements above).
  b.element(id(0, 0), id(nx - 1, 0), id(nx - 1, ny - 1), id(nx - 1, ny - 1));
  // A sliver along the bottom edge and a flat element on it.
  std::int32_t s1 = b.node(x0, y0 - 1e-9), s2 = b.node(x0 + (nx - 1) * dx, y0 - 2e-9);
  b.element(s1, s2, id(nx / 2, 0), id(nx / 2, 0));
  b.element(id(0, 0), id(1, 0), id(2, 0), id(2, 0));
  return b.mesh;
}

TEST(PointLocatorTest, GridMatchesScanBitForBit) {
  const Mesh mesh = awkwardMesh(40, 30, 7);
  std::vector<std::pair<double, double>> points;
  std::mt19937 rng(11);
  double xmin = mesh.x[0], xmax = mesh.x[0], ymin = mesh.y[0], ymax = mesh.y[0];
  for (std::size_t n = 0; n < mesh.x.size(); ++n) {
    points.emplace_back(mesh.x[n], mesh.y[n]);  // every node
    xmin = std::min(xmin, mesh.x[n]), xmax = std::max(xmax, mesh.x[n]);
    ymin = std::min(ymin, mesh.y[n]), ymax = std::max(ymax, mesh.y[n]);
  }
  for (std::int32_t e = 1; e <= mesh.numel; ++e) {  // points on and near edges
    for (int c = 1; c <= 4; ++c) {
      std::int32_t p = mesh.corner(e, c), q = mesh.corner(e, c % 4 + 1);
      if (!mesh.isNode(p) || !mesh.isNode(q)) continue;
      for (double t : {0.5, 0.25, 1.0 / 3.0}) {
        double x = mesh.x[p - 1] + t * (mesh.x[q - 1] - mesh.x[p - 1]);
        double y = mesh.y[p - 1] + t * (mesh.y[q - 1] - mesh.y[p - 1]);
        points.emplace_back(x, y);
        points.emplace_back(std::nextafter(x, 0.0), y);
        points.emplace_back(x, std::nextafter(y, 1e9));
      }
    }
  }
  // Bin borders: lines of the grid, in both directions (about one bin per element).
  const double w = xmax - xmin, h = ymax - ymin;
  const int bins = static_cast<int>(std::sqrt(mesh.numel)) + 1;
  for (int k = 0; k <= 2 * bins; ++k) {
    points.emplace_back(xmin + k * (w / (2 * bins)), ymin + 0.37 * h);
    points.emplace_back(xmin + 0.61 * w, ymin + k * (h / (2 * bins)));
  }
  std::uniform_real_distribution<double> ux(xmin - 0.1 * w, xmax + 0.1 * w), uy(ymin - 0.1 * h, ymax + 0.1 * h);
  for (int k = 0; k < 20000; ++k) points.emplace_back(ux(rng), uy(rng));
  // Far away, where rounding makes every area 0: the scan's answer stands.
  points.emplace_back(1e17, 1e17);
  points.emplace_back(-3e20, 5.0);
  points.emplace_back(xmin - 2 * w, ymin);

  std::vector<double> xp, yp;
  for (auto [x, y] : points) xp.push_back(x), yp.push_back(y);
  std::vector<PointLocation> scan;
  for (auto [x, y] : points) scan.push_back(locateByScan(mesh, x, y));
  // Both ways of working out the bins test the same points against the same elements.
  std::size_t tests[2] = {};
  for (const auto sweep : {PointLocator::Sweep::EightAtATime, PointLocator::Sweep::OneByOne}) {
    SCOPED_TRACE(sweep == PointLocator::Sweep::OneByOne ? "one by one" : "eight at a time");
    const PointLocator locator(mesh, xp, yp, sweep);
    EXPECT_LT(locator.everywhereCount(), 5u);  // the grid does the work
    EXPECT_GT(locator.binsX() * locator.binsY(), 100);
    EXPECT_LT(locator.tests(), 4 * points.size());
    tests[sweep == PointLocator::Sweep::OneByOne] = locator.tests();

    int found = 0, mismatches = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (!sameBits(scan[i], locator.at(i))) {
        if (++mismatches <= 5) {
          ADD_FAILURE() << "point " << xp[i] << ", " << yp[i] << ": scan " << scan[i].element << ", index "
                        << locator.at(i).element;
        }
      }
      found += scan[i].found();
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(found, static_cast<int>(points.size() / 2));
  }
  EXPECT_EQ(tests[0], tests[1]);
}

// Every element worked out in each of the eight lanes gets the bins it gets
// on its own (the sweep takes them in blocks from element 1; here from every
// element, so that each element passes through every lane).
TEST(PointLocatorTest, EightLanesGiveTheBinsOfOneByOne) {
  const Mesh mesh = awkwardMesh(40, 30, 7);
  const double xp[] = {0.0}, yp[] = {0.0};
  PointLocator locator(mesh, xp, yp);
  PointLocator::LaneCheck all;
  for (std::int32_t first = 1; first + 7 <= mesh.numel; ++first) {
    const PointLocator::LaneCheck check = locator.checkLanes(first);
    all.common += check.common, all.differ += check.differ;
  }
  EXPECT_EQ(all.differ, 0);
  if (fields::wide::available()) {
    EXPECT_GT(all.common, 4 * mesh.numel);  // most elements
  }
}

TEST(PointLocatorTest, RoundingCanPassAPointFarOutsideANearlyFlatElement) {
  // Three nearly collinear corners whose computed area is a tiny positive
  // number; for this point, 60 units outside the element's box, every signed
  // area rounds to 0, so the scan takes the element. The index must too.
  MeshBuilder b;
  b.node(-0x1.fd1cce19918efp+5, 0x1.1649e32e9514bp+4);
  b.node(-0x1.eefabede41a89p+5, 0x1.0e147b62fdb4bp+4);
  b.node(-0x1.a106a083f9ea6p+4, 0x1.9eca17e59fc6fp+2);
  b.element(1, 2, 3, 3);
  std::int32_t s = b.node(-200, -100);
  b.node(0, -100), b.node(0, 100), b.node(-200, 100);
  b.element(s, s + 1, s + 2, s + 3);
  const double xp[] = {-0x1.faa9f86281122p+6, -150}, yp[] = {0x1.1d922cf55e05ap+5, 50};
  const PointLocator locator(b.mesh, xp, yp);
  EXPECT_EQ(locator.everywhereCount(), 1u);
  const PointLocation scan = locateByScan(b.mesh, xp[0], yp[0]);
  EXPECT_EQ(scan.element, 1);
  EXPECT_TRUE(sameBits(scan, locator.at(0)));
  EXPECT_EQ(locator.at(1).element, 2);
}

TEST(PointLocatorTest, FarPointsFollowTheScan) {
  // So far away that every coordinate difference rounds to the same value:
  // all areas are 0 and the first element takes the point with weights 0.
  const Mesh mesh = twoSquares().mesh;
  for (double d : {1e3, 1e10, 1e16, 1e17, 1e30}) {
    for (auto [x, y] : {std::pair{d, d}, {-d, d}, {d, 0.5}, {0.5, -d}}) {
      EXPECT_TRUE(sameBits(locateByScan(mesh, x, y), locateOne(mesh, x, y))) << x << "," << y;
    }
  }
  const PointLocation far = locateOne(mesh, 1e17, 1e17);
  EXPECT_EQ(far.element, 1);
  EXPECT_EQ(far.w1 + far.w2 + far.w3, 0.0);
}

TEST(PointLocatorTest, NonFiniteCoordinatesAreHandledLikeTheScan) {
  MeshBuilder b = twoSquares();
  std::int32_t inf = b.node(INFINITY, 0), nan = b.node(NAN, 1);
  b.element(1, inf, 5, 4);
  b.element(2, 3, nan, 5);
  b.element(1, 3, 6, 4);  // covers both squares
  // Sixteen elements in all, so that eight are worked out side by side.
  b.element(inf, nan, 5, 5);
  for (std::int32_t huge = b.node(1e150, -1e150); b.mesh.numel < 16;) b.element(huge, 2, 3, 3);
  const double xp[] = {0.5, 1.5, 3.0, 1e300, NAN}, yp[] = {0.2, 0.7, 0.5, 0.5, 0.5};
  for (const auto sweep : {PointLocator::Sweep::EightAtATime, PointLocator::Sweep::OneByOne}) {
    const PointLocator locator(b.mesh, xp, yp, sweep);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_TRUE(sameBits(locateByScan(b.mesh, xp[i], yp[i]), locator.at(i))) << xp[i] << "," << yp[i];
    }
    EXPECT_FALSE(locator.at(4).found());
  }
}

}  // namespace
}  // namespace gw::postconv
