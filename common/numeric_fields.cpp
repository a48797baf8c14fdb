#include "numeric_fields.hpp"

#include "decimal_digits.hpp"

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

template <class T>
[[gnu::always_inline]] inline void exponentImpl(char* out, int w, int d, int expDigits, int scale, T value) {
  if (!std::isfinite(value)) {
    nonFinite(out, w, value);
    return;
  }
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
  bool negative = value < 0;
  T magnitude = negative ? -value : value;
  // Below 10^sig - 1/2 the rounded value stays below 10^sig (the midpoint
  // itself, an odd last digit, rounds up to even 10^sig).
  const double largestFixed = std::pow(10.0, sig) - 0.5;
  if (magnitude >= smallestFixed && static_cast<double>(magnitude) < largestFixed) {
    Digits dg;
    significantDigits(magnitude, sig, dg);
    int gap = expDigits + 2;
    int fixedWidth = w - gap;
    int before = dg.exp10 + 1;  // digits before the point; 0 below 1
    char text[64];
    int len = 0;
    if (negative) text[len++] = '-';
    if (before == 0) {
      text[len++] = '0';
      text[len++] = '.';
      for (int i = 0; i < sig; ++i) text[len++] = dg.d[i];
    } else {
      for (int i = 0; i < before; ++i) text[len++] = dg.d[i];
      text[len++] = '.';
      for (int i = before; i < sig; ++i) text[len++] = dg.d[i];
    }
    char* p = out;
    for (int i = fixedWidth - len; i > 0; --i) *p++ = ' ';
    for (int i = 0; i < len; ++i) *p++ = text[i];
    for (int i = 0; i < gap; ++i) *p++ = ' ';
    return;
  }
  exponentImpl(out, w, sig, expDigits, 1, value);
}

}  // namespace

void integer(char* out, int w, long long value) {
  // Digits from the right end of the field, then the sign and the blanks.
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  char* p = out + w;
  do {
    if (p == out) {
      fillStars(out, w);
      return;
    }
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    if (p == out) {
      fillStars(out, w);
      return;
    }
    *--p = '-';
  }
  while (p != out) *--p = ' ';
}

void exponent(char* out, int w, int d, int expDigits, int scale, double value) {
  exponentImpl(out, w, d, expDigits, scale, value);
}
void exponent(char* out, int w, int d, int expDigits, int scale, float value) {
  exponentImpl(out, w, d, expDigits, scale, value);
}
void fixed(char* out, int w, int d, double value) { fixedImpl(out, w, d, value); }
void fixed(char* out, int w, int d, float value) { fixedImpl(out, w, d, value); }

void freeDouble(char* out, double value) {
  static const double smallestFixed = smallestFixedMagnitude<double>(15);
  freeG(out, kFreeDoubleWidth, 15, 3, value, smallestFixed);
}
void freeSingle(char* out, float value) {
  static const float smallestFixed = smallestFixedMagnitude<float>(7);
  freeG(out, kFreeSingleWidth, 7, 2, value, smallestFixed);
}

namespace {

// One exponent layout with its width, digits, exponent digits and scale fixed at
// compile time, so that the loops over them unroll.
template <class T, int W, int D, int E, int S>
void exponentFixed(char* out, T value) {
  exponentImpl(out, W, D, E, S, value);
}

template <class T>
struct Specialised {
  int w, d, e, scale;
  void (*render)(char*, T);
};

// The layouts the output kinds write most.
template <class T>
constexpr Specialised<T> kSpecialised[] = {
    {12, 4, 0, 1, exponentFixed<T, 12, 4, 0, 1>}, {12, 5, 0, 1, exponentFixed<T, 12, 5, 0, 1>},
    {13, 6, 0, 1, exponentFixed<T, 13, 6, 0, 1>}, {14, 5, 0, 1, exponentFixed<T, 14, 5, 0, 1>},
    {14, 5, 0, 0, exponentFixed<T, 14, 5, 0, 0>}, {15, 7, 0, 0, exponentFixed<T, 15, 7, 0, 0>},
    {16, 7, 0, 0, exponentFixed<T, 16, 7, 0, 0>},
};

template <class T>
void (*findSpecialised(int w, int d, int expDigits, int scale))(char*, T) {
  for (const auto& s : kSpecialised<T>) {
    if (s.w == w && s.d == d && s.e == expDigits && s.scale == scale) return s.render;
  }
  return nullptr;
}

}  // namespace

DoubleField exponentRenderer(int w, int d, int expDigits, int scale, double) {
  return findSpecialised<double>(w, d, expDigits, scale);
}
SingleField exponentRenderer(int w, int d, int expDigits, int scale, float) {
  return findSpecialised<float>(w, d, expDigits, scale);
}

}  // namespace gw::fields
