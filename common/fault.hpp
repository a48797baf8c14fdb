// Run-time faults: every file, conversion or capacity problem ends the run with
// one diagnostic line on standard error and a non-zero exit status.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace gw {

enum class FaultKind {
  FileNotFound,    // a file that must exist does not
  EndOfFile,       // the end of a file met where the program does not test for it
  Conversion,      // a field that is not a number where a number is read
  TooMuchData,     // a binary record shorter than the items read from it
  RecordTooLong,   // a formatted read asks for more than a record holds
  CorruptRecord,   // a binary record whose framing does not hold together
  CannotOpen,      // a file that cannot be opened or created
  WriteFailed,     // a write that did not reach the file
  Refused,         // input this program declines to process (capacity, clashing names)
};

// Numeric code shown in the diagnostic line.
int faultCode(FaultKind kind);

class Fault : public std::runtime_error {
 public:
  // `detail` replaces the standard message text of the kind when given.
  Fault(FaultKind kind, int unit, std::string file, std::string detail = {});
  FaultKind kind() const { return kind_; }
  int unit() const { return unit_; }
  const std::string& file() const { return file_; }

  // What the fault means in the user's terms ("SAMPLE.RES was cut short: it
  // ends inside step 5 ..."), said by the reader that knows; empty when the
  // diagnostic says it all. Command-line runs show it on a line of its own
  // after the diagnostic; the dialogue shows the diagnostic alone.
  const std::string& explanation() const { return explanation_; }
  void explain(std::string text) { explanation_ = std::move(text); }

 private:
  FaultKind kind_;
  int unit_;
  std::string file_;
  std::string explanation_;
};

// The fault of a file that could not be opened, from the system's account of
// the failure: "file not found" when the file is missing and `missingIsNotFound`,
// else "cannot open file" with the system's reason, as in
// "cannot open file (Permission denied), unit 8, file out.dat".
Fault openFault(int unit, std::string file, bool missingIsNotFound);

// Exit status of a run that ends on a fault.
inline constexpr int kFaultExitStatus = 2;

// The diagnostic line, without its line end, e.g.
// "postconv: severe (2): end-of-file during read, unit 10, file RES.BIN".
std::string diagnosticLine(std::string_view program, const Fault& fault);

// Prints the diagnostic line (CR LF ended) on standard error.
void reportFault(std::string_view program, const Fault& fault);

// Writes `line` and CR LF, like every console line, on standard error.
void writeErrorLine(std::string line);

}  // namespace gw
