// The extractor's CSV files, planted before a run with known content so that a
// target can tell whether the run touched them.
#pragma once

#include <string>

#include "fuzz_support.hpp"

namespace gw::fuzz {

inline constexpr const char* kCsvNames[] = {"GHTIME.CSV", "GQTIME.csv", "GVDTIME.csv", "GVATIME.csv"};

inline std::string plantedCsv(const char* name) { return std::string("planted before the run: ") + name + "\r\n"; }

inline void plantCsvFiles() {
  for (const char* name : kCsvNames) writeFile(name, plantedCsv(name));
}

inline bool csvFilesPlanted() {
  for (const char* name : kCsvNames) {
    if (readFile(name) != plantedCsv(name)) return false;
  }
  return true;
}

}  // namespace gw::fuzz
