#include "arguments.hpp"

#include <utility>

#include "fault.hpp"
#include "platform.hpp"

namespace gw {

bool ArgumentWalker::next() {
  while (at_ < args_.size()) {
    const std::string& arg = args_[at_++];
    hasInlineValue_ = false;
    if (!optionsEnded_ && arg == "--") {
      optionsEnded_ = true;
      continue;
    }
    option_ = !optionsEnded_ && arg.size() > 1 && arg[0] == '-';
    current_ = arg;
    const std::size_t eq = arg.find('=');
    if (option_ && arg.starts_with("--") && eq != std::string::npos) {
      current_ = arg.substr(0, eq);
      inlineValue_ = arg.substr(eq + 1);
      hasInlineValue_ = true;
    }
    return true;
  }
  return false;
}

std::string ArgumentWalker::value() {
  std::string value;
  if (hasInlineValue_) {
    value = inlineValue_;
  } else if (at_ < args_.size()) {
    value = args_[at_++];
  } else {
    throw UsageError("option " + current_ + " needs a value");
  }
  if (value.empty()) throw UsageError("option " + current_ + " needs a value, not an empty one");
  return value;
}

void ArgumentWalker::noValue() const {
  if (hasInlineValue_) throw UsageError("option " + current_ + " takes no value");
}

bool ArgumentWalker::takeRequest(Request& request) const {
  const bool help = current_ == "-h" || current_ == "--help";
  if (!help && current_ != "--version") return false;
  noValue();
  if (help) {
    request = Request::Help;
  } else if (request != Request::Help) {
    request = Request::Version;
  }
  return true;
}

void ArgumentWalker::unknownOption() const { throw UsageError("unknown option '" + current_ + "'"); }

std::vector<std::string> argumentsOf(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void reportUsageError(std::string_view program, const UsageError& error) {
  std::string line(program);
  line += ": ";
  line += error.what();
  line += " (";
  line += program;
  line += " --help lists the options)";
  writeErrorLine(std::move(line));
}

bool writeConsoleLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return platform::writeAll(platform::kStandardOutput, out.data(), out.size());
}

std::string versionLine(std::string_view program) {
  std::string line(program);
  line += ' ';
  line += kVersion;
  return line;
}

}  // namespace gw
