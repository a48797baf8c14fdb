// The derived fields every program takes the same way from a step: which
// elements are active and how many corners they have, and the element
// velocities averaged onto the nodes over the active elements around each node.
#pragma once

#include <cmath>

#include "result_file.hpp"
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
// Number of active elements.
std::int32_t countActive(const Mesh& mesh);

// Fills WVX, WVY, WVXD, WVYD with the plain means of DVX, DVY, DVX/D, DVY/D over
// the active elements touching each node, and WCNT with their number. Corner
// numbers outside 1..NUMNP are skipped (the element still adds to its valid
// corners); a node touched by no active element keeps 0.0.
void averageNodalVelocities(const Mesh& mesh, const Step& step, NodeWork& work);

// Corners an element is drawn with: 3 when its fourth corner repeats the third or
// is 0 (a triangle stored either way), else 4.
int drawnCorners(const Mesh& mesh, std::int32_t e);
// Whether every drawn corner of element e names a node of the mesh, so that a
// viewer can draw it.
bool drawable(const Mesh& mesh, std::int32_t e);

}  // namespace gw
