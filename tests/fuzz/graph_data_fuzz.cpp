// Fuzz target: the graph data file of the extractor. A run over a small
// well-formed result file reads the fuzzed graph data file (capacities and four
// point lists) and writes the CSV files. It must end normally or with a fault
// diagnostic; it must leave the graph data and result files as they were, and a
// run that faults must leave every CSV file as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver.hpp"
#include "fuzz_support.hpp"
#include "timehist_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using gw::fuzz::expect;
  const std::string_view graph = gw::fuzz::Bytes(data, size).rest();

  gw::fuzz::PrivateDirectory dir;
  gw::fuzz::writeFile("RES.BIN", gw::fuzz::sampleResultFile());
  gw::fuzz::writeFile("GRAPH.DAT", graph);
  gw::fuzz::plantCsvFiles();
  gw::fuzz::RunOutcome outcome = gw::fuzz::runProgram(gw::timehist::runExtractor, "1\nRES.BIN\nGRAPH.DAT\n");
  expect(outcome.fault || outcome.status == 0, "a run ended without a fault but not with status 0");
  expect(gw::fuzz::readFile("GRAPH.DAT") == std::string(graph), "the graph data file was changed");
  expect(gw::fuzz::readFile("RES.BIN") == gw::fuzz::sampleResultFile(), "the result file was changed");
  if (outcome.fault) expect(gw::fuzz::csvFilesPlanted(), "a run that faulted changed a CSV file");
  return 0;
}
