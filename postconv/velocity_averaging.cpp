#include "velocity_averaging.hpp"

namespace gw::postconv {

std::int32_t countActive(const Mesh& mesh) {
  std::int32_t count = 0;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (isActive(mesh, e)) ++count;
  }
  return count;
}

void averageNodalVelocities(const Mesh& mesh, const Step& step, NodeWork& work) {
  work.resize(mesh.numnp);
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (!isActive(mesh, e)) continue;
    const int k = cornerCount(mesh, e);
    const double dvx = step.dvx[e - 1];
    const double dvy = step.dvy[e - 1];
    const double vx = dvx / step.d[e - 1];
    const double vy = dvy / step.d[e - 1];
    for (int c = 1; c <= k; ++c) {
      const std::int32_t n = mesh.corner(e, c);
      if (!mesh.isNode(n)) continue;
      const std::size_t i = static_cast<std::size_t>(n - 1);
      work.wvx[i] += dvx;
      work.wvy[i] += dvy;
      work.wvxd[i] += vx;
      work.wvyd[i] += vy;
      work.wcnt[i] += 1;
    }
  }
  for (std::size_t i = 0; i < work.wcnt.size(); ++i) {
    if (work.wcnt[i] <= 0) continue;
    const double count = work.wcnt[i];
    work.wvx[i] /= count;
    work.wvy[i] /= count;
    work.wvxd[i] /= count;
    work.wvyd[i] /= count;
  }
}

}  // namespace gw::postconv
