// Fuzz target: whole extractor runs on a fuzzed result file. The first byte
// picks one of three graph data files and whether the result file is typed or
// taken from WORK.LST; the rest is the result file. A run must end normally or
// with a fault diagnostic; it must leave the result file, WORK.LST and the graph
// data file as they were, and a run that faults must leave every CSV file as it
// was (they are written only after the last step).
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver.hpp"
#include "fuzz_support.hpp"
#include "timehist_fuzz.hpp"

namespace {

// (6I5) capacities, then the H, Q, VD and VA lists: counts (I5), entries (10I7).
constexpr std::string_view kGraphs[] = {
    // Defaults; two nodes for H, one for Q, elements for VD and VA.
    "\r\n    2\r\n      1      9\r\n    1\r\n      5\r\n    2\r\n      1      3\r\n    1\r\n      2\r\n",
    // One step kept; entries of 0, below 0 and beyond any mesh.
    "    1    4    4    4    4\r\n    4\r\n      0     -3  44444      1\r\n    0\r\n"
    "    3\r\n      1  44444     -1\r\n    2\r\n  44444      0\r\n",
    // Room for twelve steps; only the H list, of twelve entries on two lines.
    "   12   12\r\n   12\r\n      1      2      3      4      5      6      7      8      9     10\r\n"
    "     11     12\r\n    0\r\n    0\r\n    0\r\n",
};
constexpr std::string_view kWorkList = "MESH.DAT\r\nBOUND.DAT\r\nCOND.DAT\r\nRES.BIN\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using gw::fuzz::expect;
  gw::fuzz::Bytes bytes(data, size);
  const unsigned choice = bytes.take();
  const std::string_view graph = kGraphs[choice % 3];
  const bool viaWorkList = (choice / 3) % 2 != 0;
  const std::string_view result = bytes.rest();

  gw::fuzz::PrivateDirectory dir;
  gw::fuzz::writeFile("RES.BIN", result);
  gw::fuzz::writeFile("WORK.LST", kWorkList);
  gw::fuzz::writeFile("GRAPH.DAT", graph);
  gw::fuzz::plantCsvFiles();
  std::string answers = viaWorkList ? "0\n" : "1\nRES.BIN\n";
  answers += "GRAPH.DAT\n";

  gw::fuzz::RunOutcome outcome = gw::fuzz::runProgram(gw::timehist::runExtractor, answers);
  expect(outcome.fault || outcome.status == 0, "a run ended without a fault but not with status 0");
  expect(gw::fuzz::readFile("RES.BIN") == std::string(result), "the result file was changed");
  expect(gw::fuzz::readFile("WORK.LST") == std::string(kWorkList), "WORK.LST was changed");
  expect(gw::fuzz::readFile("GRAPH.DAT") == std::string(graph), "the graph data file was changed");
  if (outcome.fault) expect(gw::fuzz::csvFilesPlanted(), "a run that faulted changed a CSV file");
  return 0;
}
