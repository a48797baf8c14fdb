// timehist: extracts time series of heads and velocities at chosen nodes and
// elements of a groundwater flow result file into CSV files.
#include "driver.hpp"
#include "program_main.hpp"

int main() { return gw::runProgram("timehist", gw::timehist::runExtractor); }
