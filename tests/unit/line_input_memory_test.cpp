// A text file without line ends is read in bounded memory. Measured with the
// process's peak resident size from getrusage, which Windows does not have: the
// Windows build leaves this test out (tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "line_input.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

TEST(HardeningLineInputTest, AFileWithoutLineEndsIsNotHeldInMemory) {
  // 256 MB of binary bytes without a line end, read under a 64 MB growth budget
  // of the resident size: a reader that keeps the whole line cannot pass this.
  testing::ScratchFile file("");
  std::filesystem::resize_file(file.path(), 256u << 20);  // reads as zero bytes
  LineInput in(file.open(), "GRAPH.DAT", 11, true);
  struct rusage before {};
  ::getrusage(RUSAGE_SELF, &before);
  std::string text = readText(in, 20);
  struct rusage after {};
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(text, std::string(20, '\0'));
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
  EXPECT_FALSE(in.nextLine().has_value());
}

}  // namespace
}  // namespace gw
