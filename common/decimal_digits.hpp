// Correctly rounded significant decimal digits of a binary floating-point value.
#pragma once

#include <cmath>
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

// 5^0 to 5^27, the powers of five a 64-bit integer holds.
struct Pow5Table {
  std::uint64_t p[28];
  constexpr Pow5Table() : p() {
    p[0] = 1;
    for (int i = 1; i < 28; ++i) p[i] = p[i - 1] * 5;
  }
};
inline constexpr Pow5Table kPow5;

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

// The product both inline paths start from: for a normal magnitude within about
// 10^-22 to 10^36 (the binary exponent leaves two decades), t = magnitude x 10^p
// rounded to a double, the one of the two candidate products that should have
// `count` (1 to 16) digits before its point; exp10 is then the decimal exponent
// of its first digit. False when out of range. A product may still have
// rounded across a power of ten: callers check t's decade.
struct DecadeProduct {
  double t;
  int p;
  int exp10;
};
[[gnu::always_inline]] inline bool decadeProduct(double magnitude, int count, DecadeProduct& out) {
  using namespace digits_detail;
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int lead = static_cast<int>(bits >> 52) - 1023;
  // floor(log10(2^lead)): the decade is this or the next one.
  const int guess = (lead * 78913) >> 18;
  // Both candidate products at once; the one below 10^count is taken without
  // a branch.
  const int pLow = count - 1 - guess;
  if (static_cast<unsigned>(pLow + 21) > 43u) return false;  // pLow outside -21 .. 22
  const double tLow = magnitude * kScale[pLow + 22];
  const double tHigh = magnitude * kScale[pLow + 21];
  const bool nextDecade = tLow >= kPow10[count];
  out.t = nextDecade ? tHigh : tLow;
  out.exp10 = guess + (nextDecade ? 1 : 0);
  out.p = pLow - (nextDecade ? 1 : 0);
  return true;
}

// The inline path for up to 16 digits of a normal value within about 10^-22 to
// 10^36: the decade product rounded to an integer gives the digits. The
// product's rounding error is bounded, and when t's fraction lies within that
// bound of one half, the exact error of the product (scaling up) decides;
// scaling down, the path declines. Returns false when declining.
inline bool quickDigits(double magnitude, int count, std::uint64_t& n, int& exp10) {
  using namespace digits_detail;
  if (count > 16) return false;
  DecadeProduct dp;
  if (!decadeProduct(magnitude, count, dp)) return false;
  const double t = dp.t;
  if (!(t >= kPow10[count - 1] && t < kPow10[count])) return false;  // rounded across a power of ten
  if (t >= 0x1p53) return false;  // sixteen digits from 9007199254740992 up: no fraction left
  auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(t));
  const double fromHalf = (t - static_cast<double>(whole)) - 0.5;  // exact: t < 2^53
  // Half an ulp of t bounds one rounding (scaling up by an exact power); two
  // roundings (scaling down by an inexact one) stay below four ulps.
  std::uint64_t tBits;
  std::memcpy(&tBits, &t, sizeof tBits);
  const std::uint64_t boundBits = ((tBits >> 52) - (dp.p >= 0 ? 53 : 50)) << 52;
  double bound;
  std::memcpy(&bound, &boundBits, sizeof bound);
  bool up = fromHalf > 0;
  if ((fromHalf < 0 ? -fromHalf : fromHalf) <= bound) {
    if (dp.p < 0) return false;
    // Near one half: the exact product is t plus its error; the sign of a
    // rounded sum is the sign of the exact sum.
    const double beyond = fromHalf + productError(magnitude, kPow10[dp.p], t);
    // (With an ulp of 1 the exact value may lie half below t, but then t is
    // the even neighbour, which the tie goes to anyway.)
    up = beyond > 0 || (beyond == 0 && (whole & 1) != 0);
  }
  int e = dp.exp10;
  if (up && ++whole == kPow10Integer[count]) {
    whole = kPow10Integer[count - 1];
    ++e;
  }
  n = whole;
  exp10 = e;
  return true;
}

namespace digits_detail {
// Four ulps of the largest product of `count` digits: a bound of the rounding
// error of every decade product of that many digits.
constexpr double tieMargin(int count) {
  double bound = 1.0;
  for (std::uint64_t top = kPow10Integer[count] - 1; top > 1; top >>= 1) bound *= 2;
  for (int i = 0; i < 50; ++i) bound /= 2;
  return bound;
}
inline constexpr double kTieMargin[9] = {0,            tieMargin(1), tieMargin(2), tieMargin(3), tieMargin(4),
                                         tieMargin(5), tieMargin(6), tieMargin(7), tieMargin(8)};
}  // namespace digits_detail

// The leanest path, for the 1 to 8 digits of the common numeric fields: the
// decade product rounded to an integer, or false (the exact paths decide) for
// zero, values that are not finite or lie outside about 10^-15 to 10^28, and
// the rare products too close to a rounding tie to tell its direction.
[[gnu::always_inline]] inline bool shortDigits(double magnitude, int count, std::uint32_t& n, int& exp10) {
  using namespace digits_detail;
  DecadeProduct dp;
  if (!decadeProduct(magnitude, count, dp)) return false;
  const auto whole = static_cast<std::uint32_t>(static_cast<std::int32_t>(dp.t));
  const double fromHalf = (dp.t - static_cast<double>(whole)) - 0.5;  // exact
  const auto low = static_cast<std::uint32_t>(kPow10Integer[count - 1]);
  const auto high = static_cast<std::uint32_t>(kPow10Integer[count]);
  // A product rounded across a power of ten, or too near a tie to tell.
  if ((whole - low >= high - low) | (std::fabs(fromHalf) <= kTieMargin[count])) return false;
  // Up when the fraction is above one half (fromHalf is not zero here); a
  // value rounding up to 10^count carries into the next decade. Arithmetic,
  // not branches: the direction is as random as the data.
  std::uint64_t fromHalfBits;
  std::memcpy(&fromHalfBits, &fromHalf, sizeof fromHalfBits);
  const std::uint32_t up = whole + 1 - static_cast<std::uint32_t>(fromHalfBits >> 63);
  const std::uint32_t carry = up == high ? 1 : 0;
  n = up - carry * (high - low);
  exp10 = dp.exp10 + static_cast<int>(carry);
  return true;
}

// The path for the 9 to 17 digits of the free-form double: exact integer
// arithmetic, magnitude x 10^p = m x 5^p x 2^(e2+p) with m and e2 the binary
// significand and exponent, for decimal scales p from 0 to 27 (normal values
// from about 10^(count-28) to 10^count). False outside them.
[[gnu::always_inline]] inline bool longDigits(double magnitude, int count, std::uint64_t& n, int& exp10) {
  using namespace digits_detail;
  using u128 = unsigned __int128;
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  const int guess = ((biased - 1023) * 78913) >> 18;  // the decade is this or the next one
  const int p = count - 1 - guess;
  const int shift = 1075 - biased - p;  // of the binary point in m x 5^p
  if (biased == 0 || static_cast<unsigned>(p) > 27u || shift < 1 || shift > 127) return false;
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const u128 product = static_cast<u128>(m) * kPow5.p[p];
  // The integer part q, and the fraction as the bits below the point.
  std::uint64_t q, fraction, half;
  if (shift < 64) {  // the common case, on 64-bit words
    const auto low = static_cast<std::uint64_t>(product);
    q = static_cast<std::uint64_t>(product >> shift);
    fraction = low & ((std::uint64_t{1} << shift) - 1);
    half = std::uint64_t{1} << (shift - 1);
  } else {  // the fraction's top 64 bits, and whether any below them is set
    q = static_cast<std::uint64_t>(product >> shift);
    const u128 below = product << (128 - shift);
    fraction = static_cast<std::uint64_t>(below >> 64) | (static_cast<std::uint64_t>(below) != 0 ? 1 : 0);
    half = std::uint64_t{1} << 63;
  }
  // q is below 10^(count+1).
  if (q < kPow10Integer[count - 1]) return false;
  // One digit too many rounds on it and on what lies beyond it. Both ways
  // are worked out and one taken, without branches on the data.
  const bool extra = q >= kPow10Integer[count];
  const std::uint64_t shorter = q / 10, last = q - shorter * 10;
  const bool upShorter = (last > 5) | ((last == 5) & ((fraction != 0) | ((shorter & 1) != 0)));
  const bool upAsIs = (fraction > half) | ((fraction == half) & ((q & 1) != 0));
  int e = guess + (extra ? 1 : 0);
  q = extra ? shorter : q;
  const bool up = extra ? upShorter : upAsIs;
  q += up ? 1 : 0;
  if (q == kPow10Integer[count]) {
    q = kPow10Integer[count - 1];
    ++e;
  }
  n = q;
  exp10 = e;
  return true;
}

}  // namespace gw
