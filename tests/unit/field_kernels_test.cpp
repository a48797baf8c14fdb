// The straight renderers against the exact ones, over every value where the
// rounding can go wrong: on and beside each decimal midpoint and power of ten
// of each layout's digit count, exact binary ties, the ends of the straight
// range, and values no straight path takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "field_kernels.hpp"
#include "wide_fields.hpp"

namespace gw::fields::straight {
namespace {

// Values around every rounding boundary of `count` significant digits, from
// 10^-26 to 10^34, with up to three ulps on either side (as doubles and as
// 32-bit reals), and the values no product decides alone.
std::vector<double> boundaryValues(int count) {
  std::vector<double> centres;
  std::mt19937_64 rng(static_cast<unsigned>(count));
  const double low = std::pow(10.0, count - 1), high = std::pow(10.0, count);
  for (int e = -26; e <= 34; ++e) {
    const double unit = std::pow(10.0, e - count + 1);
    centres.push_back(std::pow(10.0, e));
    centres.push_back((high - 0.5) * unit);  // rounds up into the next decade
    centres.push_back((low + 0.5) * unit);
    for (int k = 0; k < 6; ++k) {
      const double n = std::floor(low + std::uniform_real_distribution<double>(0, high - low)(rng));
      centres.push_back((n + 0.5) * unit);
    }
  }
  // Binary fractions that are exact decimal ties.
  for (int odd = 1; odd < 2000; odd += 2) centres.push_back(std::ldexp(odd, -(1 + odd % 11)) + odd % 7);
  std::vector<double> values;
  for (double c : centres) {
    double below = c, above = c;
    float belowSingle = static_cast<float>(c), aboveSingle = belowSingle;
    for (int k = 0; k < 4; ++k) {
      values.insert(values.end(), {below, above, -below, belowSingle, aboveSingle, -aboveSingle});
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 1e300);
      belowSingle = std::nextafter(belowSingle, 0.0f);
      aboveSingle = std::nextafter(aboveSingle, 1e30f);
    }
  }
  const double inf = std::numeric_limits<double>::infinity();
  values.insert(values.end(), {0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(), 5e-324,
                               std::numeric_limits<double>::max(), 1e-300, -1e250, 1e-45, 3.4e38});
  return values;
}

TEST(FieldKernelsTest, ExponentLayoutsEqualTheExactRenderer) {
  for (auto k = static_cast<int>(Kernel::E12_4P); k <= static_cast<int>(Kernel::E16_7); ++k) {
    withLayout(static_cast<Kernel>(k), [k](auto layout) {
      using L = decltype(layout);
      ASSERT_EQ(static_cast<int>(exponentKernel(L::w, L::d, 0, L::scale)), k);
      for (double v : boundaryValues(L::count)) {
        char straight[40], exact[40];
        std::memset(straight, '#', sizeof straight);
        exponent<L>(straight + 8, v);
        fields::exponent(exact, L::w, L::d, 0, L::scale, v);
        ASSERT_EQ(std::string(straight + 8, L::w), std::string(exact, L::w))
            << "E" << L::w << "." << L::d << " scale " << L::scale << " of " << std::hexfloat << v;
        ASSERT_EQ(std::string(straight, 8) + std::string(straight + 8 + L::w, 40 - 8 - L::w),
                  std::string(40 - L::w, '#'))
            << "wrote outside the field: " << std::hexfloat << v;
      }
    });
  }
}

// The eight-lane renderer against the exact one, for each layout it covers:
// the boundary values, then every digit string of the layout's count (which
// takes every quotient and remainder of its digit arithmetic), in groups of
// every length from 1 to 8 lanes, each field between guard bytes it must leave.
TEST(FieldKernelsTest, EightLaneRendererEqualsTheExactOne) {
  if (!wide::available()) GTEST_SKIP() << "this processor has no 512-bit vectors";
  for (auto k = static_cast<int>(Kernel::E12_4P); k <= static_cast<int>(Kernel::E16_7); ++k) {
    if (!wide::covers(static_cast<Kernel>(k))) continue;
    withLayout(static_cast<Kernel>(k), [k](auto layout) {
      using L = decltype(layout);
      std::vector<double> values = boundaryValues(L::count);
      const auto low = static_cast<std::int64_t>(digits_detail::kPow10Integer[L::count - 1]);
      for (std::int64_t n = low; n < 10 * low; ++n) values.push_back(static_cast<double>(n) * (n % 2 ? 1e-3 : -1e4));
      constexpr std::size_t kStride = L::w + 2;
      // Groups of one to eight lanes, and groups of many batches and chunks.
      constexpr std::size_t kGroups[] = {1, 2, 3, 4, 5, 6, 7, 8, 300};
      for (std::size_t first = 0, g = 0; first < values.size(); first += kGroups[g], g = (g + 1) % 9) {
        const std::size_t n = std::min(kGroups[g], values.size() - first);
        std::string out((n + 1) * kStride, '#');
        std::vector<char*> targets(n);
        for (std::size_t i = 0; i < n; ++i) targets[i] = out.data() + 1 + i * kStride;
        wide::exponents(static_cast<Kernel>(k), targets.data(), values.data() + first, n);
        for (std::size_t i = 0; i < n; ++i) {
          char exact[40];
          fields::exponent(exact, L::w, L::d, 0, L::scale, values[first + i]);
          ASSERT_EQ(out.substr(1 + i * kStride, L::w), std::string(exact, L::w))
              << "E" << L::w << "." << L::d << " of " << std::hexfloat << values[first + i];
          ASSERT_EQ(out.substr(1 + i * kStride + L::w, 2), "##") << "wrote outside the field";
        }
        ASSERT_EQ(out[0], '#');
        // The same fields end to end, each with a separator after it.
        std::string run(n * (L::w + 1) + 2, '#');
        wide::exponentRun(static_cast<Kernel>(k), run.data() + 1, values.data() + first, n, ',');
        std::string expected = "#";
        for (std::size_t i = 0; i < n; ++i) {
          char exact[40];
          fields::exponent(exact, L::w, L::d, 0, L::scale, values[first + i]);
          expected += std::string(exact, L::w) + ",";
        }
        ASSERT_EQ(run, expected + "#") << "end to end, E" << L::w << "." << L::d;
      }
    });
  }
}

// The free-form layouts: both forms, and the values on either side of the
// bounds between them.
TEST(FieldKernelsTest, FreeFormEqualsTheExactRenderer) {
  struct Case {
    int count;  // significant digits of the fixed form, then of the exponent form
    void (*straight)(char*, double);
    void (*exact)(char*, double);
    int w;
  };
  const Case cases[] = {
      {15, [](char* out, double v) { fields::freeDouble(out, v); },
       [](char* out, double v) { fields::freeDoubleGeneral(out, v); }, fields::kFreeDoubleWidth},
      {16, [](char* out, double v) { fields::freeDouble(out, v); },
       [](char* out, double v) { fields::freeDoubleGeneral(out, v); }, fields::kFreeDoubleWidth},
      {7, [](char* out, double v) { fields::freeSingle(out, static_cast<float>(v)); },
       [](char* out, double v) { fields::freeSingleGeneral(out, static_cast<float>(v)); }, fields::kFreeSingleWidth},
      {8, [](char* out, double v) { fields::freeSingle(out, static_cast<float>(v)); },
       [](char* out, double v) { fields::freeSingleGeneral(out, static_cast<float>(v)); }, fields::kFreeSingleWidth},
  };
  for (const Case& c : cases) {
    std::vector<double> values = boundaryValues(c.count);
    for (double bound : {0.1, std::pow(10.0, c.count) - 0.5}) {
      double below = bound, above = bound;
      for (int k = 0; k < 40; ++k, below = std::nextafter(below, 0.0), above = std::nextafter(above, 1e300)) {
        values.insert(values.end(), {below, above, static_cast<double>(std::nextafter(static_cast<float>(below), 0.0f)),
                                     static_cast<double>(std::nextafter(static_cast<float>(above), 1.0f))});
      }
    }
    for (double v : values) {
      char straight[32], exact[32];
      c.straight(straight, v);
      c.exact(exact, v);
      ASSERT_EQ(std::string(straight, static_cast<std::size_t>(c.w)), std::string(exact, static_cast<std::size_t>(c.w)))
          << c.count << " digits of " << std::hexfloat << v;
    }
    // Eight at a time too, with digit strings at every place of the point and
    // in the exponent form, each field between guard bytes.
    std::mt19937_64 rng(7);
    for (int k = 0; k < 20000; ++k) {
      const double digits = std::floor(std::uniform_real_distribution<double>(1e15, 1e16)(rng));
      values.push_back(digits * std::pow(10.0, k % 26 - 24) * (k % 3 == 0 ? -1 : 1));
    }
    const auto stride = static_cast<std::size_t>(c.w) + 2;
    std::string out(values.size() * stride + 1, '#');
    std::vector<float> singles(values.begin(), values.end());
    if (c.w == fields::kFreeSingleWidth) {
      wide::freeSingles(out.data() + 1, stride, singles.data(), singles.size());
    } else {
      wide::freeDoubles(out.data() + 1, stride, values.data(), values.size());
    }
    ASSERT_EQ(out[0], '#');
    for (std::size_t i = 0; i < values.size(); ++i) {
      char exact[32];
      c.exact(exact, c.w == fields::kFreeSingleWidth ? singles[i] : values[i]);
      ASSERT_EQ(out.substr(1 + i * stride, stride), std::string(exact, static_cast<std::size_t>(c.w)) + "##")
          << "eight lanes, " << c.count << " digits of " << std::hexfloat << values[i];
    }
  }
}

// Runs of consecutive numbers, eight at a time where the processor allows:
// across every change in their count of digits, in several widths.
TEST(FieldKernelsTest, CountingIntegersEqualTheExactRenderer) {
  for (int w : {8, 12, 16}) {
    for (std::int64_t first : {std::int64_t{0}, std::int64_t{5}, std::int64_t{95}, std::int64_t{99990},
                               std::int64_t{9999990}, std::int64_t{99999970}}) {
      constexpr std::size_t kCount = 30;
      const auto stride = static_cast<std::size_t>(w) + 1;
      std::string out(kCount * stride + 1, '#');
      wide::countingIntegers(out.data() + 1, stride, w, first, kCount);
      for (std::size_t i = 0; i < kCount; ++i) {
        char exact[40];
        fields::integer(exact, w, first + static_cast<std::int64_t>(i));
        ASSERT_EQ(out.substr(1 + i * stride, stride), std::string(exact, static_cast<std::size_t>(w)) + "#")
            << "I" << w << " of " << first + static_cast<std::int64_t>(i);
      }
    }
  }
}

TEST(FieldKernelsTest, IntegersEqualTheExactRenderer) {
  std::vector<long long> values{0, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()};
  for (long long p = 1; p <= 1000000000; p *= 10) values.insert(values.end(), {p - 1, p, p + 1, -p + 1, -p, -p - 1});
  // Widths with a renderer of their own (0: through IntegerLayout).
  using Render = void (*)(char*, int, long long);
  const Render byWidth[] = {
      [](char* out, int w, long long v) { integer(out, IntegerLayout(w), v); },
      [](char* out, int, long long v) { integer<1>(out, v); }, [](char* out, int, long long v) { integer<2>(out, v); },
      [](char* out, int, long long v) { integer<3>(out, v); }, [](char* out, int, long long v) { integer<4>(out, v); },
      [](char* out, int, long long v) { integer<5>(out, v); }, [](char* out, int, long long v) { integer<6>(out, v); },
      [](char* out, int, long long v) { integer<7>(out, v); }, [](char* out, int, long long v) { integer<8>(out, v); },
  };
  for (int w = 1; w <= 16; ++w) {
    for (int fixed : {0, w}) {
      if (fixed > 8) continue;
      for (long long v : values) {
        char straight[40], exact[40];
        std::memset(straight, '#', sizeof straight);
        byWidth[fixed](straight + 8, w, v);
        fields::integer(exact, w, v);
        ASSERT_EQ(std::string(straight + 8, static_cast<std::size_t>(w)), std::string(exact, static_cast<std::size_t>(w)))
            << "I" << w << (fixed > 0 ? " (compiled width)" : "") << " of " << v;
        // Up to 8 - w bytes past a narrow field may change; nothing before it.
        ASSERT_EQ(std::string(straight, 8), "########");
        ASSERT_EQ(std::string(straight + 8 + std::max(w, 8), 32 - std::max(w, 8)), std::string(32 - std::max(w, 8), '#'));
      }
    }
  }
}

}  // namespace
}  // namespace gw::fields::straight
