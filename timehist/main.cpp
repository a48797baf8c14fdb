// timehist: extracts time series of heads and velocities at chosen nodes and
// elements of a groundwater flow result file into CSV files. Without arguments
// it asks on the console; with them it runs the command line.
#include "command_line.hpp"
#include "driver.hpp"
#include "program_main.hpp"

int main(int argc, char** argv) {
  using namespace gw::timehist;
  if (argc <= 1) return gw::runProgram("timehist", runExtractor);
  return gw::runCommandLine("timehist", argc, argv, parseCommandLine, helpText(), runExtractorWith);
}
