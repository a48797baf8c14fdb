// The extractor's command line: a run without the dialogue.
//
//   timehist RESULT_FILE GRAPH_FILE [-C DIR]
#pragma once

#include <string>
#include <vector>

#include "arguments.hpp"

namespace gw::timehist {

struct CommandLine {
  Request request = Request::Run;
  std::string resultFile;
  std::string graphFile;
  std::string csvFolder;  // where the CSV files go; empty: the current directory
};

// Parses the arguments after the program name; throws UsageError. A folder
// given with -C must exist.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The --help text (LF-ended lines).
const char* helpText();

}  // namespace gw::timehist
