// postconv: converts a groundwater flow result file into the input of one of six
// consumers, driven by console prompts.
#include "driver.hpp"
#include "program_main.hpp"

int main() { return gw::runProgram("postconv", gw::postconv::runConverter); }
