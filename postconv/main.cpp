// postconv: converts a groundwater flow result file into the input of one of six
// consumers, driven by console prompts.
#include <csignal>

#include "driver.hpp"
#include "fault.hpp"

int main() {
  // A closed output stream is a write fault with its diagnostic, not a silent end.
  std::signal(SIGPIPE, SIG_IGN);
  gw::Console console;
  try {
    return gw::postconv::runConverter(console);
  } catch (const gw::Fault& fault) {
    try {
      console.out().flush();
    } catch (const gw::Fault&) {
    }
    gw::reportFault("postconv", fault);
    return gw::kFaultExitStatus;
  }
}
