// The frame of every console program: run on the console, and end a fault with
// its one diagnostic line and the fault status.
#pragma once

#include <string>
#include <string_view>

#include "arguments.hpp"
#include "console.hpp"
#include "fault.hpp"
#include "platform.hpp"

namespace gw {

// With `explain`, a fault's explanation follows its diagnostic on a line of its
// own ("PROGRAM: EXPLANATION").
template <class Run>
int runProgram(std::string_view program, Run run, bool explain = false) {
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
    if (explain && !fault.explanation().empty()) {
      writeErrorLine(std::string(program) + ": " + fault.explanation());
    }
    return kFaultExitStatus;
  }
}

// A program started with arguments: `parse` turns them into its command line
// (whose `request` says what to do) or throws UsageError, which ends the run
// with one line and status 2 before anything is opened; --help and --version
// print their text; otherwise `run` gets the console and the command line, and
// a fault is followed by its explanation.
template <class Parse, class Run>
int runCommandLine(std::string_view program, int argc, char** argv, Parse parse, std::string_view help, Run run) {
  platform::prepareStandardStreams();
  decltype(parse(argumentsOf(argc, argv))) line;
  try {
    line = parse(argumentsOf(argc, argv));
  } catch (const UsageError& error) {
    reportUsageError(program, error);
    return kUsageExitStatus;
  }
  switch (line.request) {
    case Request::Help: return writeConsoleLines(help) ? 0 : kFaultExitStatus;
    case Request::Version: return writeConsoleLines(versionLine(program) + "\n") ? 0 : kFaultExitStatus;
    case Request::Run: break;
  }
  return runProgram(program, [&line, &run](Console& console) { return run(console, line); }, true);
}

}  // namespace gw
