// Nodal velocity averaging: which elements and corners take part, the plain
// means, and what survives from the previous step in the scratch arrays.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <vector>
#include <cmath>
#include <limits>

#include "node_averages.hpp"

namespace gw {
namespace {

// A mesh of `nodes` nodes and the given elements (four corners and a property
// number each), with one step of element results.
struct Case {
  Mesh mesh;
  Step step;

  Case(std::int32_t nodes, std::initializer_list<std::array<std::int32_t, 5>> elements) {
    mesh.numnp = nodes;
    mesh.x.assign(static_cast<std::size_t>(nodes), 0.0);
    mesh.y = mesh.x;
    for (const auto& e : elements) mesh.ie.insert(mesh.ie.end(), e.begin(), e.end());
    mesh.numel = static_cast<std::int32_t>(elements.size());
    step.dvx.assign(elements.size(), 0.0);
    step.dvy = step.dvx;
    step.d.assign(elements.size(), 1.0);
  }
  void results(std::size_t e, double dvx, double dvy, double d) {
    step.dvx[e - 1] = dvx;
    step.dvy[e - 1] = dvy;
    step.d[e - 1] = d;
  }
};

TEST(VelocityAveragingTest, PlainMeansOverActiveElementsOnly) {
  // Two quadrilaterals sharing nodes 2 and 5, a triangle 4 5 7 7, and two
  // inactive elements (property 0 and -2) over nodes 5 6 8 7.
  Case c(8, {{1, 2, 5, 4, 1}, {2, 3, 6, 5, 2}, {4, 5, 7, 7, 1}, {5, 6, 8, 7, 0}, {5, 6, 8, 7, -2}});
  c.results(1, 1.0, 0.0, 2.0);
  c.results(2, 3.0, 0.0, 1.0);
  c.results(3, -0.5, 4.0, 0.5);
  c.results(4, 100.0, 100.0, 1.0);
  c.results(5, 100.0, 100.0, 1.0);
  NodeWork w;
  averageNodalVelocities(c.mesh, c.step, w);

  const std::int32_t counts[] = {1, 2, 1, 2, 3, 1, 1, 0};
  for (int n = 0; n < 8; ++n) EXPECT_EQ(w.wcnt[n], counts[n]) << "node " << n + 1;
  // The shared node of the two quadrilaterals: (1 + 3) / 2.
  EXPECT_DOUBLE_EQ(w.wvx[1], 2.0);
  EXPECT_DOUBLE_EQ(w.wvy[1], 0.0);
  EXPECT_DOUBLE_EQ(w.wvxd[1], (0.5 + 3.0) / 2);
  // The triangle reaches node 7 once, not twice.
  EXPECT_DOUBLE_EQ(w.wvx[6], -0.5);
  EXPECT_DOUBLE_EQ(w.wvyd[6], 8.0);
  // Node 5: both quadrilaterals and the triangle, unweighted.
  EXPECT_DOUBLE_EQ(w.wvx[4], (1.0 + 3.0 - 0.5) / 3);
  EXPECT_DOUBLE_EQ(w.wvy[4], 4.0 / 3);
  EXPECT_DOUBLE_EQ(w.wvxd[4], (0.5 + 3.0 - 1.0) / 3);
  EXPECT_DOUBLE_EQ(w.wvyd[4], 8.0 / 3);
  // Node 6 ignores the inactive elements; node 8 is in none of the active ones.
  EXPECT_DOUBLE_EQ(w.wvx[5], 3.0);
  EXPECT_EQ(w.wvx[7], 0.0);
  EXPECT_EQ(w.wvy[7], 0.0);
  EXPECT_EQ(w.wvxd[7], 0.0);
  EXPECT_EQ(w.wvyd[7], 0.0);
  EXPECT_EQ(countActive(c.mesh), 3);
}

TEST(VelocityAveragingTest, OnlyEqualThirdAndFourthCornersMakeATriangle) {
  // Fourth corner 0: four corners, of which the 0 is skipped; a repeated first
  // and second corner is not a triangle either and counts node 1 twice.
  Case c(3, {{1, 2, 3, 0, 1}, {1, 1, 2, 3, 1}});
  c.results(1, 6.0, 0.0, 1.0);
  c.results(2, 0.0, 0.0, 1.0);
  EXPECT_EQ(cornerCount(c.mesh, 1), 4);
  EXPECT_EQ(cornerCount(c.mesh, 2), 4);
  NodeWork w;
  averageNodalVelocities(c.mesh, c.step, w);
  EXPECT_EQ(w.wcnt[0], 3);
  EXPECT_DOUBLE_EQ(w.wvx[0], 2.0);
  EXPECT_EQ(w.wcnt[2], 2);
  EXPECT_DOUBLE_EQ(w.wvx[2], 3.0);
}

TEST(VelocityAveragingTest, CornersOutsideTheNodeRangeAreSkipped) {
  // Exactly NUMNP slots: any write past them would be caught by the sanitizer
  // build, and no node may take a value from a corner it is not.
  Case c(3, {{0, 1, 4, -7, 1}, {3, 44445, 2, 2, 1}});
  c.results(1, 8.0, -2.0, 2.0);
  c.results(2, 2.0, 6.0, 1.0);
  NodeWork w;
  averageNodalVelocities(c.mesh, c.step, w);
  ASSERT_EQ(w.wcnt.size(), 3u);
  EXPECT_EQ(w.wcnt[0], 1);
  EXPECT_DOUBLE_EQ(w.wvx[0], 8.0);
  EXPECT_DOUBLE_EQ(w.wvyd[0], -1.0);
  EXPECT_EQ(w.wcnt[1], 1);
  EXPECT_DOUBLE_EQ(w.wvy[1], 6.0);
  EXPECT_EQ(w.wcnt[2], 1);
  EXPECT_DOUBLE_EQ(w.wvxd[2], 2.0);
}

TEST(VelocityAveragingTest, ZeroDivisorGivesNonFiniteQuotientsOnly) {
  Case c(3, {{1, 2, 3, 3, 1}});
  c.results(1, -1.0, 0.0, 0.0);
  NodeWork w;
  averageNodalVelocities(c.mesh, c.step, w);
  EXPECT_DOUBLE_EQ(w.wvx[0], -1.0);
  EXPECT_EQ(w.wvy[0], 0.0);
  EXPECT_EQ(w.wvxd[0], -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(w.wvyd[0]));
}

TEST(VelocityAveragingTest, EveryStepStartsFromEmptyArrays) {
  Case c(4, {{1, 2, 3, 4, 1}});
  NodeWork w;
  // Stale values from an earlier step of a larger mesh.
  w.resize(10);
  for (auto* v : {&w.wvx, &w.wvy, &w.wvxd, &w.wvyd}) v->assign(10, 99.0);
  w.wcnt.assign(10, 7);
  c.results(1, 4.0, 2.0, 2.0);
  averageNodalVelocities(c.mesh, c.step, w);
  ASSERT_EQ(w.wvx.size(), 4u);
  EXPECT_EQ(w.wcnt[3], 1);
  EXPECT_DOUBLE_EQ(w.wvx[3], 4.0);
  EXPECT_DOUBLE_EQ(w.wvyd[3], 1.0);

  // Negative counts: no node, no element.
  c.mesh.numnp = -5;
  c.mesh.numel = -1;
  averageNodalVelocities(c.mesh, c.step, w);
  EXPECT_TRUE(w.wvx.empty());
  EXPECT_EQ(countActive(c.mesh), 0);
}

// A node at a time (on any thread) the means are the very bits of the
// element-by-element averaging, on every mesh above and on one of many
// elements per node with values whose sums depend on their order.
TEST(VelocityAveragingTest, NodeAtATimeGivesTheSameBits) {
  std::vector<Case> cases = {
      Case(8, {{1, 2, 5, 4, 1}, {2, 3, 6, 5, 2}, {4, 5, 7, 7, 1}, {5, 6, 8, 7, 0}, {5, 6, 8, 7, -2}}),
      Case(3, {{1, 2, 3, 0, 1}, {1, 1, 2, 3, 1}}), Case(3, {{0, 1, 4, -7, 1}, {3, 44445, 2, 2, 1}}),
      Case(3, {{1, 2, 3, 3, 1}}), Case(0, {{1, 2, 3, 4, 1}})};
  Case fan(5, {});
  for (std::int32_t e = 0; e < 40; ++e) {
    fan.mesh.ie.insert(fan.mesh.ie.end(), {1 + e % 3, 2 + e % 3, 5, 5 - e % 2, e % 5 - 1});
    fan.step.dvx.push_back(std::ldexp(1.0 + e, (e * 7) % 61 - 30) * (e % 3 ? 1 : -1));
    fan.step.dvy.push_back(0.1 * e);
    fan.step.d.push_back(e % 9 == 0 ? 0.0 : 0.3 * e);
  }
  fan.mesh.numel = 40;
  cases.push_back(fan);
  cases[0].results(3, -0.5, 4.0, 0.5);
  cases[3].results(1, -1.0, 0.0, 0.0);
  for (const Case& c : cases) {
    NodeWork w;
    averageNodalVelocities(c.mesh, c.step, w);
    const NodeElements around(c.mesh);
    for (std::size_t i = 0; i < w.wvx.size(); ++i) {
      const NodeMeans m = nodalVelocityMeans(around, c.step, i);
      const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
      EXPECT_EQ(bits(m.dvx), bits(w.wvx[i])) << "node " << i + 1;
      EXPECT_EQ(bits(m.dvy), bits(w.wvy[i])) << "node " << i + 1;
      EXPECT_EQ(bits(m.vx), bits(w.wvxd[i])) << "node " << i + 1;
      EXPECT_EQ(bits(m.vy), bits(w.wvyd[i])) << "node " << i + 1;
    }
  }
}

TEST(VelocityAveragingTest, MagnitudeOfExtremeComponents) {
  EXPECT_DOUBLE_EQ(magnitude(3.0, -4.0), 5.0);
  // The square root of the sum of squares as written: squares beyond the double
  // range make an infinite magnitude, as the same formula does in every output kind.
  EXPECT_EQ(magnitude(3e200, 4e200), std::numeric_limits<double>::infinity());
  EXPECT_EQ(magnitude(0.1, 0.2), std::sqrt(0.1 * 0.1 + 0.2 * 0.2));
  EXPECT_EQ(magnitude(0.0, 0.0), 0.0);
}

}  // namespace
}  // namespace gw
