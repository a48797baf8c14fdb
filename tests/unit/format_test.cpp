// Formatted records: the edit-descriptor engine against hand-worked lines.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "format.hpp"
#include "numeric_fields.hpp"

namespace gw {
namespace {

std::string line(const std::string& s) { return s + "\r\n"; }

TEST(FormatTest, RenderingExamples) {
  EXPECT_EQ(Format("(I5)").render(123456), line("*****"));
  EXPECT_EQ(Format("(1P,E12.4)").render(12345.678), line("  1.2346E+04"));
  EXPECT_EQ(Format("(E14.5)").render(12345.678), line("   0.12346E+05"));
  EXPECT_EQ(Format("(200(',',I8))").render(1, 2, 3), line(",       1,       2,       3,"));
}

TEST(FormatTest, RestartNodeLineOfNodeSeven) {
  Format f("(I5,2(',',I5),6(',',1P,E12.4))");
  std::string got = f.render(7, 0, 1, 100.0, -25.5, 12.345, 0.0, 3.0, -1.0E-5);
  EXPECT_EQ(got, line("    7,    0,    1,  1.0000E+02, -2.5500E+01,  1.2345E+01,  0.0000E+00,"
                      "  3.0000E+00, -1.0000E-05"));
  EXPECT_EQ(got.size(), 95u + 2);
}

TEST(FormatTest, ItemsRunningOutStopAtTheNextDataDescriptor) {
  Format node("(1P,E12.4,9(',',1P,E12.4))");
  std::string got = node.render(1.0, 2.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(got.size(), 9u * 12 + 9 + 2);
  EXPECT_EQ(got.substr(got.size() - 3), ",\r\n");
  // Exactly filled groups end on the last field.
  EXPECT_EQ(Format("(I5,3(',',I5))").render(1, 2, 3, 4), line("    1,    2,    3,    4"));
  // No items at all: the record ends before the first data descriptor.
  EXPECT_EQ(Format("('a',I5,'b')").render(), line("a"));
}

TEST(FormatTest, ReversionRestartsTheLastTopLevelGroupOnANewRecord) {
  std::vector<Item> items;
  for (int i = 1; i <= 5; ++i) items.emplace_back(i);
  Format f("(2(',',I2))");
  TextOut out;
  f.write(out, items);
  out.flush();
  EXPECT_EQ(out.captured(), line(", 1, 2") + line(", 3, 4") + line(", 5,"));
  // The first item's descriptor is not repeated: only the last group is.
  EXPECT_EQ(Format("(E16.7,2(',',1P,E14.5))").render(1.0, 2.0, 3.0, 4.0),
            line("   0.1000000E+01,   2.00000E+00,   3.00000E+00") + line(",   4.00000E+00,"));
  // With no group, reversion starts the whole list again.
  EXPECT_EQ(Format("(I3,I3)").render(1, 2, 3), line("  1  2") + line("  3"));
}

TEST(FormatTest, ScaleFactorStaysInForceAcrossReversion) {
  EXPECT_EQ(Format("(1P,E10.3,(E10.3))").render(1.0, 2.0, 3.0),
            line(" 1.000E+00 2.000E+00") + line(" 3.000E+00"));
}

TEST(FormatTest, LiteralsSlashesAndBlanks) {
  EXPECT_EQ(Format("('it''s',/,'x',2X,'y')").render(), line("it's") + line("x  y"));
  EXPECT_EQ(Format("(/,/,'end')").render(), line("") + line("") + line("end"));
  EXPECT_EQ(Format("('step',I1,E15.7)").render(1, 12.5), line("step1  0.1250000E+02"));
}

TEST(FormatTest, TextDescriptors) {
  EXPECT_EQ(Format("(A4)").render("abcdef"), line("abcd"));
  EXPECT_EQ(Format("(A6)").render("ab"), line("    ab"));
  EXPECT_EQ(Format("(A)").render("ab  "), line("ab  "));
  EXPECT_EQ(Format("(I5,A14)").render(1, ",110,1,19,1,0,"), line("    1,110,1,19,1,0,"));
}

TEST(FormatTest, MalformedListsAreProgrammingErrors) {
  for (const char* bad : {"I5", "(I5", "(I5,)", "(Q5)", "(E12)", "('abc)", "(2P,E12.4)", "()", "(I5) x"}) {
    EXPECT_THROW(Format{bad}, std::logic_error) << bad;
  }
  EXPECT_THROW(Format("(I5)").render(1.5), std::logic_error);
  EXPECT_THROW(Format("('x')").render(1), std::logic_error);
}

struct FieldCase {
  double value;
  const char* list;
  const char* expected;
};

TEST(FormatTest, HardValues) {
  const FieldCase cases[] = {
      {9.99995, "(1P,E12.4)", "  1.0000E+01"},   // rounding carries into the exponent
      {9.99994, "(1P,E12.4)", "  9.9999E+00"},
      {99995.0, "(E12.4)", "  0.1000E+06"},
      {0.99995e5, "(E14.5)", "   0.99995E+05"},
      {-0.45, "(1P,E14.5)", "  -4.50000E-01"},
      {-0.0, "(1P,E12.4)", "  0.0000E+00"},     // negative zero carries no sign
      {0.0, "(E14.5)", "   0.00000E+00"},
      {1.0e100, "(E12.4)", "  0.1000+101"},    // three-digit exponent drops the E
      {1.0e-100, "(1P,E12.4)", "  1.0000-100"},
      {1.0e300, "(1P,E12.4)", "  1.0000+300"},
      {5e-324, "(1P,E12.4)", "  4.9407-324"},
      {1e308, "(1P,E9.4)", "*********"},
      {0.5, "(E10.5)", ".50000E+00"},
      {123.456, "(F8.2)", "  123.46"},
      {0.5, "(F4.2)", "0.50"},
      {-0.5, "(F4.2)", "-.50"},
      {1234.5, "(F5.2)", "*****"},
      {2.5, "(F4.0)", "  2."},
      {0.125, "(E10.2)", "  0.12E+00"},  // an exact tie rounds to even
      {0.375, "(E10.2)", "  0.38E+00"},
  };
  for (const auto& c : cases) {
    std::string got = Format(c.list).render(c.value);
    EXPECT_EQ(got, line(c.expected)) << c.list << " of " << c.value;
  }
}

TEST(FormatTest, ExponentWidthsThatDoNotFit) {
  // -0.5 in E10.5 needs 12 columns with its zero, 11 without: asterisks.
  EXPECT_EQ(Format("(E10.5)").render(-0.5), line("**********"));
  // One column short: the leading zero goes.
  EXPECT_EQ(Format("(E11.5)").render(-0.5), line("-.50000E+00"));
  EXPECT_EQ(Format("(E12.5)").render(-0.5), line("-0.50000E+00"));
}

TEST(FormatTest, FixedPointZeroes) {
  // A negative zero is written without its sign, as a double and as a 32-bit real.
  EXPECT_EQ(Format("(F8.3)").render(-0.0), line("   0.000"));
  EXPECT_EQ(Format("(F6.0)").render(single(-0.0)), line("    0."));
  // A negative value that rounds to zero keeps its sign.
  EXPECT_EQ(Format("(F5.1)").render(-0.01), line(" -0.0"));
  // The zero before the point goes for lack of room only when digits follow the point.
  EXPECT_EQ(Format("(F4.3)").render(0.5), line(".500"));
  EXPECT_EQ(Format("(F2.0)").render(0.4), line("0."));
  EXPECT_EQ(Format("(F1.0)").render(0.4), line("*"));
  EXPECT_EQ(Format("(F3.0)").render(-0.4), line("-0."));
  EXPECT_EQ(Format("(F2.0)").render(-0.4), line("**"));
}

TEST(FormatTest, SingleItemsRenderFromTheirExactValue) {
  // 0.1f is 0.100000001490116...: eight digits show the float, not the double.
  EXPECT_EQ(Format("(1P,E16.8)").render(single(0.1)), line("  1.00000001E-01"));
  EXPECT_EQ(Format("(1P,E13.6)").render(single(1234.5)), line(" 1.234500E+03"));
  EXPECT_EQ(Format("(1P,E13.6)").render(single(-0.001)), line("-1.000000E-03"));
}

TEST(FormatTest, NonFiniteValuesFollowOneRule) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Format("(1P,E12.4)").render(nan), line("         NaN"));
  EXPECT_EQ(Format("(1P,E12.4)").render(inf), line("    Infinity"));
  EXPECT_EQ(Format("(1P,E12.4)").render(-inf), line("   -Infinity"));
  EXPECT_EQ(Format("(E5.1)").render(-inf), line(" -Inf"));
  EXPECT_EQ(Format("(E3.1)").render(-inf), line("***"));
  EXPECT_EQ(Format("(F6.2)").render(single(static_cast<double>(nan))), line("   NaN"));
}

TEST(FormatTest, IntegerOverflowAndNegatives) {
  EXPECT_EQ(Format("(I5)").render(-1234), line("-1234"));
  EXPECT_EQ(Format("(I5)").render(-12345), line("*****"));
  EXPECT_EQ(Format("(I5)").render(44444), line("44444"));
  EXPECT_EQ(Format("(I6)").render(-1), line("    -1"));
}

}  // namespace
}  // namespace gw
