// File names built by the programs.
#pragma once

#include <string>

namespace gw {

// The name of the file `name` in `folder` (empty: the current directory). Joined
// with '/' on every system, so that the names in messages are the same bytes on
// Linux and on Windows.
inline std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace gw
