#include "fault.hpp"

#include "platform.hpp"

namespace gw {

namespace {

std::string_view standardMessage(FaultKind kind) {
  switch (kind) {
    case FaultKind::FileNotFound: return "file not found";
    case FaultKind::EndOfFile: return "end-of-file during read";
    case FaultKind::Conversion: return "input conversion error";
    case FaultKind::TooMuchData: return "input statement requires too much data";
    case FaultKind::RecordTooLong: return "input record too long";
    case FaultKind::CorruptRecord: return "binary record framing is corrupted";
    case FaultKind::CannotOpen: return "cannot open file";
    case FaultKind::WriteFailed: return "write failed";
    case FaultKind::Refused: return "input refused";
  }
  return "run-time fault";
}

std::string composeMessage(FaultKind kind, int unit, const std::string& file,
                           const std::string& detail) {
  std::string text(detail.empty() ? standardMessage(kind) : std::string_view(detail));
  text += ", unit ";
  text += std::to_string(unit);
  text += ", file ";
  text += file;
  return text;
}

}  // namespace

int faultCode(FaultKind kind) { return static_cast<int>(kind) + 1; }

Fault::Fault(FaultKind kind, int unit, std::string file, std::string detail)
    : std::runtime_error(composeMessage(kind, unit, file, detail)),
      kind_(kind),
      unit_(unit),
      file_(std::move(file)) {}

Fault openFault(int unit, std::string file, bool missingIsNotFound) {
  const platform::Failure& failure = platform::lastFailure();
  if (missingIsNotFound && failure.notFound) return Fault(FaultKind::FileNotFound, unit, std::move(file));
  std::string message(standardMessage(FaultKind::CannotOpen));
  if (!failure.reason.empty()) message += " (" + failure.reason + ")";
  return Fault(FaultKind::CannotOpen, unit, std::move(file), message);
}

std::string diagnosticLine(std::string_view program, const Fault& fault) {
  std::string line(program);
  line += ": severe (";
  line += std::to_string(faultCode(fault.kind()));
  line += "): ";
  line += fault.what();
  return line;
}

void reportFault(std::string_view program, const Fault& fault) { writeErrorLine(diagnosticLine(program, fault)); }

void writeErrorLine(std::string line) {
  line += "\r\n";
  platform::writeAll(platform::kStandardError, line.data(), line.size());
}

}  // namespace gw
