// Free-form records: default layouts, blanks between items and the 80-column line.
#include <gtest/gtest.h>

#include <limits>

#include "free_form.hpp"
#include "numeric_fields.hpp"

namespace gw {
namespace {

template <class... Args>
std::string free(const Args&... args) {
  TextOut out;
  writeFree(out, args...);
  out.flush();
  return out.captured();
}

std::string field(double v) {
  char buf[24];
  fields::freeDouble(buf, v);
  return std::string(buf, 24);
}
std::string field(float v) {
  char buf[15];
  fields::freeSingle(buf, v);
  return std::string(buf, 15);
}

TEST(FreeFormTest, Examples) {
  EXPECT_EQ(free("TIME,", 1.0), " TIME,   1.00000000000000     \r\n");
  EXPECT_EQ(free(44444), "       44444\r\n");
  EXPECT_EQ(free(), "\r\n");
  EXPECT_EQ(free(""), " \r\n");
  EXPECT_EQ(free(" "), "  \r\n");
  EXPECT_EQ(free(" LA,TIME ", 3, 86400.0), "  LA,TIME            3   86400.0000000000     \r\n");
}

TEST(FreeFormTest, DoubleLayout) {
  EXPECT_EQ(field(0.5), "  0.500000000000000     ");
  EXPECT_EQ(field(86400.0), "   86400.0000000000     ");
  EXPECT_EQ(field(1.0e-5), "  1.000000000000000E-005");
  EXPECT_EQ(field(0.0), "  0.000000000000000E+000");
  EXPECT_EQ(field(-0.0), "  0.000000000000000E+000");
  EXPECT_EQ(field(-2.5), "  -2.50000000000000     ");
  EXPECT_EQ(field(1.0e15), "  1.000000000000000E+015");
  EXPECT_EQ(field(123456789012345.0), "   123456789012345.     ");
  EXPECT_EQ(field(1.0e-300), "  1.000000000000000E-300");
  // The form is chosen on the value rounded to 15 significant digits.
  EXPECT_EQ(field(999999999999999.9), "  9.999999999999999E+014");
  EXPECT_EQ(field(0.09999999999999999), "  0.100000000000000     ");
  EXPECT_EQ(field(0.0999999999999), "  9.999999999990000E-002");
  EXPECT_EQ(field(9.999999999999995), "   9.99999999999999     ");
  EXPECT_EQ(field(9.9999999999999991), "   10.0000000000000     ");
}

TEST(FreeFormTest, SingleLayout) {
  EXPECT_EQ(field(12.5f), "   12.50000    ");
  EXPECT_EQ(field(0.0f), "  0.0000000E+00");
  EXPECT_EQ(field(36.5f), "   36.50000    ");
  EXPECT_EQ(field(9999999.0f), "   9999999.    ");
  EXPECT_EQ(field(1.0e7f), "  1.0000000E+07");
  EXPECT_EQ(field(9.999999f), "   9.999999    ");
  EXPECT_EQ(field(-0.001f), " -1.0000000E-03");
  EXPECT_EQ(field(std::numeric_limits<float>::infinity()), "       Infinity");
}

TEST(FreeFormTest, BlanksBetweenItems) {
  // A text after a number gets a blank; consecutive texts are joined.
  EXPECT_EQ(free(5, ",124,", 3, ",19,", 2, ",1,0,0,"),
            "           5 ,124,           3 ,19,           2 ,1,0,0,\r\n");
  EXPECT_EQ(free("ab", "cd"), " abcd\r\n");
  EXPECT_EQ(free(1, ",", 12.5f), "           1 ,   12.50000    \r\n");
  EXPECT_EQ(free(-1, ",", 0.0), "          -1 ,  0.000000000000000E+000\r\n");
}

TEST(FreeFormTest, EightyColumnLine) {
  // Twenty four-character words take 81 columns: the last starts a new record.
  TextOut out;
  FreeRecord r(out);
  for (int i = 0; i < 20; ++i) r << "abcd";
  r.end();
  out.flush();
  std::string first = " " + std::string(76, ' ');
  for (int i = 0; i < 19; ++i) first.replace(1 + 4 * i, 4, "abcd");
  EXPECT_EQ(out.captured(), first + "\r\n abcd\r\n");
  // Seven integers: six fit in 72 columns, the seventh starts a new record with a blank.
  std::string ints = free(1, 2, 3, 4, 5, 6, 7);
  EXPECT_EQ(ints.substr(72, 2), "\r\n");
  EXPECT_EQ(ints.substr(74), "            7\r\n");
}

}  // namespace
}  // namespace gw
