#include "decimal_digits.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace gw {

namespace {

using u128 = unsigned __int128;

// One digit more than this must still fit a 64-bit integer (10^19 < 2^64).
constexpr int kMaxFastDigits = 18;

struct Pow10Table {
  u128 p[39];
  constexpr Pow10Table() : p() {
    p[0] = 1;
    for (int i = 1; i < 39; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Pow10Table kPow10;

int bitLength(u128 v) {
  auto hi = static_cast<std::uint64_t>(v >> 64);
  if (hi != 0) return 128 - __builtin_clzll(hi);
  auto lo = static_cast<std::uint64_t>(v);
  return lo == 0 ? 0 : 64 - __builtin_clzll(lo);
}

// magnitude = mantissa * 2^exp2 exactly, mantissa an integer (read off the bits).
void decompose(double magnitude, std::uint64_t& mantissa, int& exp2) {
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  int biased = static_cast<int>(bits >> 52);
  mantissa = bits & ((std::uint64_t(1) << 52) - 1);
  if (biased == 0) {
    exp2 = -1074;
  } else {
    mantissa |= std::uint64_t(1) << 52;
    exp2 = biased - 1075;
  }
}
void decompose(float magnitude, std::uint64_t& mantissa, int& exp2) {
  std::uint32_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  int biased = static_cast<int>(bits >> 23);
  mantissa = bits & ((std::uint32_t(1) << 23) - 1);
  if (biased == 0) {
    exp2 = -149;
  } else {
    mantissa |= std::uint64_t(1) << 23;
    exp2 = biased - 150;
  }
}

// Floor of mantissa * 2^exp2 * 10^p, with how the dropped fraction compares
// with one half (-1 below, 0 equal, 1 above) and whether it is zero.
struct Scaled {
  u128 floor;
  int half;
  bool exact;
};

// Splits a = floor * 2^shift + rem and compares rem with 2^(shift-1).
Scaled shiftDown(u128 a, int shift) {
  if (shift == 0) return Scaled{a, -1, true};
  u128 rem = a & ((u128(1) << shift) - 1);
  u128 half = u128(1) << (shift - 1);
  return Scaled{a >> shift, rem < half ? -1 : (rem == half ? 0 : 1), rem == 0};
}

// Scales exactly when every quantity fits 128 bits; false otherwise.
bool scale(std::uint64_t mantissa, int exp2, int p, Scaled& out) {
  // The common case: a value below 2^53 scaled up by at most 10^19 (one multiply).
  if (p >= 0 && p <= 19 && exp2 <= 0 && exp2 > -128) {
    out = shiftDown(static_cast<u128>(mantissa) * digits_detail::kPow10Integer[p], -exp2);
    return true;
  }
  // value = A / B with A = mantissa * 2^max(exp2,0) * 10^max(p,0), B = 2^max(-exp2,0) * 10^max(-p,0)
  if (p > 38 || p < -38) return false;
  u128 a = mantissa;
  if (p > 0) {
    if (bitLength(a) + bitLength(kPow10.p[p]) > 127) return false;
    a *= kPow10.p[p];
  }
  if (exp2 > 0) {
    if (bitLength(a) + exp2 > 127) return false;
    a <<= exp2;
  }
  int shift = exp2 < 0 ? -exp2 : 0;
  if (p < 0) {
    u128 b = kPow10.p[-p];
    if (bitLength(b) + shift > 127) return false;
    b <<= shift;
    u128 q = a / b;
    u128 rem = a - q * b;
    u128 twice = rem << 1;
    out = Scaled{q, twice < b ? -1 : (twice == b ? 0 : 1), rem == 0};
    return true;
  }
  if (shift >= 127) return false;
  out = shiftDown(a, shift);
  return true;
}

template <class T>
bool fastDigits(T magnitude, int count, char* digits, int& exp10) {
  if (count > kMaxFastDigits) return false;
  std::uint64_t mantissa;
  int exp2;
  decompose(magnitude, mantissa, exp2);
  // floor(log10(magnitude)) is this guess from the leading bit's binary exponent
  // (log10(2) ~ 78913 / 2^18) or one more; for tiny values the guess may be one
  // too high, which the loop corrects.
  int lead = exp2 + 63 - __builtin_clzll(mantissa);
  int e10 = (lead * 78913) >> 18;
  const u128 low = kPow10.p[count - 1];
  const u128 high = kPow10.p[count];
  for (int attempt = 0; attempt < 3; ++attempt) {
    Scaled s;
    if (!scale(mantissa, exp2, count - 1 - e10, s)) return false;
    u128 q = s.floor;
    bool up;
    if (q >= high) {
      // One digit too many (never more than one: q < 10^(count+1) < 2^64): drop
      // it and round on it and the fraction beyond it.
      auto wide = static_cast<std::uint64_t>(q);
      unsigned last = static_cast<unsigned>(wide % 10);
      q = wide / 10;
      ++e10;
      up = last > 5 || (last == 5 && (!s.exact || (q & 1) != 0));
    } else if (q < low) {
      --e10;
      continue;
    } else {
      up = s.half > 0 || (s.half == 0 && (q & 1) != 0);
    }
    if (up && ++q == high) {  // rounding carried into a new digit: 9.99..5 -> 10.0..
      q = low;
      ++e10;
    }
    writeDigits(static_cast<std::uint64_t>(q), count, digits);
    exp10 = e10;
    return true;
  }
  return false;
}

template <class T>
void generalDigits(T magnitude, int count, char* digits, int& exp10) {
  char buf[96];
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, count - 1);
  const char* p = buf;
  digits[0] = *p++;
  if (count > 1) {
    ++p;  // the point
    std::memcpy(digits + 1, p, static_cast<std::size_t>(count - 1));
    p += count - 1;
  }
  ++p;  // 'e'
  bool negative = *p == '-';
  ++p;
  int e = 0;
  for (; p < res.ptr; ++p) e = e * 10 + (*p - '0');
  exp10 = negative ? -e : e;
}

}  // namespace

void roundedDigits(double magnitude, int count, char* digits, int& exp10) {
  std::uint64_t n;
  if (quickDigits(magnitude, count, n, exp10)) {
    writeDigits(n, count, digits);
    return;
  }
  if (!fastDigits(magnitude, count, digits, exp10)) generalDigits(magnitude, count, digits, exp10);
}
void roundedDigits(float magnitude, int count, char* digits, int& exp10) {
  // A float converts to double exactly.
  std::uint64_t n;
  if (quickDigits(static_cast<double>(magnitude), count, n, exp10)) {
    writeDigits(n, count, digits);
    return;
  }
  if (!fastDigits(magnitude, count, digits, exp10)) generalDigits(magnitude, count, digits, exp10);
}
void roundedDigits(double magnitude, int count, std::uint64_t& n, int& exp10) {
  if (quickDigits(magnitude, count, n, exp10)) return;
  char digits[20];
  if (!fastDigits(magnitude, count, digits, exp10)) generalDigits(magnitude, count, digits, exp10);
  n = 0;
  for (int i = 0; i < count; ++i) n = n * 10 + static_cast<std::uint64_t>(digits[i] - '0');
}
void roundedDigitsGeneral(double magnitude, int count, char* digits, int& exp10) {
  generalDigits(magnitude, count, digits, exp10);
}
void roundedDigitsGeneral(float magnitude, int count, char* digits, int& exp10) {
  generalDigits(magnitude, count, digits, exp10);
}

}  // namespace gw
