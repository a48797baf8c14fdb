// File names built by the programs.
#pragma once

#include <string>
#include <string_view>

namespace gw {

// The name of the file `name` in `folder` (empty: the current directory). Joined
// with '/' on every system, so that the names in messages are the same bytes on
// Linux and on Windows.
inline std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// How a system splits a file name into folders.
enum class NameSyntax {
  Posix,    // '/' separates folders
  Windows,  // '/' and '\' separate folders, but not as the second byte of a code
            // page 932 character (表 is 0x95 0x5C); "C:" before a name is a drive
};

// The name of a file without its folders and without its extension: "out/run.res"
// gives "run". A name that starts with its only dot (".res"), "." and ".." keep
// their dots; a name that ends with a separator gives "".
std::string fileStem(std::string_view name, NameSyntax syntax);

}  // namespace gw
