// TECPLOT writer (menu 2): one finite-element zone in point form per selected
// step, appended to the main output file: three header lines, one line per
// node with the averaged velocities, one line per active element.
#include "format.hpp"
#include "line_blocks.hpp"
#include "node_averages.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

// Header, one record of three lines: TIME and the title, the variable names,
// the zone with NUMNP and the number of active elements.
const Format kHeader(
    "('TITTLE = \"TIME=',1P,E12.4,' ',20A4,'\"',/,"
    "'VARIABLES = \"X\",\"Y\",\"H\",\"VX\",\"VY\",\"V\",','\"VX/D\",\"VY/D\",\"V/D\"',/,"
    "'ZONE N= ',I5,', E= ',I5,', F=FEPOINT')");
// One node: X, Y, H, VX, VY, V, VX/D, VY/D, V/D; the tenth field's comma ends the line.
const Format kNode("(1P,E12.4,9(',',1P,E12.4))");
// One active element: its four corners as stored.
const Format kElement("(I5,3(',',I5))");
// The items of a node line that change from step to step: all but X and Y.
constexpr std::size_t kStepItems[] = {2, 3, 4, 5, 6, 7, 8};

}  // namespace

void writeTecplotStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept) {
  kHeader(out, step.time, titleWords(mesh.title), mesh.numnp, countActive(mesh));

  // Each line averages the velocities onto its own node, on whichever thread renders it.
  const NodeElements& around = kept.nodeElements(mesh);
  kept.nodes.write(out, kNode, kStepItems, static_cast<std::size_t>(mesh.nodes()), [&](std::size_t i) {
    const NodeMeans m = nodalVelocityMeans(around, step, i);
    return std::array<Item, 9>{mesh.x[i], mesh.y[i], step.h[i], m.dvx, m.dvy, magnitude(m.dvx, m.dvy),
                                m.vx,      m.vy,      magnitude(m.vx, m.vy)};
  });

  // The element lines hold no step value: the same in every step.
  const RunArray<std::int32_t>& active = kept.activeElements(mesh);
  kept.elements.write(out, kElement, {}, active.size(), [&](std::size_t line) {
    const std::int32_t e = active[line];
    return std::array<Item, 4>{mesh.corner(e, 1), mesh.corner(e, 2), mesh.corner(e, 3), mesh.corner(e, 4)};
  });
}

}  // namespace gw::postconv
