// Fuzz target: whole converter runs on a fuzzed result file. The first byte
// picks the answers (menu number 1 to 6 or one no writer answers to, the time
// step choice, the result file typed or taken from WORK.LST); the rest is the
// result file. A run must end normally or with a fault diagnostic, and must
// leave the result file, WORK.LST and the point file as they were.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver.hpp"
#include "fuzz_support.hpp"

namespace {

constexpr int kMenus[] = {1, 2, 3, 4, 5, 6, 0, 7};
constexpr int kSteps[] = {-1, 0, 1, 2, 5};
constexpr std::string_view kWorkList = "MESH.DAT\r\nBOUND.DAT\r\nCOND.DAT\r\nRES.BIN\r\n";
constexpr std::string_view kPoints = "4\r\n 5.0 4.0\r\n12.5,9.0\r\n-1 -1\r\n20 20\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using gw::fuzz::expect;
  gw::fuzz::Bytes bytes(data, size);
  const unsigned choice = bytes.take();
  const int menu = kMenus[choice % 8];
  const int isel = kSteps[(choice / 8) % 5];
  const bool viaWorkList = (choice / 40) % 2 != 0;
  const std::string_view result = bytes.rest();

  gw::fuzz::PrivateDirectory dir;
  gw::fuzz::writeFile("RES.BIN", result);
  gw::fuzz::writeFile("WORK.LST", kWorkList);
  gw::fuzz::writeFile("POINTS.DAT", kPoints);
  std::string answers = "0\n";
  answers += viaWorkList ? "0\n" : "1\nRES.BIN\n";
  answers += "0\n" + std::to_string(menu) + "\nOUT.TXT\n";
  if (menu == 6) answers += "POINTS.DAT\n";
  answers += std::to_string(isel) + "\n";

  gw::fuzz::RunOutcome outcome = gw::fuzz::runProgram(gw::postconv::runConverter, answers);
  expect(outcome.fault || outcome.status == 0, "a confirmed run ended without a fault but not with status 0");
  expect(gw::fuzz::readFile("RES.BIN") == std::string(result), "the result file was changed");
  expect(gw::fuzz::readFile("WORK.LST") == std::string(kWorkList), "WORK.LST was changed");
  expect(gw::fuzz::readFile("POINTS.DAT") == std::string(kPoints), "the point file was changed");
  return 0;
}
