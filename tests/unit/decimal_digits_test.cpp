// The integer digit path against the general conversion, over sweeps of values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "decimal_digits.hpp"

namespace gw {
namespace {

template <class T>
std::string fast(T v, int count, int& e) {
  char d[64];
  roundedDigits(v, count, d, e);
  return std::string(d, static_cast<std::size_t>(count));
}
template <class T>
std::string general(T v, int count, int& e) {
  char d[64];
  roundedDigitsGeneral(v, count, d, e);
  return std::string(d, static_cast<std::size_t>(count));
}

template <class T>
void expectSame(T v, int count) {
  int e1 = 0, e2 = 0;
  std::string a = fast(v, count, e1);
  std::string b = general(v, count, e2);
  ASSERT_TRUE(a == b && e1 == e2) << "value " << std::hexfloat << v << " digits " << count << ": " << a << "e"
                                  << e1 << " vs " << b << "e" << e2;
}

TEST(DecimalDigitsTest, RandomDoublesOfEveryExponent) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 600000; ++i) {
    std::uint64_t bits = rng() & 0x7FFFFFFFFFFFFFFFull;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    expectSame(v, 1 + static_cast<int>(rng() % 19));
  }
}

TEST(DecimalDigitsTest, RandomDoublesOfEngineeringSize) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  const int counts[] = {5, 6, 7, 8, 15, 16};
  for (int i = 0; i < 600000; ++i) {
    double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    expectSame(v, counts[i % 6]);
  }
}

TEST(DecimalDigitsTest, RandomFloats) {
  std::mt19937 rng(3);
  for (int i = 0; i < 600000; ++i) {
    std::uint32_t bits = rng() & 0x7FFFFFFFu;
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    expectSame(v, 1 + static_cast<int>(rng() % 9));
  }
}

// Values within a few ulps of a decimal midpoint: where a rounded product cannot
// tell the direction and the exact error of the product (or another path) must.
TEST(DecimalDigitsTest, NeighboursOfDecimalMidpoints) {
  std::mt19937_64 rng(19);
  const int counts[] = {1, 3, 5, 6, 7, 9, 12, 15, 16};
  for (int i = 0; i < 45000; ++i) {
    const int count = counts[i % 9];
    const double low = std::pow(10.0, count - 1);
    const double n = std::floor(low + std::uniform_real_distribution<double>(0, 9 * low)(rng));
    const int e = std::uniform_int_distribution<int>(-26, 30)(rng);
    double v = (n + 0.5) * std::pow(10.0, e - count + 1);
    for (int k = 0; k < 3; ++k) v = std::nextafter(v, 0.0);
    for (int k = 0; k < 7; ++k, v = std::nextafter(v, 1e300)) {
      expectSame(v, count);
      std::uint64_t digits;
      int e1 = 0, e2 = 0;
      roundedDigits(v, count, digits, e1);
      ASSERT_EQ(std::to_string(digits), general(v, count, e2)) << std::hexfloat << v;
      ASSERT_EQ(e1, e2);
    }
  }
}

TEST(DecimalDigitsTest, ExactTiesAndCarries) {
  // Binary fractions with few bits land exactly on decimal midpoints.
  for (int num = 1; num < 4096; ++num) {
    for (int shift = 0; shift <= 12; ++shift) {
      double v = std::ldexp(static_cast<double>(num), -shift);
      for (int count = 1; count <= 6; ++count) expectSame(v, count);
      expectSame(static_cast<float>(v), 1 + num % 7);
    }
  }
  // Sixteen-digit ties where the product itself rounds: v = M / 2^(p+1) with
  // odd M gives v x 10^p = M x 5^p / 2, an integer and a half beyond 2^52.
  std::mt19937_64 rng(23);
  for (int p = 1; p <= 3; ++p) {
    const double five = std::pow(5.0, p);
    for (int i = 0; i < 4000; ++i) {
      const double lowM = std::ceil(std::ldexp(1.0, 53) / five);
      const double m = lowM + static_cast<double>(rng() % static_cast<std::uint64_t>(lowM / 2)) * 2 + 1;
      expectSame(std::ldexp(m, -(p + 1)), 16);
    }
  }
  // Values just below a power of ten carry into the next one.
  for (int p = -20; p <= 20; ++p) {
    double v = std::pow(10.0, p);
    for (int count = 1; count <= 17; ++count) {
      expectSame(std::nextafter(v, 0.0), count);
      expectSame(v, count);
      expectSame(std::nextafter(v, 1e300), count);
      expectSame(v * (1 - 0.5 * std::pow(10.0, -count)), count);
    }
  }
  int e = 0;
  EXPECT_EQ(fast(9.99995, 5, e), "10000");
  EXPECT_EQ(e, 1);
  EXPECT_EQ(fast(0.125, 2, e), "12");
  EXPECT_EQ(fast(0.375, 2, e), "38");
}

}  // namespace
}  // namespace gw
