// The console of a dialogue run: prompts and messages on standard output, answers
// from standard input. Prompts reach the screen before every answer is read.
//
// Console text is held as code page 932 bytes. Where the user's terminal shows
// UTF-8, it is converted on its way out; pipes and files get the bytes as they
// are. GWPOST_CONSOLE=cp932 or GWPOST_CONSOLE=utf-8 in the environment forces
// either form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "line_input.hpp"
#include "text_out.hpp"

namespace gw {

// The form in which console text reaches standard output.
enum class ConsoleForm { Cp932, Utf8 };

// GWPOST_CONSOLE when it names a form; otherwise UTF-8 when `fd` is a terminal
// that shows UTF-8, and code page 932 everywhere else.
ConsoleForm consoleFormFor(int fd);

// Code page 932 text, arriving in pieces, passed on as UTF-8. A character
// whose two bytes arrive in two pieces is converted whole.
class Utf8Console {
 public:
  explicit Utf8Console(int fd) : fd_(fd) {}
  // False when the text cannot be written.
  bool write(const char* data, std::size_t size);

 private:
  int fd_;
  std::string pending_;  // a first byte of a two-byte character, waiting for its second
};

class Console {
 public:
  static constexpr int kInputUnit = 5;
  static constexpr int kOutputUnit = 6;
  // The console's lines are few: a small buffer, so that the run's large
  // arrays share fewer fresh pages with it.
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  Console(int inFd = 0, int outFd = 1);

  TextOut& out() { return out_; }
  LineInput& in() { return in_; }

  // Free-form read of one integer. The end of the input is the end-of-file fault
  // (a prompt that repeats never loops on a closed input); a slash or an empty
  // value leaves `previous` as the answer.
  std::int32_t readInteger(std::int32_t previous = 0);
  // (A) read of a file name into a 20-character field.
  std::string readFileName();

 private:
  TextOut out_;
  LineInput in_;
  Utf8Console utf8_;
};

// A file a run has written, as the command-line runs report it.
struct WrittenFile {
  std::string name;
  unsigned long long bytes = 0;
  int steps = 0;
};

// One line per file: "  wrote NAME (BYTES bytes, STEPS steps)".
void reportWritten(TextOut& out, const std::vector<WrittenFile>& files);

}  // namespace gw
