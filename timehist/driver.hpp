// The extractor's whole run: dialogue, mesh, graph data file, step loop, CSV files.
#pragma once

#include "command_line.hpp"
#include "console.hpp"

namespace gw::timehist {

// Runs the extractor on the console dialogue; returns the exit status. File
// and input faults are thrown as gw::Fault.
int runExtractor(Console& console);

// Runs the extraction the command line gives, without the dialogue: the same
// CSV files as the dialogue with the same files; the console shows the title,
// the totals and the files written.
int runExtractorWith(Console& console, const CommandLine& line);

}  // namespace gw::timehist
