#include "numeric_fields.hpp"

#include "decimal_digits.hpp"
#include "field_kernels.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace gw::fields {

namespace {

void fillStars(char* out, int w) { std::memset(out, '*', static_cast<std::size_t>(w)); }

// Copies `text` right-justified into a field of w columns; asterisks when it does not fit.
void rightJustify(char* out, int w, const char* text, int len) {
  if (len > w) {
    fillStars(out, w);
    return;
  }
  std::memset(out, ' ', static_cast<std::size_t>(w - len));
  std::memcpy(out + (w - len), text, static_cast<std::size_t>(len));
}

template <class T>
void nonFinite(char* out, int w, T value) {
  if (std::isnan(value)) {
    rightJustify(out, w, "NaN", 3);
  } else if (value > 0) {
    if (w >= 8) rightJustify(out, w, "Infinity", 8);
    else rightJustify(out, w, "Inf", 3);
  } else {
    if (w >= 9) rightJustify(out, w, "-Infinity", 9);
    else rightJustify(out, w, "-Inf", 4);
  }
}

// Significant decimal digits of |value|, correctly rounded, as value = 0.D1D2... x 10^(exp10+1),
// that is D1.D2... x 10^exp10.
struct Digits {
  char d[64];
  int count;
  int exp10;
};

template <class T>
void significantDigits(T magnitude, int count, Digits& out) {
  out.count = count;
  if (magnitude == 0) {
    std::memset(out.d, '0', static_cast<std::size_t>(count));
    out.exp10 = 0;
    return;
  }
  roundedDigits(magnitude, count, out.d, out.exp10);
}

// Writes the exponent part; returns its length, or -1 when the exponent does not fit.
int exponentText(char* p, int exp, int expDigits) {
  int mag = std::abs(exp);
  char sign = exp < 0 ? '-' : '+';
  int digits;
  int len = 0;
  if (expDigits == 0) {
    if (mag <= 99) {
      p[len++] = 'E';
      digits = 2;
    } else if (mag <= 999) {
      digits = 3;
    } else {
      return -1;
    }
  } else {
    int limit = 1;
    for (int i = 0; i < expDigits; ++i) limit *= 10;
    if (mag >= limit) return -1;
    p[len++] = 'E';
    digits = expDigits;
  }
  p[len++] = sign;
  for (int i = digits - 1; i >= 0; --i) {
    p[len + i] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  }
  return len + digits;
}

// Ew.d with more than 18 digits: from the digits as text.
template <class T>
void exponentFromText(char* out, int w, int d, int expDigits, int scale, T value) {
  bool negative = value < 0;
  T magnitude = negative ? -value : value;
  Digits dg;
  significantDigits(magnitude, scale > 0 ? d + 1 : d, dg);
  int exp = magnitude == 0 ? 0 : (scale > 0 ? dg.exp10 : dg.exp10 + 1);

  char expText[8];
  const int expLen = exponentText(expText, exp, expDigits);
  // Sign, "0." or "D." and d digits, then the exponent.
  int len = (negative ? 1 : 0) + 2 + d + expLen;
  bool leadingZero = scale <= 0;
  if (expLen < 0 || len > w) {
    // Without a scale factor the zero before the point may go to make room.
    if (expLen < 0 || !leadingZero || len - 1 > w) {
      fillStars(out, w);
      return;
    }
    leadingZero = false;
    --len;
  }
  char* p = out;
  for (int i = w - len; i > 0; --i) *p++ = ' ';
  if (negative) *p++ = '-';
  const char* digits = dg.d;
  if (scale > 0) {
    *p++ = *digits++;
  } else if (leadingZero) {
    *p++ = '0';
  }
  *p++ = '.';
  for (int i = 0; i < d; ++i) *p++ = digits[i];
  for (int i = 0; i < expLen; ++i) *p++ = expText[i];
}

// Rounded significant digits of a finite magnitude as one integer (all zeros for zero).
[[gnu::always_inline]] inline void integerDigits(double magnitude, int count, std::uint64_t& n, int& exp10) {
  n = 0;
  exp10 = 0;
  if (magnitude != 0 && !quickDigits(magnitude, count, n, exp10)) roundedDigits(magnitude, count, n, exp10);
}

// Ew.d (scale 0) and 1PEw.d (scale 1), written from the right end of the field:
// exponent, digits, point, sign, blanks.
template <class T>
[[gnu::always_inline]] inline void exponentImpl(char* out, int w, int d, int expDigits, int scale, T value) {
  if (!std::isfinite(value)) {
    nonFinite(out, w, value);
    return;
  }
  const int count = scale > 0 ? d + 1 : d;
  if (count > 18) {
    exponentFromText(out, w, d, expDigits, scale, value);
    return;
  }
  const bool negative = value < 0;
  const double magnitude = std::fabs(static_cast<double>(value));
  std::uint64_t n;
  int e10;
  integerDigits(magnitude, count, n, e10);
  const int exp = magnitude == 0 ? 0 : (scale > 0 ? e10 : e10 + 1);
  unsigned expMagnitude = static_cast<unsigned>(exp < 0 ? -exp : exp);
  // The default exponent is E and two digits, or a sign and three digits.
  bool letter = true;
  int expDigitCount = expDigits;
  if (expDigits == 0) {
    expDigitCount = 2;
    if (expMagnitude > 99) {
      letter = false;
      expDigitCount = 3;
    }
  }
  unsigned expLimit = 1;
  for (int i = 0; i < expDigitCount; ++i) expLimit *= 10;
  // Sign, "0." or "D." and d digits, then the exponent.
  int len = (negative ? 1 : 0) + 2 + d + (letter ? 2 : 1) + expDigitCount;
  bool leadingZero = scale <= 0;
  if (expMagnitude >= expLimit || len > w) {
    // Without a scale factor the zero before the point may go to make room.
    if (expMagnitude >= expLimit || !leadingZero || len - 1 > w) {
      fillStars(out, w);
      return;
    }
    leadingZero = false;
    --len;
  }
  // Blanks first, then the sign in its place (a blank when there is none, which
  // the first digit overwrites), then the rest from the right end.
  std::memset(out, ' ', static_cast<std::size_t>(w));
  out[w - len] = negative ? '-' : ' ';
  char* p = out + w;
  if (expDigitCount == 2) {
    p -= 2;
    std::memcpy(p, digits_detail::kDigitPairs + 2 * expMagnitude, 2);
  } else {
    for (int i = 0; i < expDigitCount; ++i) {
      *--p = static_cast<char>('0' + expMagnitude % 10);
      expMagnitude /= 10;
    }
  }
  *--p = exp < 0 ? '-' : '+';
  if (letter) *--p = 'E';
  if (scale > 0) {
    p -= count + 1;
    writeDigits(n, count, p + 1);
    p[0] = p[1];
    p[1] = '.';
  } else {
    p -= count;
    writeDigits(n, count, p);
    *--p = '.';
    if (leadingZero) *--p = '0';
  }
}

template <class T>
void fixedImpl(char* out, int w, int d, T value) {
  if (!std::isfinite(value)) {
    nonFinite(out, w, value);
    return;
  }
  bool negative = value < 0;
  // fabs, not negation: a negative zero must lose its sign bit before conversion.
  T magnitude = std::fabs(value);
  char text[400];
  int len = 0;
  if (negative) text[len++] = '-';
  auto res = std::to_chars(text + len, text + sizeof text - 2, magnitude, std::chars_format::fixed, d);
  if (res.ec != std::errc()) {
    fillStars(out, w);
    return;
  }
  len = static_cast<int>(res.ptr - text);
  if (d == 0) text[len++] = '.';
  int zeroAt = negative ? 1 : 0;
  // The zero before the point may go for lack of room only when digits follow
  // the point: "." or "-." alone would show no digit at all.
  if (len > w && d > 0 && text[zeroAt] == '0' && len - 1 <= w) {
    std::memmove(text + zeroAt, text + zeroAt + 1, static_cast<std::size_t>(len - zeroAt - 1));
    --len;
  }
  rightJustify(out, w, text, len);
}

// The free-form G layout: `sig` significant digits in fixed form within the first
// `fixedWidth` columns followed by `gap` blanks when the rounded value lies in
// [0.1, 10^sig); otherwise 1PEw.(sig)E(expDigits).
// The smallest magnitude whose rounding to `sig` significant digits is at least
// 0.1: found once, from the exact digits of the neighbours of the decimal
// midpoint 0.0999...95 (a midpoint no binary value equals).
template <class T>
T smallestFixedMagnitude(int sig) {
  const double midpoint = 0.1 - 0.5 * std::pow(10.0, -sig - 1);
  T candidate = static_cast<T>(midpoint);
  auto roundsUp = [sig](T v) {
    char d[64];
    int e10;
    roundedDigitsGeneral(v, sig, d, e10);
    return e10 >= -1;
  };
  T zero = 0;
  while (!roundsUp(candidate)) candidate = std::nextafter(candidate, T(1));
  while (roundsUp(std::nextafter(candidate, zero))) candidate = std::nextafter(candidate, zero);
  return candidate;
}

// The free-form G layout: `sig` significant digits in fixed form within the first
// w - (expDigits + 2) columns, then that many blanks, when the value rounded to
// `sig` digits lies in [0.1, 10^sig); otherwise 1PEw.(sig)E(expDigits). The
// form is told from two thresholds, so only one set of digits is made.
template <class T>
[[gnu::always_inline]] inline void freeG(char* out, int w, int sig, int expDigits, T value, T smallestFixed) {
  if (!std::isfinite(value)) {
    nonFinite(out, w, value);
    return;
  }
  const bool negative = value < 0;
  const T magnitude = negative ? -value : value;
  // Below 10^sig - 1/2 the rounded value stays below 10^sig (the midpoint
  // itself, an odd last digit, rounds up to even 10^sig).
  const double largestFixed = std::pow(10.0, sig) - 0.5;
  if (magnitude >= smallestFixed && static_cast<double>(magnitude) < largestFixed) {
    std::uint64_t n;
    int e10;
    integerDigits(static_cast<double>(magnitude), sig, n, e10);
    const int gap = expDigits + 2;
    const int before = e10 + 1;  // digits before the point; 0 below 1
    // From the right: the blanks of the gap, the digits with the point after
    // `before` of them, a zero before a leading point, the sign, the blanks.
    char* p = out + w;
    for (int i = 0; i < gap; ++i) *--p = ' ';
    p -= sig + 1;
    writeDigits(n, sig, p + 1);
    for (int i = 0; i < before; ++i) p[i] = p[i + 1];
    p[before] = '.';
    if (before == 0) *--p = '0';
    if (negative) *--p = '-';
    while (p != out) *--p = ' ';
    return;
  }
  exponentImpl(out, w, sig, expDigits, 1, value);
}

}  // namespace

void integer(char* out, int w, long long value) {
  // Digits into a scratch area from its right end, two at a time; then blanks,
  // the sign and the digits, or asterisks when they do not fit.
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  char digits[24];
  char* p = digits + sizeof digits;
  while (magnitude >= 100) {
    p -= 2;
    std::memcpy(p, digits_detail::kDigitPairs + 2 * (magnitude % 100), 2);
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    p -= 2;
    std::memcpy(p, digits_detail::kDigitPairs + 2 * magnitude, 2);
  } else {
    *--p = static_cast<char>('0' + magnitude);
  }
  if (value < 0) *--p = '-';
  const int len = static_cast<int>(digits + sizeof digits - p);
  if (len > w) {
    fillStars(out, w);
    return;
  }
  std::memset(out, ' ', static_cast<std::size_t>(w - len));
  std::memcpy(out + (w - len), p, static_cast<std::size_t>(len));
}

void exponent(char* out, int w, int d, int expDigits, int scale, double value) {
  exponentImpl(out, w, d, expDigits, scale, value);
}
void exponent(char* out, int w, int d, int expDigits, int scale, float value) {
  exponentImpl(out, w, d, expDigits, scale, value);
}
void fixed(char* out, int w, int d, double value) { fixedImpl(out, w, d, value); }
void fixed(char* out, int w, int d, float value) { fixedImpl(out, w, d, value); }

double smallestFixedDouble() {
  static const double smallest = smallestFixedMagnitude<double>(15);
  return smallest;
}

float smallestFixedSingle() {
  static const float smallest = smallestFixedMagnitude<float>(7);
  return smallest;
}

void freeDouble(char* out, double value) {
  if (!straight::freeDouble(out, value, smallestFixedDouble())) freeDoubleGeneral(out, value);
}
void freeSingle(char* out, float value) {
  if (!straight::freeSingle(out, value, smallestFixedSingle())) freeSingleGeneral(out, value);
}
void freeDoubleGeneral(char* out, double value) {
  freeG(out, kFreeDoubleWidth, 15, 3, value, smallestFixedDouble());
}
void freeSingleGeneral(char* out, float value) {
  freeG(out, kFreeSingleWidth, 7, 2, value, smallestFixedSingle());
}

}  // namespace gw::fields
