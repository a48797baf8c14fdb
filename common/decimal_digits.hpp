// Correctly rounded significant decimal digits of a binary floating-point value.
#pragma once

#include <cstdint>
#include <cstring>

namespace gw {

// Writes the first `count` (1 to 40) significant decimal digits of `magnitude`
// (finite and greater than zero), rounded to nearest with exact ties to even,
// so that magnitude ~ D1.D2D3... x 10^exp10. Most values take the inline path
// below; values it declines take an exact 128-bit integer path, and the rest
// the general conversion.
void roundedDigits(double magnitude, int count, char* digits, int& exp10);
void roundedDigits(float magnitude, int count, char* digits, int& exp10);

// The same digits as one integer, 10^(count-1) <= n < 10^count, for a count of
// 1 to 18.
void roundedDigits(double magnitude, int count, std::uint64_t& n, int& exp10);

// The general conversion alone (the reference the other paths are tested against).
void roundedDigitsGeneral(double magnitude, int count, char* digits, int& exp10);
void roundedDigitsGeneral(float magnitude, int count, char* digits, int& exp10);

namespace digits_detail {

inline constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The doubles nearest 10^p for p from -22 to 22 (exact from 10^0 up; below, a
// product with one carries two roundings).
inline constexpr double kScale[45] = {
    1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
    1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,
    1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,
    1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22};
// a * b - product exactly, for a product = a * b rounded (Dekker's two-product;
// exact while nothing overflows or underflows).
inline double productError(double a, double b, double product) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  double ca = kSplitter * a;
  double aHigh = ca - (ca - a);
  double aLow = a - aHigh;
  double cb = kSplitter * b;
  double bHigh = cb - (cb - b);
  double bLow = b - bHigh;
  return ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// 10^0 to 10^19, the powers of ten a 64-bit integer holds.
inline constexpr std::uint64_t kPow10Integer[20] = {1ull,
                                                   10ull,
                                                   100ull,
                                                   1000ull,
                                                   10000ull,
                                                   100000ull,
                                                   1000000ull,
                                                   10000000ull,
                                                   100000000ull,
                                                   1000000000ull,
                                                   10000000000ull,
                                                   100000000000ull,
                                                   1000000000000ull,
                                                   10000000000000ull,
                                                   100000000000000ull,
                                                   1000000000000000ull,
                                                   10000000000000000ull,
                                                   100000000000000000ull,
                                                   1000000000000000000ull,
                                                   10000000000000000000ull};

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace digits_detail

// The last `count` decimal digits of n (with leading zeros), two at a time.
inline void writeDigits(std::uint64_t n, int count, char* digits) {
  int i = count;
  while (i >= 2) {
    const char* pair = digits_detail::kDigitPairs + 2 * (n % 100);
    digits[--i] = pair[1];
    digits[--i] = pair[0];
    n /= 100;
  }
  if (i == 1) digits[0] = static_cast<char>('0' + n % 10);
}

// The inline path for up to 16 digits of a normal value within about 10^-22 to
// 10^36. The binary exponent leaves two decades; of the two products
// t = magnitude x 10^p, the one with `count` digits before its point, rounded to
// an integer, gives the digits. The product's
// rounding error is bounded, and when t's fraction lies within that bound of one
// half, the exact error of the product (scaling up) decides; scaling down, the
// path declines. Returns false when declining.
inline bool quickDigits(double magnitude, int count, std::uint64_t& n, int& exp10) {
  using namespace digits_detail;
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int lead = static_cast<int>(bits >> 52) - 1023;
  // floor(log10(2^lead)): the decade is this or the next one.
  const int guess = (lead * 78913) >> 18;
  if (count > 16) return false;
  // Both candidate products at once; the one inside [10^(count-1), 10^count)
  // is taken without a branch.
  const int pLow = count - 1 - guess;
  if (pLow > 22 || pLow < -21) return false;
  const double tLow = magnitude * kScale[pLow + 22];
  const double tHigh = magnitude * kScale[pLow + 21];
  const double low = kPow10[count - 1];
  const double high = kPow10[count];
  const bool nextDecade = tLow >= high;
  std::uint64_t lowBits, highBits;
  std::memcpy(&lowBits, &tLow, sizeof lowBits);
  std::memcpy(&highBits, &tHigh, sizeof highBits);
  const std::uint64_t pick = 0 - static_cast<std::uint64_t>(nextDecade);
  const std::uint64_t tBits = (lowBits & ~pick) | (highBits & pick);
  double t;
  std::memcpy(&t, &tBits, sizeof t);
  const int e10 = guess + (nextDecade ? 1 : 0);
  const int p = pLow - (nextDecade ? 1 : 0);
  if (!(t >= low && t < high)) return false;  // a product rounded across a power of ten
  if (t >= 0x1p53) return false;  // sixteen digits from 9007199254740992 up: no fraction left
  auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(t));
  const double fromHalf = (t - static_cast<double>(whole)) - 0.5;  // exact: t < 2^53
  // Half an ulp of t bounds one rounding (scaling up by an exact power); two
  // roundings (scaling down by an inexact one) stay below four ulps.
  const std::uint64_t boundBits = ((tBits >> 52) - (p >= 0 ? 53 : 50)) << 52;
  double bound;
  std::memcpy(&bound, &boundBits, sizeof bound);
  bool up = fromHalf > 0;
  if ((fromHalf < 0 ? -fromHalf : fromHalf) <= bound) {
    if (p < 0) return false;
    // Near one half: the exact product is t plus its error; the sign of a
    // rounded sum is the sign of the exact sum.
    const double beyond = fromHalf + productError(magnitude, kPow10[p], t);
    // (With an ulp of 1 the exact value may lie half below t, but then t is
    // the even neighbour, which the tie goes to anyway.)
    up = beyond > 0 || (beyond == 0 && (whole & 1) != 0);
  }
  int e = e10;
  if (up && ++whole == static_cast<std::uint64_t>(high)) {
    whole = static_cast<std::uint64_t>(low);
    ++e;
  }
  n = whole;
  exp10 = e;
  return true;
}

}  // namespace gw
