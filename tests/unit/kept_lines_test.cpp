// Lines kept from the first step and rendered over in the next ones read
// exactly as lines rendered whole, whatever the changing values are.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kept_lines.hpp"

namespace gw {
namespace {

// Values that take each path of the renderers: zero, signs, ties and values
// next to them, the edges of the straight range, overflow, and non-finite ones.
const double kValues[] = {0.0,         -0.0,        1.0,      -1.0,     0.99995,   0.9999499999999999,
                          9.99995e5,   -1.23456e-7, 1e-30,    1e30,     1e120,     -1e-120,
                          123.45,      2.5e-15,     0.125,    6.02e23,  std::nan(""),
                          std::numeric_limits<double>::infinity(),      -std::numeric_limits<double>::infinity(),
                          1.7976931348623157e308};
const long long kIntegers[] = {0, 7, -7, 99999, 100000, -9999, -10000, 12345678};

double valueAt(std::size_t i, int step) { return kValues[(i * 7 + static_cast<std::size_t>(step) * 3) % std::size(kValues)]; }
long long integerAt(std::size_t i, int step) {
  return kIntegers[(i * 5 + static_cast<std::size_t>(step)) % std::size(kIntegers)];
}

TEST(KeptLinesTest, StepsRenderedOverKeptLinesReadAsLinesRenderedWhole) {
  struct Case {
    const char* format;
    std::vector<std::size_t> changing;
  };
  // Straight-rendered fields, and fields only the exact renderers take (F,
  // E13.6 without a scale factor, I20); changing items first, last and between.
  const Case cases[] = {
      {"(I5,2(',',I5),3(',',1P,E12.4))", {1, 4, 5}},
      {"(I5,2(',',I5),3(',',1P,E12.4))", {0, 2, 3}},
      {"(I2,',',F10.3,',',E13.6,',',I20,',',1P,E14.5,',',I3)", {1, 2, 3, 4, 5}},
      {"(I2,',',F10.3,',',E13.6,',',I20,',',1P,E14.5,',',I3)", {}},
  };
  for (const Case& c : cases) {
    const Format format(c.format);
    const bool mixed = std::string(c.format).find("F10.3") != std::string::npos;
    KeptLines kept;
    for (int step = 0; step < 4; ++step) {
      // Items that are not changing keep their first-step values.
      const auto items = [&](std::size_t i) {
        auto at = [&](std::size_t item) {
          bool changes = false;
          for (std::size_t k : c.changing) changes = changes || k == item;
          return changes ? step : 0;
        };
        if (mixed) {
          return std::array<Item, 6>{integerAt(i, at(0)) % 10, valueAt(i, at(1)), valueAt(i + 1, at(2)),
                                     integerAt(i, at(3)),      valueAt(i + 2, at(4)), integerAt(i + 3, at(5)) % 100};
        }
        return std::array<Item, 6>{integerAt(i, at(0)),   integerAt(i + 1, at(1)), integerAt(i + 2, at(2)),
                                   valueAt(i, at(3)),     valueAt(i + 1, at(4)),   valueAt(i + 2, at(5))};
      };
      // Enough lines to share them between two threads; a new count keeps
      // the lines anew.
      const std::size_t count = step < 3 ? 6000 : 5999;
      TextOut whole(1), over(1);
      for (std::size_t i = 0; i < count; ++i) format.write(whole, items(i));
      kept.write(over, format, c.changing, count, items);
      whole.flush();
      over.flush();
      ASSERT_EQ(over.captured(), whole.captured()) << c.format << ", step " << step;
    }
  }
}

TEST(KeptLinesTest, LinesOfVaryingLengthAreRefused) {
  KeptLines kept;
  TextOut out(1);
  const std::size_t changing[] = {0};
  EXPECT_THROW(kept.write(out, Format("(A)"), changing, 1, [](std::size_t) { return std::array<Item, 1>{"x"}; }),
               std::logic_error);
}

}  // namespace
}  // namespace gw
