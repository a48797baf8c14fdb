// Fuzz target: the numeric fields every output line is made of, for any double or
// 32-bit real a result file may hold. The correctly rounded digits (the fast
// paths and the general conversion) and the Ew.d, 1PEw.d, Ew.dEe, Fw.d and
// free-form fields are checked against fields built from the C library's
// correctly rounded conversions (%e, %f) by the rules of the edit descriptors.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "decimal_digits.hpp"
#include "fuzz_support.hpp"
#include "numeric_fields.hpp"

namespace {

using gw::fuzz::expect;

// The `count` correctly rounded significant digits of m > 0 and the decimal
// exponent of the first, from %e.
template <class T>
std::string digitsOf(T m, int count, int& exp10) {
  char text[128];
  std::snprintf(text, sizeof text, "%.*e", count - 1, static_cast<double>(m));
  std::string digits;
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  exp10 = std::atoi(p + 1);
  return digits;
}

std::string rightJustified(const std::string& text, int w) {
  if (static_cast<int>(text.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

// Ew.d (scale 0), 1PEw.d (scale 1), with `expDigits` 0 for the default exponent.
template <class T>
std::string plainExponent(int w, int d, int expDigits, int scale, T value) {
  const bool negative = value < 0;
  const T m = std::fabs(value);
  const int count = scale > 0 ? d + 1 : d;
  int e10 = 0;
  std::string digits = m == 0 ? std::string(static_cast<std::size_t>(count), '0') : digitsOf(m, count, e10);
  const int exp = m == 0 ? 0 : (scale > 0 ? e10 : e10 + 1);
  const int mag = std::abs(exp);
  char buf[16];
  if (expDigits == 0) {
    if (mag > 999) return std::string(static_cast<std::size_t>(w), '*');
    std::snprintf(buf, sizeof buf, mag <= 99 ? "E%c%02d" : "%c%03d", exp < 0 ? '-' : '+', mag);
  } else {
    if (mag >= static_cast<int>(std::pow(10, expDigits))) return std::string(static_cast<std::size_t>(w), '*');
    std::snprintf(buf, sizeof buf, "E%c%0*d", exp < 0 ? '-' : '+', expDigits, mag);
  }
  std::string text = negative ? "-" : "";
  if (scale > 0) {
    text.append(digits, 0, 1).append(".").append(digits, 1);
  } else {
    // The zero before the point goes when the field would be one column too wide.
    const bool zero = static_cast<int>(text.size() + 2 + digits.size() + std::strlen(buf)) <= w;
    text.append(zero ? "0." : ".").append(digits);
  }
  text.append(buf);
  return rightJustified(text, w);
}

template <class T>
std::string plainFixed(int w, int d, T value) {
  const bool negative = value < 0;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", d, std::fabs(static_cast<double>(value)));
  std::string text = negative ? "-" : "";
  const std::size_t length = text.size() + std::strlen(buf) + (d == 0 ? 1 : 0);
  // The zero before the point goes when the field would be one column too wide.
  const bool dropZero = static_cast<int>(length) > w && d > 0 && buf[0] == '0';
  text.append(dropZero ? buf + 1 : buf);
  if (d == 0) text.append(".");
  return rightJustified(text, w);
}

// The free-form layout: `sig` digits in fixed form within w - expDigits - 2
// columns when the rounded value lies in [0.1, 10^sig), else 1PEw.sigEexpDigits.
template <class T>
std::string plainFree(int w, int sig, int expDigits, T value) {
  const T m = std::fabs(value);
  if (m != 0) {
    int e10 = 0;
    digitsOf(m, sig, e10);
    if (e10 >= -1 && e10 < sig) {
      const int before = e10 + 1;
      char buf[64];
      // The point stays when no digit follows it (a 7-digit integer as a 32-bit real).
      std::snprintf(buf, sizeof buf, "%s%#.*f", value < 0 ? "-" : "", sig - before, static_cast<double>(m));
      std::string field = rightJustified(buf, w - expDigits - 2);
      field.append(static_cast<std::size_t>(expDigits + 2), ' ');
      return field;
    }
  }
  return plainExponent(w, sig, expDigits, 1, value);
}

template <class T>
void checkDigits(T m, int count) {
  if (!(m > 0) || !std::isfinite(m)) return;
  char fast[64] = {};
  char general[64] = {};
  int fastExp = 0, generalExp = 0, wantExp = 0;
  gw::roundedDigits(m, count, fast, fastExp);
  gw::roundedDigitsGeneral(m, count, general, generalExp);
  const std::string want = digitsOf(m, count, wantExp);
  expect(std::string(general, static_cast<std::size_t>(count)) == want && generalExp == wantExp,
         "the general digit conversion is not correctly rounded");
  expect(std::string(fast, static_cast<std::size_t>(count)) == want && fastExp == wantExp,
         "the fast digit conversion is not correctly rounded");
}

template <class T>
void checkFields(T value, int w, int d, int expDigits, int scale) {
  if (!std::isfinite(value)) return;
  char out[128];
  gw::fields::exponent(out, w, d, expDigits, scale, value);
  expect(std::string(out, static_cast<std::size_t>(w)) == plainExponent(w, d, expDigits, scale, value),
         "an exponent field differs");
  gw::fields::fixed(out, w, d, value);
  expect(std::string(out, static_cast<std::size_t>(w)) == plainFixed(w, d, value), "a fixed-point field differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gw::fuzz::Bytes bytes(data, size);
  const std::uint8_t shape = bytes.take();
  const int w = 1 + bytes.take() % 40;
  const int d = 1 + bytes.take() % 20;
  const int count = 1 + bytes.take() % 40;
  std::uint64_t bits = 0;
  for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint64_t>(bytes.take()) << (8 * k);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  float single;
  const auto low = static_cast<std::uint32_t>(bits);
  std::memcpy(&single, &low, sizeof single);

  const int expDigits = (shape & 3) == 3 ? 0 : (shape & 3) + 1;  // 0 (default), 1, 2 or 3
  const int scale = (shape >> 2) & 1;
  checkDigits(std::fabs(value), count);
  checkDigits(std::fabs(single), count);
  checkFields(value, w, d, expDigits == 1 ? 0 : expDigits, scale);
  checkFields(single, w, d, expDigits == 1 ? 0 : expDigits, scale);

  if (std::isfinite(value)) {
    char out[gw::fields::kFreeDoubleWidth];
    gw::fields::freeDouble(out, value);
    expect(std::string(out, sizeof out) == plainFree(gw::fields::kFreeDoubleWidth, 15, 3, value),
           "a free-form double differs");
  }
  if (std::isfinite(single)) {
    char out[gw::fields::kFreeSingleWidth];
    gw::fields::freeSingle(out, single);
    expect(std::string(out, sizeof out) == plainFree(gw::fields::kFreeSingleWidth, 7, 2, single),
           "a free-form 32-bit real differs");
  }
  return 0;
}
