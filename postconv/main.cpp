// postconv: converts a groundwater flow result file into the input of one of six
// consumers. Without arguments it asks on the console; with them it runs the
// command line.
#include "command_line.hpp"
#include "driver.hpp"
#include "program_main.hpp"

int main(int argc, char** argv) {
  using namespace gw::postconv;
  if (argc <= 1) return gw::runProgram("postconv", runConverter);
  return gw::runCommandLine("postconv", argc, argv, parseCommandLine, helpText(), runConverterWith);
}
