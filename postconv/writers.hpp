// The step writers of the six output kinds, called by the converter driver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "result_file.hpp"
#include "converter_state.hpp"
#include "text_out.hpp"

namespace gw::postconv {

// Menu 1: one restart block per selected step.
void writeRestartStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept);

// Menu 2: one TECPLOT finite-element zone per selected step.
void writeTecplotStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept);

// Menu 3: the FEMAP blocks written once before the steps (header, material,
// properties, nodes, elements; then the element group), and per selected step
// an output set with its fourteen output vectors.
void writeFemapModel(TextOut& out, const Mesh& mesh);
void writeFemapGroup(TextOut& out, const Mesh& mesh, Counters& counters);
void writeFemapStep(TextOut& out, const Mesh& mesh, const Step& step, NodeWork& work, Counters& counters);

// Menu 4: one step section per selected step into the scratch file, then at the
// end of the result file the MicroAVS file built from the mesh and those sections.
void writeMicroAvsStep(TextOut& avsTmp, const Mesh& mesh, const Step& step, KeptSteps& kept, Counters& counters);
void writeMicroAvsFinal(TextOut& out, TextOut& avsTmp, const Mesh& mesh, const Counters& counters);

// Menu 5: one rxVIEW block per selected step.
void writeRxviewStep(TextOut& out, const Mesh& mesh, const Step& step, KeptSteps& kept);

// Menu 6: points read from a file and located in the mesh once, then heads
// interpolated at them for every step block.
// In run memory, as the run's other arrays.
struct PointSet {
  RunArray<double> xp, yp;              // XP, YP
  RunArray<double> w1, w2, w3;          // W1, W2, W3
  RunArray<std::int32_t> n1, n2, n3;    // N1, N2, N3 (0 for a point outside the mesh)
  RunArray<std::int32_t> element;       // the element that holds the point, 0 outside the mesh
};
inline constexpr std::int32_t kPointCapacity = 2222;
// Reads the points of the point file `name` and locates them in the mesh.
void setUpPoints(const Mesh& mesh, const std::string& name, const std::string& outputName, PointSet& points);
// The node slots (ascending, each once) of the corners of the located points:
// the only heads writePointStep reads.
RunArray<std::size_t> cornerSlots(const PointSet& points);
void writePointStep(TextOut& out, const PointSet& points, const Step& step, KeptLines& lines);
// The warning of the points that lie in no active element (their heads are 0,
// or interpolated inside an inactive element), naming the first few; empty when
// there is none.
std::string pointsOutsideWarning(const Mesh& mesh, const PointSet& points);

}  // namespace gw::postconv
