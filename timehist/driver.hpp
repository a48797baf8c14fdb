// The extractor's whole run: dialogue, mesh, graph data file, step loop, CSV files.
#pragma once

#include "console.hpp"

namespace gw::timehist {

// Runs the extractor on the console; returns the exit status. File and input
// faults are thrown as gw::Fault.
int runExtractor(Console& console);

}  // namespace gw::timehist
