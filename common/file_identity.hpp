// Whether two names lead to the same file on disk.
#pragma once

#include <string>

namespace gw {

// True when both names exist and are the same file (same device and inode);
// false when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace gw
