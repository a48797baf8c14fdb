#include "file_names.hpp"

#include "platform.hpp"

namespace gw {

namespace {

// Where the last folder of `name` ends: the position after its last separator.
std::size_t lastFolderEnd(std::string_view name, NameSyntax syntax) {
  if (syntax == NameSyntax::Posix) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
  }
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  std::size_t end = name.size() >= 2 && letter(name[0]) && name[1] == ':' ? 2 : 0;
  // From the front, so that a character's second byte is never read as one of its own.
  for (std::size_t at = end; at < name.size(); ++at) {
    const char c = name[at];
    if (platform::isCp932LeadByte(static_cast<unsigned char>(c))) {
      ++at;
    } else if (c == '/' || c == '\\') {
      end = at + 1;
    }
  }
  return end;
}

}  // namespace

std::string fileStem(std::string_view name, NameSyntax syntax) {
  const std::string_view file = name.substr(lastFolderEnd(name, syntax));
  // No trail byte of code page 932 is a dot, so the last dot is a dot.
  const std::size_t dot = file.rfind('.');
  if (file == ".." || dot == std::string_view::npos || dot == 0) return std::string(file);
  return std::string(file.substr(0, dot));
}

}  // namespace gw
