// timehist: extracts time series of heads and velocities at chosen nodes and
// elements of a groundwater flow result file into CSV files.
#include <csignal>

#include "driver.hpp"
#include "fault.hpp"

int main() {
  // A closed output stream is a write fault with its diagnostic, not a silent end.
  std::signal(SIGPIPE, SIG_IGN);
  gw::Console console;
  try {
    return gw::timehist::runExtractor(console);
  } catch (const gw::Fault& fault) {
    try {
      console.out().flush();
    } catch (const gw::Fault&) {
    }
    gw::reportFault("timehist", fault);
    return gw::kFaultExitStatus;
  }
}
