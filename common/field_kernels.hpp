// Straight renderers of the fields the output kinds write most (Iw, Ew.d and
// 1PEw.d of up to eight digits), inline so that a whole line is composed in one
// function: the digits come from integer arithmetic on machine words and are
// stored a word at a time. Values they do not cover (out of range, not finite,
// or too close to a rounding tie for one product to tell) go to the exact
// renderers of numeric_fields.hpp, so the bytes are always theirs.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "decimal_digits.hpp"
#include "numeric_fields.hpp"

namespace gw::fields::straight {

static_assert(std::endian::native == std::endian::little, "digit words are stored lowest byte first");

inline constexpr std::uint64_t kBlanks = 0x2020202020202020ull;

inline void store8(char* at, std::uint64_t word) { std::memcpy(at, &word, 8); }
inline void store4(char* at, std::uint32_t word) { std::memcpy(at, &word, 4); }

// Decimal digits as characters in one word whose lowest byte is the first
// digit (stored, they read in order), leading zeros included: two, then one
// digit per lane of the word.
// The four digits of a < 10^4 in the low half, of b < 10^4 in the high half.
inline std::uint64_t fourDigitsTwice(std::uint32_t a, std::uint32_t b) {
  std::uint64_t x = a | static_cast<std::uint64_t>(b) << 32;
  std::uint64_t y = ((x * 10486) >> 20) & 0x0000007F0000007Full;  // lane / 100
  x = y | ((x - y * 100) << 16);
  y = ((x * 103) >> 10) & 0x000F000F000F000Full;  // lane / 10
  x = y | ((x - y * 10) << 8);
  return x | 0x3030303030303030ull;
}
// The eight digits of n < 10^8.
inline std::uint64_t eightDigits(std::uint32_t n) { return fourDigitsTwice(n / 10000, n % 10000); }
// The four digits of r < 10^4.
inline std::uint32_t fourDigits(std::uint32_t r) {
  std::uint32_t x = (r * 5243) >> 19;  // r / 100
  x |= (r - x * 100) << 16;
  const std::uint32_t y = ((x * 103) >> 10) & 0x000F000Fu;  // lane / 10
  return (y | ((x - y * 10) << 8)) | 0x30303030u;
}

// The low `bytes` (0 to 8) bytes of a word.
inline std::uint64_t lowBytes(int bytes) { return bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1; }

// Iw for w up to 16 and values of at most eight digits (seven and the sign when
// negative), the limits worked out once for a run of fields.
struct IntegerLayout {
  int w;
  long long limit, negativeLimit;  // the values within: -negativeLimit < v < limit
  constexpr explicit IntegerLayout(int width)
      : w(width),
        limit(static_cast<long long>(digits_detail::kPow10Integer[width < 8 ? width : 8])),
        negativeLimit(static_cast<long long>(digits_detail::kPow10Integer[(width < 8 ? width : 8) - 1])) {}
};

// For w below 8 it may write up to 8 - w bytes past the field, which a caller
// writing left to right overwrites next.
[[gnu::always_inline]] inline void integer(char* out, const IntegerLayout& layout, long long value) {
  const int w = layout.w;
  if (value >= layout.limit || value <= -layout.negativeLimit) [[unlikely]] {
    fields::integer(out, w, value);
    return;
  }
  const bool negative = value < 0;
  const auto magnitude = static_cast<std::uint32_t>(negative ? -value : value);
  std::uint64_t digits = eightDigits(magnitude);
  // Leading zeros become blanks (the last digit stays), the one before the
  // first digit a minus sign when negative (a negative value leaves one).
  const int zeros = std::countr_zero((digits & 0x0F0F0F0F0F0F0F0Full) | (1ull << 56)) >> 3;
  digits -= lowBytes(zeros) & 0x1010101010101010ull;
  digits += static_cast<std::uint64_t>(negative ? 0x0D : 0) << ((8 * zeros - 8) & 63);
  if (w <= 8) {
    store8(out, digits >> (8 * (8 - w)));
  } else {
    store8(out, kBlanks);
    store8(out + w - 8, digits);
  }
}

// Iw for a width known when compiling, 1 to 8: the digits in a word of four,
// five or eight as the width needs. May write up to 8 - W bytes past the field.
template <int W>
[[gnu::always_inline]] inline void integer(char* out, long long value) {
  static_assert(W >= 1 && W <= 8);
  constexpr auto limit = static_cast<long long>(digits_detail::kPow10Integer[W]);
  constexpr auto negativeLimit = static_cast<long long>(digits_detail::kPow10Integer[W - 1]);
  if (value >= limit || value <= -negativeLimit) [[unlikely]] {
    fields::integer(out, W, value);
    return;
  }
  const bool negative = value < 0;
  const auto magnitude = static_cast<std::uint32_t>(negative ? -value : value);
  constexpr int count = W <= 4 ? 4 : W == 5 ? 5 : 8;
  std::uint64_t digits;
  if constexpr (count == 4) {
    digits = fourDigits(magnitude);
  } else if constexpr (count == 5) {
    const std::uint32_t first = magnitude / 10000;
    digits = ('0' + first) | static_cast<std::uint64_t>(fourDigits(magnitude - first * 10000)) << 8;
  } else {
    digits = eightDigits(magnitude);
  }
  const int zeros = std::countr_zero((digits & 0x0F0F0F0F0F0F0F0Full) | (1ull << (8 * count - 8))) >> 3;
  digits -= lowBytes(zeros) & 0x1010101010101010ull;
  digits += static_cast<std::uint64_t>(negative ? 0x0D : 0) << ((8 * zeros - 8) & 63);
  store8(out, digits >> (8 * (count - W)));
}

namespace kernel_detail {
// "E", the sign and two digits of every exponent from -32 to 31, as words.
struct ExponentWords {
  std::uint32_t word[64];
  constexpr ExponentWords() : word() {
    for (int e = -32; e < 32; ++e) {
      const auto m = static_cast<std::uint32_t>(e < 0 ? -e : e);
      word[e + 32] = 'E' | static_cast<std::uint32_t>(e < 0 ? '-' : '+') << 8 | ('0' + m / 10) << 16 |
                     ('0' + m % 10) << 24;
    }
  }
};
inline constexpr ExponentWords kExponentWords;
}  // namespace kernel_detail

// An exponent layout with a straight renderer: Ew.d (S 0) or 1PEw.d (S 1).
// Within the range of the straight path the exponent has two digits, so the
// default exponent and E2 read alike there.
template <int W, int D, int S, int E = 0>
struct ExponentLayout {
  static constexpr int w = W, d = D, scale = S, e = E;  // E: exponent digits, 0 (default) or 2
  static constexpr int count = S > 0 ? D + 1 : D;
  static_assert(D >= 1 && count <= 8 && W >= 12 && W <= 20 && W - D - 7 >= 0 && (E == 0 || E == 2),
                "up to eight digits, 12 to 20 columns with room for a sign");
};

// The values `exponent` leaves aside: zero ("0." and D zeros after blanks),
// and the rest through the exact renderer.
template <class L>
[[gnu::cold, gnu::noinline]] void exponentAside(char* out, double value) {
  if (value != 0) {  // NaN compares unequal: here too
    fields::exponent(out, L::w, L::d, L::e, L::scale, value);
    return;
  }
  std::memset(out, ' ', L::w - L::d - 6);
  std::memcpy(out + L::w - L::d - 6, "0.", 2);
  std::memset(out + L::w - L::d - 4, '0', L::d);
  std::memcpy(out + L::w - 4, "E+00", 4);
}

// Renders `value` (a 32-bit real as its exact double) in layout L, within the field.
template <class L>
[[gnu::always_inline]] inline void exponent(char* out, double value) {
  constexpr int D = L::d;
  std::uint32_t n;
  int e10;
  if (!shortDigits(std::fabs(value), L::count, n, e10)) [[unlikely]] {
    exponentAside<L>(out, value);
    return;
  }
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const auto sign = static_cast<std::uint32_t>(' ' + 13 * (bits >> 63));  // ' ' or '-'
  // Within -22 .. 30 on this path.
  const std::uint32_t exponentWord = kernel_detail::kExponentWords.word[(L::scale > 0 ? e10 : e10 + 1) + 32];
  constexpr std::uint32_t kPoint = '.';
  if constexpr (D <= 5) {
    // Blanks, sign, the digit (or zero) before the point, the point and the D
    // digits after it in one word that ends where the exponent begins.
    constexpr auto fractionScale = static_cast<std::uint32_t>(digits_detail::kPow10Integer[D]);
    const std::uint32_t lead = L::scale > 0 ? '0' + n / fractionScale : '0';
    const std::uint32_t fraction = L::scale > 0 ? n % fractionScale : n;
    std::uint64_t digits = static_cast<std::uint64_t>(fourDigits(D == 5 ? fraction % 10000 : fraction)) << 32;
    if constexpr (D == 5) digits |= static_cast<std::uint64_t>('0' + fraction / 10000) << 24;
    const std::uint64_t word = (digits & ~lowBytes(8 - D)) |
                               static_cast<std::uint64_t>(sign | lead << 8 | kPoint << 16) << (8 * (5 - D)) |
                               (kBlanks & lowBytes(5 - D));
    if constexpr (L::w > 12) store8(out, kBlanks);
    store8(out + L::w - 12, word);
  } else {
    // Blanks, the digits word (its leading zeros blanked) ending where the
    // exponent begins, then the sign, the digit or zero before the point and
    // the point over what the words left there.
    const std::uint64_t digits = eightDigits(n);
    store8(out, kBlanks);
    store8(out + L::w - 12, digits - (lowBytes(8 - L::count) & 0x1010101010101010ull));
    constexpr int first = L::w - D - 6;
    out[first - 1] = static_cast<char>(sign);
    out[first] = L::scale > 0 ? static_cast<char>(digits >> (8 * (8 - L::count))) : '0';
    out[first + 1] = '.';
  }
  store4(out + L::w - 4, exponentWord);
}

// The free-form layouts of free_form.hpp: `sig` significant digits in fixed
// form when the value rounds into [0.1, 10^sig), ended by expDigits + 2 blanks;
// otherwise 1PEw.(sig)E(expDigits). `smallestFixed` is the least magnitude of
// the fixed form. They return false, having written nothing, where the exact
// renderer decides.

// A word of digits after one leading byte (a zero, or the last digit of the
// word before), with a point put after its first `before` (0 to 7) digits:
// those move down one byte over the leading one to make room.
inline std::uint64_t withPoint(std::uint64_t digits, int before) {
  return ((digits >> 8) & lowBytes(before)) | static_cast<std::uint64_t>('.') << (8 * before) |
         (digits & (~0ull << (8 * before) << 8));
}

// A 32-bit real: 1P G15.7E2.
[[gnu::always_inline]] inline bool freeSingle(char* out, float value, float smallestFixed) {
  const float magnitude = std::fabs(value);
  if (!(magnitude >= smallestFixed && static_cast<double>(magnitude) < 9999999.5)) {
    exponent<ExponentLayout<15, 7, 1, 2>>(out, value);  // zero and values that are not finite too
    return true;
  }
  std::uint32_t n;
  int e10;
  if (!shortDigits(magnitude, 7, n, e10)) return false;
  // The seven digits with the point after `before` of them, ending at column 11.
  const int before = e10 + 1;  // 0 to 7
  store8(out, kBlanks);
  store8(out + 7, kBlanks);
  store8(out + 3, withPoint(eightDigits(n), before));  // a zero, then the seven digits
  const char sign = value < 0 ? '-' : ' ';
  out[2] = before == 0 ? '0' : sign;
  out[1] = before == 0 ? sign : ' ';
  return true;
}

// A double: 1P G24.15E3.
[[gnu::always_inline]] inline bool freeDouble(char* out, double value, double smallestFixed) {
  const double magnitude = std::fabs(value);
  const bool fixed = magnitude >= smallestFixed && magnitude < 999999999999999.5;
  if (magnitude == 0) {
    std::memcpy(out, "  0.000000000000000E+000", 24);
    return true;
  }
  std::uint64_t n;
  int e10;
  if (!longDigits(magnitude, fixed ? 15 : 16, n, e10)) return false;
  const std::uint64_t high = eightDigits(static_cast<std::uint32_t>(n / 100000000));
  const std::uint64_t low = eightDigits(static_cast<std::uint32_t>(n % 100000000));
  const char sign = value < 0 ? '-' : ' ';
  store8(out, kBlanks);
  if (fixed) {
    // A zero and the fifteen digits in two words; the point after `before` of
    // the digits, ending at column 19, then five blanks.
    const int before = e10 + 1;  // 0 to 15
    store8(out + 16, kBlanks);
    if (before < 8) {
      store8(out + 3, withPoint(high, before));
      store8(out + 11, low);
    } else {
      store8(out + 3, high >> 8 | low << 56);
      store8(out + 11, withPoint(low, before - 8));
    }
    out[2] = before == 0 ? '0' : sign;
    out[1] = before == 0 ? sign : ' ';
    return true;
  }
  // Sixteen digits: the first, the point, fifteen more, E and a three-digit exponent.
  store8(out + 3, high);
  store8(out + 11, low);
  out[1] = sign;
  out[2] = static_cast<char>(high);
  out[3] = '.';
  const auto m = static_cast<std::uint32_t>(e10 < 0 ? -e10 : e10);
  const std::uint32_t hundreds = m / 100, rest = m % 100, tens = rest / 10;
  store4(out + 19, 'E' | static_cast<std::uint32_t>(e10 < 0 ? '-' : '+') << 8 | ('0' + hundreds) << 16 |
                       ('0' + tens) << 24);
  out[23] = static_cast<char>('0' + rest - 10 * tens);
  return true;
}

// The straight renderers: Iw, and the exponent layouts the output kinds write.
enum class Kernel : std::uint8_t { None, Integer, E12_4P, E12_5P, E13_6P, E14_5P, E14_5, E15_7, E16_7 };

// Calls `visit` with the ExponentLayout of an exponent kernel (a value of that
// type), so that the caller's loop is compiled once for each layout.
template <class Visit>
[[gnu::always_inline]] inline void withLayout(Kernel kernel, Visit&& visit) {
  switch (kernel) {
    case Kernel::E12_4P: return visit(ExponentLayout<12, 4, 1>{});
    case Kernel::E12_5P: return visit(ExponentLayout<12, 5, 1>{});
    case Kernel::E13_6P: return visit(ExponentLayout<13, 6, 1>{});
    case Kernel::E14_5P: return visit(ExponentLayout<14, 5, 1>{});
    case Kernel::E14_5: return visit(ExponentLayout<14, 5, 0>{});
    case Kernel::E15_7: return visit(ExponentLayout<15, 7, 0>{});
    case Kernel::E16_7: return visit(ExponentLayout<16, 7, 0>{});
    case Kernel::None:
    case Kernel::Integer: break;
  }
}

// The kernel of Ew.d (or Ew.dEe) at scale factor `scale`, or None.
inline Kernel exponentKernel(int w, int d, int expDigits, int scale) {
  Kernel found = Kernel::None;
  for (auto k = static_cast<int>(Kernel::E12_4P); k <= static_cast<int>(Kernel::E16_7); ++k) {
    withLayout(static_cast<Kernel>(k), [&](auto layout) {
      using L = decltype(layout);
      if (L::w == w && L::d == d && L::e == expDigits && L::scale == scale) found = static_cast<Kernel>(k);
    });
  }
  return found;
}

}  // namespace gw::fields::straight
