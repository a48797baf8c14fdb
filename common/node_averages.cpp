#include "node_averages.hpp"

namespace gw {

std::int32_t countActive(const Mesh& mesh) {
  std::int32_t count = 0;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (isActive(mesh, e)) ++count;
  }
  return count;
}

namespace {

// The walk both ways of averaging share, so that they sum the same terms in the
// same order: every active element in order, with those of its corners (in
// corner order) that name a node, as 0-based node indexes.
template <class Take>
void eachAveragedElement(const Mesh& mesh, Take&& take) {
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (!isActive(mesh, e)) continue;
    const int k = cornerCount(mesh, e);
    std::size_t nodes[4];
    int count = 0;
    for (int c = 1; c <= k; ++c) {
      const std::int32_t n = mesh.corner(e, c);
      if (mesh.isNode(n)) nodes[count++] = static_cast<std::size_t>(n - 1);
    }
    take(e, std::span<const std::size_t>(nodes, static_cast<std::size_t>(count)));
  }
}

}  // namespace

void averageNodalVelocities(const Mesh& mesh, const Step& step, NodeWork& work) {
  work.resize(mesh.numnp);
  eachAveragedElement(mesh, [&](std::int32_t e, std::span<const std::size_t> nodes) {
    const double dvx = step.dvx[e - 1];
    const double dvy = step.dvy[e - 1];
    const Quotients v = quotients(dvx, dvy, step.d[e - 1]);
    for (const std::size_t node : nodes) work.add(node, dvx, dvy, v.a, v.b);
  });
  work.divideByCounts();
}

NodeElements::NodeElements(const Mesh& mesh) {
  const std::size_t nodes = mesh.numnp > 0 ? static_cast<std::size_t>(mesh.numnp) : 0;
  // Counted, then placed.
  starts_.assign(nodes + 1, 0);
  eachAveragedElement(mesh, [this](std::int32_t, std::span<const std::size_t> around) {
    for (const std::size_t node : around) ++starts_[node + 1];
  });
  for (std::size_t i = 0; i < nodes; ++i) starts_[i + 1] += starts_[i];
  elements_.resize(starts_[nodes]);
  RunArray<std::uint32_t> next(starts_.begin(), starts_.end() - 1);
  eachAveragedElement(mesh, [&](std::int32_t e, std::span<const std::size_t> around) {
    for (const std::size_t node : around) elements_[next[node]++] = e;
  });
}

int drawnCorners(const Mesh& mesh, std::int32_t e) {
  const std::int32_t fourth = mesh.corner(e, 4);
  return fourth == mesh.corner(e, 3) || fourth == 0 ? 3 : 4;
}

bool drawable(const Mesh& mesh, std::int32_t e) {
  const int k = drawnCorners(mesh, e);
  for (int c = 1; c <= k; ++c) {
    if (!mesh.isNode(mesh.corner(e, c))) return false;
  }
  return true;
}

}  // namespace gw
