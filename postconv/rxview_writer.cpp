// rxVIEW writer (menu 5): one block per selected step, appended to the main
// output file: time, title and zone lines, one line per node with the averaged
// velocities, one line per active element with its centre and velocity.
#include <vector>

#include "format.hpp"
#include "line_blocks.hpp"
#include "node_averages.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

const Format kTime("('TIME=',1P,E12.4)");
// Title, then the zone with NUMNP and the number of active elements.
const Format kZone(
    "('TITTLE= \"',20A4,'\"',/,"
    "'ZONE N= ',I5,', E= ',I5,',M= 1 ,NV= 9 ,EV= 5')");
const Format kNodeVariables(
    "('NVARIABLES = \"SW\",\"X\",\"Y\",\"H\",\"VX\",\"VY\",\"V\"',"
    "',\"VX*D\",\"VY*D\",\"V*D\",\"BL\",\"Q\"')");
// One node: 0, X, Y, H, the averaged velocities and their magnitude, the
// averaged DVX, DVY and their magnitude, BL, Q.
const Format kNode("(I2,',',1P,E12.4,10(',',1P,E12.4))");
// The items of a node line that change from step to step: all but 0, X, Y, BL.
constexpr std::size_t kNodeStepItems[] = {3, 4, 5, 6, 7, 8, 9, 11};
const Format kElementVariables(
    "('EVARIABLES = ','\"SW\",\"I\",\"J\",\"K\",\"L\",\"P\",\"X\",\"Y\",\"VX\",\"VY\",\"V\"')");
// One active element: 0, its four corners as stored, 1, its centre, its velocity.
const Format kElement("(I2,5(',',I5),5(',',1P,E12.4))");
// The items of an element line that change from step to step: the velocity.
constexpr std::size_t kElementStepItems[] = {8, 9, 10};

struct Centre {
  double x = 0.0, y = 0.0;
};

// Plain mean of the first k corners (k the corner count). Corner numbers that
// name no node are left out of the mean, as the averaging leaves them out; an
// element with no valid corner among them is centred at 0.0, 0.0.
Centre centreOf(const Mesh& mesh, std::int32_t e) {
  const int k = cornerCount(mesh, e);
  Centre c;
  int valid = 0;
  for (int corner = 1; corner <= k; ++corner) {
    const std::int32_t n = mesh.corner(e, corner);
    if (!mesh.isNode(n)) continue;
    c.x += mesh.x[static_cast<std::size_t>(n - 1)];
    c.y += mesh.y[static_cast<std::size_t>(n - 1)];
    ++valid;
  }
  if (valid > 0) {
    c.x /= valid;
    c.y /= valid;
  }
  return c;
}

}  // namespace

void writeRxviewStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept) {
  kTime(out, step.time);
  {
    // The 20 title words and the two counts as one item list (GCC 12 reports a
    // false buffer overflow when the title array goes through the variadic call).
    std::vector<Item> items;
    items.reserve(22);
    for (const Item& word : titleWords(mesh.title)) items.push_back(word);
    items.emplace_back(mesh.numnp);
    items.emplace_back(countActive(mesh));
    kZone.write(out, items);
  }
  kNodeVariables(out);

  // Each line averages the velocities onto its own node, on whichever thread renders it.
  const NodeElements& around = kept.nodeElements(mesh);
  kept.nodes.write(out, kNode, kNodeStepItems, static_cast<std::size_t>(mesh.nodes()), [&](std::size_t i) {
    const NodeMeans m = nodalVelocityMeans(around, step, i);
    return std::array<Item, 12>{0,     mesh.x[i], mesh.y[i], step.h[i], m.vx, m.vy, magnitude(m.vx, m.vy), m.dvx,
                                m.dvy, magnitude(m.dvx, m.dvy), mesh.bl[i], step.q[i]};
  });

  kElementVariables(out);
  const RunArray<std::int32_t>& active = kept.activeElements(mesh);
  kept.elements.write(out, kElement, kElementStepItems, active.size(), [&](std::size_t line) {
    const std::int32_t e = active[line];
    const auto i = static_cast<std::size_t>(e - 1);
    const double dvx = step.dvx[i], dvy = step.dvy[i], d = step.d[i];
    // The centre is the same in every step: it is worked out only for the kept lines.
    const Centre c = kept.elements.reusing() ? Centre{} : centreOf(mesh, e);
    const Quotients v = quotients(dvx, dvy, d);
    return std::array<Item, 11>{0,   mesh.corner(e, 1), mesh.corner(e, 2), mesh.corner(e, 3), mesh.corner(e, 4), 1,
                                c.x, c.y,               v.a,               v.b,               magnitude(dvx, dvy) / d};
  });
}

}  // namespace gw::postconv
