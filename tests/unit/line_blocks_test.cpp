// Lines shared between two threads come out exactly as a plain loop writes them.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "format.hpp"
#include "line_blocks.hpp"

namespace gw {
namespace {

const Format kLine("(I7,2(',',1P,E12.4))");

void line(TextOut& out, std::size_t i) { kLine(out, static_cast<int>(i), 0.1 * static_cast<double>(i), -1.0 / (1.0 + static_cast<double>(i))); }

std::string plain(std::size_t count) {
  TextOut out;
  for (std::size_t i = 0; i < count; ++i) line(out, i);
  out.flush();
  return out.captured();
}

std::string shared(std::size_t count, std::size_t bytesPerLine) {
  TextOut out;
  out.put("head");
  writeLines(out, count, bytesPerLine, line);
  out.put("tail");
  out.flush();
  return out.captured();
}

// Block sizes from one line to several thousand, counts around block boundaries.
TEST(LineBlocksTest, SharedRunsEqualThePlainLoop) {
  const std::size_t perBlock[] = {1, 7, 1000, 4096};
  for (std::size_t lines : perBlock) {
    const std::size_t bytesPerLine = kBlockBytes / lines;
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, lines - 1, lines, lines + 1, 2 * lines,
                              2 * lines + 1, 5 * lines + 3}) {
      ASSERT_EQ(shared(count, bytesPerLine), "head" + plain(count) + "tail")
          << count << " lines in blocks of " << lines;
    }
  }
}

// Blocks far beyond the memory buffer of a block still arrive whole.
TEST(LineBlocksTest, BlocksLargerThanTheBuffer) {
  TextOut out;
  const std::string wide(300000, 'x');
  writeLines(out, 9, 1, [&](TextOut& o, std::size_t i) {
    o.put(std::to_string(i));
    o.put(wide);
    o.endRecord();
  });
  out.flush();
  std::string expected;
  for (int i = 0; i < 9; ++i) expected += std::to_string(i) + wide + "\r\n";
  EXPECT_EQ(out.captured(), expected);
}

// A failing line on either thread ends the run with its exception, and leaves
// nothing behind for the next run.
TEST(LineBlocksTest, AFailureOnEitherThreadIsRethrown) {
  for (std::size_t failing : {std::size_t{2}, std::size_t{3}, std::size_t{40}}) {
    TextOut out;
    EXPECT_THROW(writeLines(out, 50, kBlockBytes,
                            [&](TextOut& o, std::size_t i) {
                              if (i == failing) throw std::runtime_error("line fails");
                              line(o, i);
                            }),
                 std::runtime_error)
        << failing;
    ASSERT_EQ(shared(50, kBlockBytes / 3), "head" + plain(50) + "tail") << "after a failure at " << failing;
  }
}

}  // namespace
}  // namespace gw
