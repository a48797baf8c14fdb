// The converter's command line: a conversion without the dialogue.
//
//   postconv RESULT_FILE --kind KIND -o OUTPUT [--step all|last|N] [--points FILE]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arguments.hpp"

namespace gw::postconv {

struct CommandLine {
  Request request = Request::Run;
  std::string resultFile;
  std::int32_t ktype = 0;   // KTYPE of the chosen kind
  std::string outputFile;
  std::int32_t isel = -1;   // ISEL: below 0 every step, 0 the last, n the step numbered n
  std::string pointFile;    // INTERP only
};

// Parses the arguments after the program name; throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The --help text (LF-ended lines).
const char* helpText();

}  // namespace gw::postconv
