// Fuzz target: the INTERP point file. A converter run of menu 6 over a small
// well-formed result file reads the fuzzed point file, locates its points and
// writes every step. It must end normally or with a fault diagnostic, and leave
// the point file and the result file as they were.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using gw::fuzz::expect;
  const std::string_view points = gw::fuzz::Bytes(data, size).rest();

  gw::fuzz::PrivateDirectory dir;
  gw::fuzz::writeFile("RES.BIN", gw::fuzz::sampleResultFile());
  gw::fuzz::writeFile("POINTS.DAT", points);
  gw::fuzz::RunOutcome outcome =
      gw::fuzz::runProgram(gw::postconv::runConverter, "0\n1\nRES.BIN\n0\n6\nOUT.TXT\nPOINTS.DAT\n-1\n");
  expect(outcome.fault || outcome.status == 0, "a confirmed run ended without a fault but not with status 0");
  expect(gw::fuzz::readFile("POINTS.DAT") == std::string(points), "the point file was changed");
  expect(gw::fuzz::readFile("RES.BIN") == gw::fuzz::sampleResultFile(), "the result file was changed");
  return 0;
}
