// Text input meets files that are not text: over-long lines, files without line
// ends, binary bytes. Memory stays bounded and values are never taken from a
// line cut short.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fault.hpp"
#include "line_input.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

constexpr std::size_t kKept = LineInput::kKeptLength;

// Line input over a file holding `text`.
testing::TextInput memoryInput(const std::string& text) { return testing::TextInput(text, "POINTS.DAT", 11); }

FaultKind faultOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.unit(), 11);
    EXPECT_EQ(fault.file(), "POINTS.DAT");
    return fault.kind();
  }
  ADD_FAILURE() << "no fault";
  return FaultKind::Refused;
}

TEST(HardeningLineInputTest, LinesUpToTheKeptLengthComeWhole) {
  const std::string exact(kKept, 'a');
  auto in = memoryInput(exact + "\r\n" + exact + "\n" + exact);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(in->nextLine().value(), exact) << k;
    EXPECT_FALSE(in->lineCut()) << k;
  }
  EXPECT_FALSE(in->nextLine().has_value());
}

TEST(HardeningLineInputTest, LongerLinesAreCutAndReadPastToTheirEnd) {
  const std::string head = "HEAD" + std::string(kKept, 'x');
  // 40 MB without a line end, then two short lines; and a cut last line.
  auto in = memoryInput(head + std::string(40u << 20, 'y') + "\r\nnext\nlast" + std::string(kKept, 'z'));
  std::string_view line = in->nextLine().value();
  EXPECT_TRUE(in->lineCut());
  EXPECT_EQ(line, std::string_view(head).substr(0, kKept));
  EXPECT_EQ(in->nextLine().value(), "next");
  EXPECT_FALSE(in->lineCut());
  line = in->nextLine().value();
  EXPECT_TRUE(in->lineCut());
  EXPECT_EQ(line.substr(0, 5), "lastz");
  EXPECT_EQ(line.size(), kKept);
  EXPECT_FALSE(in->nextLine().has_value());
}

TEST(HardeningLineInputTest, FixedColumnReadsUseTheKeptPartOfACutLine) {
  auto in = memoryInput("   12   34" + std::string(kKept, ' ') + "99\n    7\n");
  std::int32_t v[2] = {};
  readIntegerFields(*in, 5, v);
  EXPECT_EQ(v[0], 12);
  EXPECT_EQ(v[1], 34);
  readIntegerFields(*in, 5, std::span(v, 1));
  EXPECT_EQ(v[0], 7);
}

TEST(HardeningLineInputTest, FreeFormValuesBeyondTheCutAreRefused) {
  // Enough values within the kept part: the rest of the line is ignored as usual.
  {
    auto in = memoryInput("3 4" + std::string(2 * kKept, ' ') + "5\n6\n");
    std::int32_t a = 0, b = 0;
    readFree(*in, {&a, &b});
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    readFree(*in, {&a});
    EXPECT_EQ(a, 6);
  }
  // The second value lies beyond the cut: never taken from the next line instead.
  {
    auto in = memoryInput("3" + std::string(2 * kKept, ' ') + "5\n6\n");
    std::int32_t a = 0, b = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&a, &b}); }), FaultKind::RecordTooLong);
  }
  // A value running into the cut is not read as its first digits.
  {
    auto in = memoryInput(std::string(kKept - 2, ' ') + "12345\n");
    std::int32_t a = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&a}); }), FaultKind::RecordTooLong);
  }
  // A number that ends right at the kept length on an uncut line is fine.
  {
    auto in = memoryInput(std::string(kKept - 5, ' ') + "12345\r\n");
    std::int32_t a = 0;
    readFree(*in, {&a});
    EXPECT_EQ(a, 12345);
  }
}

TEST(HardeningLineInputTest, AnIntegerHasOneSignAtMost) {
  for (const char* token : {"+-5", "-+5", "++5", "--5", "+", "-", "+ 5"}) {
    std::int32_t v = 99;
    EXPECT_FALSE(parseFreeInteger(token, v)) << token;
    EXPECT_EQ(v, 99) << token;
  }
  std::int32_t v = 0;
  EXPECT_TRUE(parseFreeInteger("+5", v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(parseFreeInteger("-2147483648", v));
  EXPECT_EQ(v, -2147483647 - 1);
  auto in = memoryInput("+-1\n");
  std::int32_t answer = 0;
  EXPECT_EQ(faultOf([&] { readFree(*in, {&answer}); }), FaultKind::Conversion);
}

}  // namespace
}  // namespace gw
