// Free-form and formatted input: console answers, point files and fixed-column lists.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>

#include "fault.hpp"
#include "line_input.hpp"

namespace gw {
namespace {

// Line input over a pipe holding `text`.
class PipeInput {
 public:
  explicit PipeInput(const std::string& text) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[1]);
    in_ = std::make_unique<LineInput>(fds[0], "pipe", 42, true);
  }
  LineInput& operator*() { return *in_; }

 private:
  std::unique_ptr<LineInput> in_;
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
  PipeInput in("one\r\ntwo\nthree");
  EXPECT_EQ((*in).nextLine().value(), "one");
  EXPECT_EQ((*in).nextLine().value(), "two");
  EXPECT_EQ((*in).nextLine().value(), "three");
  EXPECT_FALSE((*in).nextLine().has_value());
}

TEST(LineInputTest, FreeFormValues) {
  PipeInput in("  12  \n-3,4.5e1 extra\n\n7\n1.5D2 , 2\n/\n,9\n");
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
    PipeInput in(text);
    std::int32_t a = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&a}); }), FaultKind::Conversion) << text;
  }
  for (const char* text : {"1..5\n", "e5\n", "1e\n", "nan\n"}) {
    PipeInput in(text);
    double x = 0;
    EXPECT_EQ(faultOf([&] { readFree(*in, {&x}); }), FaultKind::Conversion) << text;
  }
  PipeInput in("1\n");
  double x = 0, y = 0;
  EXPECT_EQ(faultOf([&] { readFree(*in, {&x, &y}); }), FaultKind::EndOfFile);
}

TEST(LineInputTest, FormattedText) {
  PipeInput in("RESULT_FILE_NAME.BIN.old\r\nab\n");
  EXPECT_EQ(readText(*in, 20), "RESULT_FILE_NAME.BIN");
  EXPECT_EQ(readText(*in, 5), "ab   ");
  EXPECT_EQ(faultOf([&] { readText(*in, 5); }), FaultKind::EndOfFile);
  EXPECT_EQ(fileNameFromField("name.dat            "), "name.dat");
  EXPECT_EQ(fileNameFromField("a_name_that_is_longer_than_twenty"), "a_name_that_is_longe");
}

TEST(LineInputTest, FixedColumnIntegers) {
  PipeInput in("  100 1 2         -5\n\n   12\n  1a\n");
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
