// The frame of every console program: run on the console, and end a fault with
// its one diagnostic line and the fault status.
#pragma once

#include <string_view>

#include "console.hpp"
#include "fault.hpp"
#include "platform.hpp"

namespace gw {

template <class Run>
int runProgram(std::string_view program, Run run) {
  // A closed output stream is a write fault with its diagnostic, not a silent end.
  platform::prepareStandardStreams();
  Console console;
  try {
    return run(console);
  } catch (const Fault& fault) {
    try {
      console.out().flush();
    } catch (const Fault&) {
    }
    reportFault(program, fault);
    return kFaultExitStatus;
  }
}

}  // namespace gw
