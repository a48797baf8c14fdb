// What the console programs share for their command lines: walking the
// arguments, the one-line message of a command line that cannot be run, and the
// --help and --version texts.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gw {

// The release shown by --version.
inline constexpr std::string_view kVersion = "1.1.0";

// Exit status of a command line that cannot be run.
inline constexpr int kUsageExitStatus = 2;

// A command line that cannot be run; the message says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a program does with its command line: its run, or print its help or
// its version.
enum class Request { Run, Help, Version };

// Walks the arguments after the program name. An option is an argument that
// begins with '-' (but not "-" alone, and none after "--"); its value is the
// text after '=' (--name=VALUE) or the next argument. Every other argument is
// an operand.
class ArgumentWalker {
 public:
  explicit ArgumentWalker(std::vector<std::string> args) : args_(std::move(args)) {}

  // Moves to the next argument; false when there is none.
  bool next();
  bool isOption() const { return option_; }
  // The option's name (without "=VALUE"), or the operand.
  const std::string& current() const { return current_; }
  // The option's value; a missing or empty value is a UsageError.
  std::string value();
  // A UsageError when the option was given a value with '='.
  void noValue() const;
  // True when the option is -h, --help or --version, which sets `request`
  // (help wins over version).
  bool takeRequest(Request& request) const;
  // The UsageError of an option this program does not know.
  [[noreturn]] void unknownOption() const;

 private:
  std::vector<std::string> args_;
  std::size_t at_ = 0;
  bool optionsEnded_ = false;
  bool option_ = false;
  std::string current_;
  std::string inlineValue_;
  bool hasInlineValue_ = false;
};

// Arguments 1..argc-1 as strings.
std::vector<std::string> argumentsOf(int argc, char** argv);

// "PROGRAM: MESSAGE (PROGRAM --help lists the options)" on standard error.
void reportUsageError(std::string_view program, const UsageError& error);

// Writes a text of LF-ended lines to standard output with CR LF line ends;
// false when it cannot be written.
bool writeConsoleLines(std::string_view text);

// The --version line: "PROGRAM 1.1.0".
std::string versionLine(std::string_view program);

}  // namespace gw
