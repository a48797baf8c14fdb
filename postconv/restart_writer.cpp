// Restart writer (menu 1): the node state of a selected step as the solver's
// restart data, one block per step appended to the main output file.
#include "format.hpp"
#include "free_form.hpp"
#include "line_blocks.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

// Line 1: the step number and time, introduced by the text " LA,TIME ".
constexpr std::string_view kStepText = " LA,TIME ";
// Lines 2 ..: n, ISTAT, NCODE, X, Y, H, Q, AUX, BL; 95 characters each.
const Format kNode("(I5,2(',',I5),6(',',1P,E12.4))");
// The items of a node line that change from step to step: ISTAT, H, Q.
constexpr std::size_t kStepItems[] = {1, 5, 6};

}  // namespace

void writeRestartStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept) {
  writeFree(out, kStepText, step.la, step.time);
  kept.nodes.write(out, kNode, kStepItems, static_cast<std::size_t>(mesh.nodes()), [&](std::size_t i) {
    return std::array<Item, 9>{static_cast<std::int32_t>(i + 1), step.istat[i], mesh.ncode[i], mesh.x[i], mesh.y[i],
                               step.h[i], step.q[i], mesh.aux[i], mesh.bl[i]};
  });
}

}  // namespace gw::postconv
