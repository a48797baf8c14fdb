// The derived fields every program takes the same way from a step: which
// elements are active and how many corners they have, and the element
// velocities averaged onto the nodes over the active elements around each node.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "result_file.hpp"
#include "run_array.hpp"
#include "run_state.hpp"

namespace gw {

// Active element: property number above 0.
inline bool isActive(const Mesh& mesh, std::int32_t e) { return mesh.property(e) > 0; }
// Corner count: 3 when the third and fourth corners are the same node, else 4.
inline int cornerCount(const Mesh& mesh, std::int32_t e) {
  return mesh.corner(e, 3) == mesh.corner(e, 4) ? 3 : 4;
}
// Magnitude of a vector (a, b): the square root of a² + b², computed as written
// so that every output kind shows the same digits for the same components.
inline double magnitude(double a, double b) { return std::sqrt(a * a + b * b); }
// a / d and b / d in one division of a pair: each lane rounds as a division of
// its own, so the bits are those of the two divisions, at the cost of one.
struct Quotients {
  double a, b;
};
inline Quotients quotients(double a, double b, double d) {
  using Pair = double __attribute__((vector_size(16)));
  const Pair q = Pair{a, b} / d;
  return {q[0], q[1]};
}
// Number of active elements.
std::int32_t countActive(const Mesh& mesh);

// Fills WVX, WVY, WVXD, WVYD with the plain means of DVX, DVY, DVX/D, DVY/D over
// the active elements touching each node, and WCNT with their number. Corner
// numbers outside 1..NUMNP are skipped (the element still adds to its valid
// corners); a node touched by no active element keeps 0.0.
void averageNodalVelocities(const Mesh& mesh, const Step& step, NodeWork& work);

// The active elements around each node, in element order, an element once for
// each of its corners that names the node: the terms, in the order of
// averageNodalVelocities, of the node's sums. Built once per mesh.
class NodeElements {
 public:
  explicit NodeElements(const Mesh& mesh);
  std::span<const std::int32_t> of(std::size_t node) const {
    return {elements_.data() + starts_[node], elements_.data() + starts_[node + 1]};
  }

 private:
  // In run memory, with the other arrays of the run.
  RunArray<std::uint32_t> starts_;  // of each node's elements, and their end
  RunArray<std::int32_t> elements_;
};

// The four means of one node (WVX, WVY, WVXD, WVYD of that node).
struct NodeMeans {
  double dvx = 0.0, dvy = 0.0, vx = 0.0, vy = 0.0;
};
// Node i's means (0-based) worked out for that node alone: the same sums in
// the same order as averageNodalVelocities, so the same bits, but a node at a
// time, so that the lines of a step can average their own nodes on any thread.
inline NodeMeans nodalVelocityMeans(const NodeElements& around, const Step& step, std::size_t i) {
  NodeMeans m;
  const std::span<const std::int32_t> elements = around.of(i);
  for (const std::int32_t e : elements) {
    const auto k = static_cast<std::size_t>(e - 1);
    const double dvx = step.dvx[k], dvy = step.dvy[k];
    m.dvx += dvx;
    m.dvy += dvy;
    const Quotients v = quotients(dvx, dvy, step.d[k]);
    m.vx += v.a;
    m.vy += v.b;
  }
  if (!elements.empty()) {
    const auto count = static_cast<double>(elements.size());
    const Quotients dv = quotients(m.dvx, m.dvy, count), v = quotients(m.vx, m.vy, count);
    m = {dv.a, dv.b, v.a, v.b};
  }
  return m;
}

// Corners an element is drawn with: 3 when its fourth corner repeats the third or
// is 0 (a triangle stored either way), else 4.
int drawnCorners(const Mesh& mesh, std::int32_t e);
// Whether every drawn corner of element e names a node of the mesh, so that a
// viewer can draw it.
bool drawable(const Mesh& mesh, std::int32_t e);

}  // namespace gw
