// Letter case of the ASCII letters in names and settings typed by a user; other
// bytes (code page 932 and UTF-8 text among them) stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace gw {

inline std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace gw
