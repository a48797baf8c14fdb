#include "console.hpp"

namespace gw {

Console::Console(int inFd, int outFd)
    : out_(outFd, "stdout", kOutputUnit, false), in_(inFd, "stdin", kInputUnit, false) {
  in_.setBeforeRead([this] { out_.flush(); });
}

std::int32_t Console::readInteger(std::int32_t previous) {
  std::int32_t value = previous;
  readFree(in_, {&value});
  return value;
}

std::string Console::readFileName() { return fileNameFromField(readText(in_, kNameWidth)); }

}  // namespace gw
