// Free-form and formatted input: console answers, point files and fixed-column lists.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fault.hpp"
#include "line_input.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

// Line input over a file holding `text`.
class FileInput : public testing::TextInput {
 public:
  explicit FileInput(const std::string& text) : TextInput(text, "pipe", 42) {}
};

FaultKind faultOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.unit(), 42);
    return fault.kind();
  }
  ADD_FAILURE() << "no fault";
  return FaultKind::Refused;
}

TEST(LineInputTest, LinesEndWithLfOrCrLf) {
  FileInput in("one\r\ntwo\nthree");
  EXPECT_EQ((*in).nextLine().value(), "one");
  EXPECT_EQ((*in).nextLine().value(), "two");
  EXPECT_EQ((*in).nextLine().value(), "three");
  EXPECT_FALSE((*in).nextLine().has_value());
}

TEST(LineInputTest, FreeFormValues) {
  FileInput in("  12  \n-3,4.5e1 extra\n\n7\n1.5D2 , 2\n/\n,9\n");
  std::int32_t a = 0, b = 0;
  double x = 0, y = 0;
  readFree(*in, {&a});
  EXPECT_EQ(a, 12);
  readFree(*in, {&a, &x});  // extra values on the line are ignored
  EXPECT_EQ(a, -3);
  EXPECT_EQ(x, 45.0);
  readFree(*in, {&b});  // an empty line: the read goes on to the next
  EXPECT_EQ(b, 7);
  readFree(*in, {&x, &y});  // D exponent, blanks around the comma
  EXPECT_EQ(x, 150.0);
  EXPECT_EQ(y, 2.0);
  readFree(*in, {&a});  // a slash leaves the value unchanged
  EXPECT_EQ(a, -3);
  readFree(*in, {&a, &b});  // an empty value leaves its target unchanged
  EXPECT_EQ(a, -3);
  EXPECT_EQ(b, 9);
}

TEST(LineInputTest, FreeFormFaults) {
  for (const char* text : {"yes\n", "1.5\n", "99999999999\n", "--1\n", "+\n"}) {
    FileInput in(text);
    std::int32_t a = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&a}); }), FaultKind::Conversion) << text;
  }
  for (const char* text : {"1..5\n", "e5\n", "1e\n", "nan\n"}) {
    FileInput in(text);
    double x = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&x}); }), FaultKind::Conversion) << text;
  }
  FileInput in("1\n");
  double x = 0, y = 0;
  EXPECT_EQ(faultOf([&] { readFree(*in, {&x, &y}); }), FaultKind::EndOfFile);
}

TEST(LineInputTest, FormattedText) {
  FileInput in("RESULT_FILE_NAME.BIN.old\r\nab\n");
  EXPECT_EQ(readText(*in, 20), "RESULT_FILE_NAME.BIN");
  EXPECT_EQ(readText(*in, 5), "ab   ");
  EXPECT_EQ(faultOf([&] { readText(*in, 5); }), FaultKind::EndOfFile);
  EXPECT_EQ(fileNameFromField("name.dat            "), "name.dat");
  EXPECT_EQ(fileNameFromField("a_name_that_is_longer_than_twenty"), "a_name_that_is_longe");
}

TEST(LineInputTest, FixedColumnIntegers) {
  FileInput in("  100 1 2         -5\n\n   12\n  1a\n");
  std::int32_t v[6];
  readIntegerFields(*in, 5, v);  // blanks inside a field are ignored; a short line is padded
  EXPECT_EQ(v[0], 100);
  EXPECT_EQ(v[1], 12);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], -5);
  EXPECT_EQ(v[4], 0);
  EXPECT_EQ(v[5], 0);
  readIntegerFields(*in, 5, std::span(v, 1));  // an empty line reads as zeros
  EXPECT_EQ(v[0], 0);
  std::int32_t seven[1];
  readIntegerFields(*in, 7, seven);
  EXPECT_EQ(seven[0], 12);
  EXPECT_EQ(faultOf([&] { readIntegerFields(*in, 5, std::span(v, 1)); }), FaultKind::Conversion);
}

}  // namespace
}  // namespace gw
