// The console of a dialogue run: prompts and messages on standard output, answers
// from standard input. Prompts reach the screen before every answer is read.
#pragma once

#include <cstdint>
#include <string>

#include "line_input.hpp"
#include "text_out.hpp"

namespace gw {

class Console {
 public:
  static constexpr int kInputUnit = 5;
  static constexpr int kOutputUnit = 6;

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
};

}  // namespace gw
