// Nodal velocity averaging: the element velocities of a step, averaged onto the
// nodes over the active elements around each node.
#pragma once

#include <cmath>

#include "result_file.hpp"
#include "run_state.hpp"

namespace gw::postconv {

// Active element: property number above 0.
inline bool isActive(const Mesh& mesh, std::int32_t e) { return mesh.property(e) > 0; }
// Corner count: 3 when the third and fourth corners are the same node, else 4.
inline int cornerCount(const Mesh& mesh, std::int32_t e) {
  return mesh.corner(e, 3) == mesh.corner(e, 4) ? 3 : 4;
}
// Magnitude of a vector (a, b): the square root of a² + b², computed as written
// so that every output kind shows the same digits for the same components.
inline double magnitude(double a, double b) { return std::sqrt(a * a + b * b); }
// Number of active elements.
std::int32_t countActive(const Mesh& mesh);

// Fills WVX, WVY, WVXD, WVYD with the plain means of DVX, DVY, DVX/D, DVY/D over
// the active elements touching each node, and WCNT with their number. Corner
// numbers outside 1..NUMNP are skipped (the element still adds to its valid
// corners); a node touched by no active element keeps 0.0.
void averageNodalVelocities(const Mesh& mesh, const Step& step, NodeWork& work);

}  // namespace gw::postconv
