#include "console.hpp"

#include <cstdlib>

#include "ascii_case.hpp"
#include "platform.hpp"

namespace gw {

ConsoleForm consoleFormFor(int fd) {
  if (const char* setting = std::getenv("GWPOST_CONSOLE"); setting != nullptr) {
    const std::string form = lowerCase(setting);
    if (form == "cp932") return ConsoleForm::Cp932;
    if (form == "utf-8" || form == "utf8") return ConsoleForm::Utf8;
  }
  return platform::terminalShowsUtf8(fd) ? ConsoleForm::Utf8 : ConsoleForm::Cp932;
}

bool Utf8Console::write(const char* data, std::size_t size) {
  std::string text = std::move(pending_);
  pending_.clear();
  text.append(data, size);
  std::size_t whole = 0;
  while (whole < text.size()) {
    const std::size_t length = platform::isCp932LeadByte(static_cast<unsigned char>(text[whole])) ? 2 : 1;
    if (whole + length > text.size()) break;
    whole += length;
  }
  pending_ = text.substr(whole);
  text.resize(whole);
  return platform::writeConsoleUtf8(fd_, platform::cp932ToUtf8(text));
}

Console::Console(int inFd, int outFd)
    : out_(outFd, "stdout", kOutputUnit, false, kBufferBytes), in_(inFd, "stdin", kInputUnit, false), utf8_(outFd) {
  in_.setBeforeRead([this] { out_.flush(); });
  if (consoleFormFor(outFd) == ConsoleForm::Utf8) {
    out_.setWriter([this](const char* data, std::size_t size) { return utf8_.write(data, size); });
  }
}

std::int32_t Console::readInteger(std::int32_t previous) {
  std::int32_t value = previous;
  readFree(in_, {&value});
  return value;
}

std::string Console::readFileName() { return fileNameFromField(readText(in_, kNameWidth)); }

void reportWritten(TextOut& out, const std::vector<WrittenFile>& files) {
  for (const WrittenFile& file : files) {
    out.put("  wrote ");
    out.put(file.name);
    out.put(" (");
    out.put(std::to_string(file.bytes));
    out.put(file.bytes == 1 ? " byte, " : " bytes, ");
    out.put(std::to_string(file.steps));
    out.put(file.steps == 1 ? " step)" : " steps)");
    out.endRecord();
  }
}

}  // namespace gw
