// Differential check of the edit-descriptor engine against the Fortran compiler's
// own formatted output. The driver generates cases (an edit-descriptor list and
// items), renders them with gw::Format or gw::FreeRecord, hands the same items as
// exact bits to the reference writer, and compares the two outputs byte for byte.
//
// Usage: edit_descriptor_diff --ref PROGRAM --set NAME [--cases N] [--rounds R]
//                             [--seed S] [--work DIR]
// Each round generates N new cases from its own seed. The environment variable
// GW_FORTRAN_SWEEP=R overrides the round count for long runs by hand.
//
// Deliberate differences from the reference, handled here:
// - Negative zero: we write no minus sign, the reference writes "-0.0000E+00".
//   The reference is given +0.0 wherever a case holds -0.0. (A negative value
//   that merely rounds to zero keeps its sign on both sides: "-0.000".)
// - Our F descriptor ignores the scale factor; the reference applies 1P to F
//   too. Lists with F after 1P give the reference an explicit 0P before the F
//   (and 1P again after it).
// - Free-form fields: the reference's G editing moves the largest values below
//   a power of ten into the next decade, so the form is chosen here from the
//   value rounded to 15 (or 7) significant digits, and the reference writes the
//   chosen form with F19.k,5X (F11.k,4X) or 1P,E24.15E3 (1P,E15.7E2).
// - nX: we write n blanks wherever it is met, also at the end of a record when
//   the items have run out; the reference only moves the position, so blanks
//   at the end of a record do not appear. The reference gets every nX as a
//   literal of n blanks.
// - Non-finite values follow our own rule and are never generated.
// Exact decimal ties round to even on both sides (0.125 in E10.2 is 0.12E+00,
// 2.5 in F4.0 is 2.), so ties are part of the sweep.
#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "format.hpp"
#include "free_form.hpp"
#include "text_out.hpp"

namespace {

using Kind = gw::Item::Kind;

struct Value {
  explicit Value(Kind k) : kind(k) {}
  Kind kind;
  long long i = 0;
  float f = 0;
  double d = 0;
  std::string s;
};

Value ofInt(long long v) {
  Value x{Kind::Integer};
  x.i = v;
  return x;
}
Value ofSingle(float v) {
  Value x{Kind::Single};
  x.f = v;
  return x;
}
Value ofDouble(double v) {
  Value x{Kind::Double};
  x.d = v;
  return x;
}
Value ofText(std::string v) {
  Value x{Kind::Text};
  x.s = std::move(v);
  return x;
}

struct Case {
  std::string ours;    // our list; empty for a free-form record
  std::string theirs;  // the reference's list
  std::vector<Value> items;
};

// splitmix64: small, fast and the same on every machine.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }
  bool chance(int percent) { return range(0, 99) < percent; }
  template <class T>
  const T& pick(const std::vector<T>& v) { return v[next() % v.size()]; }

 private:
  std::uint64_t s_;
};

// ---------------------------------------------------------------------------
// Values

template <class T>
T stepUlps(T v, int steps) {
  const T toward = steps < 0 ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
  for (int i = 0; i < std::abs(steps); ++i) v = std::nextafter(v, toward);
  return v;
}

template <class T>
T parse(const std::string& text) {
  if constexpr (sizeof(T) == 4) return std::strtof(text.c_str(), nullptr);
  else return std::strtod(text.c_str(), nullptr);
}

// Magnitudes from one of several families that stress decimal conversion;
// the caller adds the sign. T is float or double.
template <class T>
T magnitude(Rng& rng) {
  constexpr bool single = sizeof(T) == 4;
  constexpr int maxDigits = single ? 9 : 17;
  constexpr int minExp = single ? -46 : -324;
  constexpr int maxExp = single ? 38 : 308;
  switch (rng.range(0, 9)) {
    case 0:
    case 1: {  // any finite bit pattern
      for (;;) {
        T v;
        if constexpr (single) v = std::bit_cast<float>(static_cast<std::uint32_t>(rng.next()));
        else v = std::bit_cast<double>(rng.next());
        if (std::isfinite(v)) return std::fabs(v);
      }
    }
    case 2: {  // powers of ten and their neighbours
      T v = parse<T>("1e" + std::to_string(rng.range(minExp + 1, maxExp)));
      v = stepUlps(v, rng.range(-3, 3));
      return v;
    }
    case 3:
    case 4: {  // decimal rounding boundaries: d.ddd5, 9.9995 and their neighbours
      int n = rng.range(1, maxDigits);
      std::string digits;
      bool nines = rng.chance(35);
      for (int i = 0; i < n - 1; ++i) digits += nines ? '9' : static_cast<char>('0' + rng.range(0, 9));
      digits += '5';
      if (rng.chance(20)) digits += static_cast<char>('0' + rng.range(0, 9));
      if (digits[0] == '0') digits[0] = '1';
      int e = rng.chance(50) ? rng.range(-20, 20) : rng.range(minExp + 1, maxExp);
      T v = parse<T>("0." + digits + "e" + std::to_string(e));
      return stepUlps(v, rng.range(-2, 2));
    }
    case 5: {  // short binary fractions: exact decimal ties
      int bits = rng.range(1, single ? 24 : 53);
      std::uint64_t m = rng.next() & ((1ULL << bits) - 1);
      return static_cast<T>(std::ldexp(static_cast<double>(m | 1), rng.range(-40, 12)));
    }
    case 6: {  // very small and very large: subnormals, two- and three-digit exponents
      int e;
      switch (rng.range(0, 3)) {
        case 0: e = rng.range(minExp, minExp + 20); break;
        case 1: e = rng.range(maxExp - 12, maxExp); break;
        case 2: e = rng.range(-102, -96); break;
        default: e = rng.range(96, 102); break;
      }
      if (single && std::abs(e) > 40) e = e < 0 ? rng.range(-46, -36) : rng.range(30, 38);
      std::string text = std::to_string(rng.range(1, 9)) + "." + std::to_string(rng.next() % 100000000) + "e" +
                         std::to_string(e);
      T v = parse<T>(text);
      if (!std::isfinite(v)) v = std::numeric_limits<T>::max();
      return v;
    }
    case 7: {  // whole numbers
      int bits = rng.range(0, single ? 30 : 62);
      return static_cast<T>(rng.next() >> (63 - bits));
    }
    case 8: {  // ordinary magnitudes of measured data
      double mant = static_cast<double>(rng.next() >> 11) / 9007199254740992.0;
      return static_cast<T>((1 + 9 * mant) * std::pow(10.0, rng.range(-8, 8)));
    }
    default:
      return rng.chance(30) ? T(0) : static_cast<T>(rng.range(1, 1000)) / T(8);
  }
}

template <class T>
T real(Rng& rng) {
  T v = magnitude<T>(rng);
  return rng.chance(40) ? -v : v;
}

long long integer(Rng& rng) {
  long long v;
  switch (rng.range(0, 5)) {
    case 0: {  // powers of ten and their neighbours: the width limits of Iw
      long long p = 1;
      for (int k = rng.range(0, 18); k > 0; --k) p *= 10;
      v = p + rng.range(-1, 1);
      break;
    }
    case 1:
      v = rng.chance(50) ? std::numeric_limits<long long>::max() : std::numeric_limits<long long>::min();
      return v;
    default:
      v = static_cast<long long>(rng.next() >> rng.range(1, 63));
  }
  return rng.chance(40) ? -v : v;
}

std::string text(Rng& rng, int maxLength) {
  std::string s(static_cast<std::size_t>(rng.range(0, maxLength)), ' ');
  for (char& c : s) c = static_cast<char>(rng.range(32, 126));
  return s;
}

Value itemOf(char kind, Rng& rng) {
  switch (kind) {
    case 'I': return ofInt(integer(rng));
    case 'S': return ofSingle(real<float>(rng));
    case 'D': return ofDouble(real<double>(rng));
    default: return ofText(text(rng, 12));
  }
}

// ---------------------------------------------------------------------------
// Case sets

struct Template {
  std::string ours;
  std::string theirs;  // empty: the same as ours
  std::string prefix;  // kinds of the items before the part that repeats
  std::string cycle;   // kinds of the items from then on, in a cycle
  int maxItems;
};

// The list with every nX written as a literal of n blanks (see the file comment).
std::string blanksAsLiterals(const std::string& list) {
  std::string out;
  bool inLiteral = false;
  std::size_t digitsAt = std::string::npos;  // start of the number before an X
  for (std::size_t i = 0; i < list.size(); ++i) {
    char c = list[i];
    if (c == '\'') inLiteral = !inLiteral;
    if (!inLiteral && (c == 'X' || c == 'x') && digitsAt != std::string::npos) {
      int n = std::stoi(list.substr(digitsAt, i - digitsAt));
      out.erase(out.size() - (i - digitsAt));
      out += "'" + std::string(static_cast<std::size_t>(n), ' ') + "'";
      digitsAt = std::string::npos;
      continue;
    }
    bool digit = !inLiteral && c >= '0' && c <= '9';
    if (digit && digitsAt == std::string::npos && (i == 0 || std::strchr(",(/", list[i - 1]) != nullptr))
      digitsAt = i;
    else if (!digit)
      digitsAt = std::string::npos;
    out += c;
  }
  return out;
}

void fromTemplates(const std::vector<Template>& templates, Rng& rng, int count, std::vector<Case>& out) {
  for (int c = 0; c < count; ++c) {
    const Template& t = rng.pick(templates);
    Case k{t.ours, blanksAsLiterals(t.theirs.empty() ? t.ours : t.theirs), {}};
    int n = rng.range(0, t.maxItems);
    if (rng.chance(30)) n = std::min<int>(n, static_cast<int>(t.prefix.size() + t.cycle.size()));
    for (int j = 0; j < n; ++j) {
      std::size_t at = static_cast<std::size_t>(j);
      char kind = at < t.prefix.size() ? t.prefix[at] : t.cycle[(at - t.prefix.size()) % t.cycle.size()];
      k.items.push_back(itemOf(kind, rng));
    }
    out.push_back(std::move(k));
  }
}

std::vector<Template> singleKind(const std::vector<std::string>& lists, const std::string& kind, int maxItems) {
  std::vector<Template> t;
  for (const auto& l : lists) t.push_back(Template{l, "", "", kind, maxItems});
  return t;
}

const std::vector<std::string> kExponentLists = {
    "(E12.4)",        "(1P,E12.4)",    "(E14.5)",       "(1P,E14.5)",     "(E15.7)",    "(E16.7)",
    "(1P,E12.5)",     "(1P,E13.6)",    "(0P,E12.4)",    "(E9.2)",         "(E10.3)",    "(E11.4)",
    "(1P,E10.4)",     "(1P,E8.1)",     "(E7.1)",        "(1P,E9.1)",      "(E6.1)",     "(E24.15E3)",
    "(1P,E24.15E3)",  "(1P,E15.7E2)",  "(E12.4E1)",     "(1P,E14.4E4)",   "(E30.20)",   "(1P,E45.35)",
    "(1P,E12.4E3)",   "(E10.1E3)",     "(3(1X,1P,E13.6))"};

const std::vector<std::string> kFixedLists = {
    "(F10.3)", "(F8.0)",  "(F12.5)", "(F6.2)",  "(F4.0)",   "(F3.1)",   "(F2.0)",   "(F1.0)",
    "(F5.1)",  "(F4.3)",  "(F5.3)",  "(F25.10)", "(F40.20)", "(F19.15)", "(F19.0)",  "(F11.7)",
    "(F8.2)",  "(F20.1)", "(2(1X,F9.4))"};

void integerCases(Rng& rng, int count, std::vector<Case>& out) {
  auto t = singleKind({"(I1)", "(I2)", "(I5)", "(I8)", "(I12)", "(I19)", "(I20)", "(I25)", "(3I7)",
                       "(I5,2(',',I5))", "(2(1X,I3))"},
                      "I", 12);
  fromTemplates(t, rng, count, out);
}

void exponentCases(Rng& rng, int count, const std::string& kind, std::vector<Case>& out) {
  fromTemplates(singleKind(kExponentLists, kind, 8), rng, count, out);
}

void fixedCases(Rng& rng, int count, std::vector<Case>& out) {
  auto t = singleKind(kFixedLists, "D", 8);
  for (const auto& l : kFixedLists) t.push_back(Template{l, "", "", "S", 8});
  t.push_back(Template{"(F10.3)", "", "", "DS", 8});
  // Every digit of the largest doubles.
  t.push_back(Template{"(F330.0)", "", "", "D", 1});
  t.push_back(Template{"(F360.40)", "", "", "D", 1});
  fromTemplates(t, rng, count, out);
}

void listCases(Rng& rng, int count, std::vector<Case>& out) {
  const std::vector<Template> t = {
      {"(I5,2(',',I5),6(',',1P,E12.4))", "", "III", "D", 30},
      {"(200(',',I8))", "", "", "I", 3},
      {"(200(',',I8))", "", "", "I", 450},
      {"(E16.7,200(',',1P,E14.5))", "", "D", "D", 450},
      {"(E16.7,2(',',1P,E14.5))", "", "D", "D", 9},
      {"(1P,E10.3,(E10.3))", "", "D", "D", 7},
      {"(1P,E12.4,F8.3,E12.4)", "(1P,E12.4,0P,F8.3,1P,E12.4)", "", "DDD", 9},
      {"(I3,(1P,E12.4),F6.2)", "(I3,(1P,E12.4),0P,F6.2)", "I", "DD", 8},
      {"(1P,2E12.4,(0P,E12.4,1P,E10.2))", "", "DD", "DD", 8},
      {"(2(I3,2X),(F8.2,A4))", "", "II", "DT", 10},
      {"(A,I5/1X,E12.4)", "", "", "TID", 9},
      {"(I5,/)", "", "", "I", 4},
      {"(/,I5)", "", "", "I", 4},
      {"(I5//)", "", "", "I", 3},
      {"(3(I2,'-'),'end')", "", "", "I", 9},
      {"(I3,2(I2,3(',',I1)),'!')", "", "I", "IIIIIIII", 20},
      {"(2X,3(I4,2X,A,1X),E10.3)", "", "", "ITITITD", 15},
      {"(I2,3I4)", "", "", "IIII", 10},
      {"(20A4)", "", "", "T", 20},
      {"(3A4)", "", "", "T", 7},
      {"(A1,A8,A)", "", "", "TTT", 6},
      {"('x''y',A5,'|',3X,A)", "", "", "TT", 4},
      {"(1X,A,1P,E12.4)", "", "", "TD", 4},
      {"(5(1X,1P,E13.6))", "", "", "S", 12},
      {"(I8,3(',',1P,E15.7),',',F10.3)", "(I8,3(',',1P,E15.7),',',0P,F10.3)", "I", "SSSS", 9},
      {"('step',I1,E15.7)", "", "", "ID", 4},
  };
  fromTemplates(t, rng, count, out);
}

// Exponent of the value rounded to `sig` significant digits, from the C library.
int roundedExponent(double magnitude, int sig) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", sig - 1, magnitude);
  return std::atoi(std::strchr(buf, 'e') + 1);
}

// The reference list for one free-form field: the fixed form when the value
// rounded to `sig` digits lies in [0.1, 10^sig), else the 1P exponent form.
std::string freeField(double value, int sig, int width, int expDigits) {
  double m = std::fabs(value);
  if (m != 0) {
    int e = roundedExponent(m, sig);
    if (e >= -1 && e < sig) {
      int gap = expDigits + 2;
      return "0P,F" + std::to_string(width - gap) + "." + std::to_string(sig - (e + 1)) + ",'" +
             std::string(static_cast<std::size_t>(gap), ' ') + "'";
    }
  }
  return "1P,E" + std::to_string(width) + "." + std::to_string(sig) + "E" + std::to_string(expDigits);
}

void freeFormCases(Rng& rng, int count, std::vector<Case>& out) {
  for (int c = 0; c < count; ++c) {
    Case k{"", "", {}};
    std::string list;
    int column = 0;
    bool lastText = false;
    int n = rng.range(1, 3);
    for (int j = 0; j < n; ++j) {
      int r = rng.range(0, 99);
      char kind = r < 55 ? 'D' : r < 85 ? 'S' : r < 93 ? 'I' : 'T';
      Value v = itemOf(kind, rng);
      std::string field;
      int width;
      switch (kind) {
        case 'D': field = freeField(v.d, 15, 24, 3), width = 24; break;
        case 'S': field = freeField(v.f, 7, 15, 2), width = 15; break;
        case 'I': field = "I12", width = 12; break;
        default:
          field = lastText ? "A" : "' ',A";
          width = static_cast<int>(v.s.size()) + (lastText ? 0 : 1);
      }
      // Records stay within the 80-column line: the line break is our own rule.
      if (column + width > gw::FreeRecord::kLineLength) break;
      column += width;
      lastText = kind == 'T';
      list += (list.empty() ? "" : ",") + field;
      k.items.push_back(std::move(v));
    }
    k.theirs = "(" + list + ")";
    out.push_back(std::move(k));
  }
}

// Values known to be hard, written with both signs under every list of a set
// in the first round: carries into the next decade, exact ties, the edges of
// the two- and three-digit exponents, of the free-form fixed range, and of
// the representable range.
const std::vector<double> kPinned = {
    0.0,     -0.0,         9.99995,   9.99994999, 0.99995e5,  99995.0,   0.125,       0.375,   2.5,
    3.5,     0.5,          1.5,       0.45,       0.05,       0.95,      0.0499999,   12345.678,
    1e99,    9.99995e99,   1e100,     1e-99,      9.99995e-100, 1e-100,  1e-101,      5e-324,
    2.2250738585072014e-308, 1.7976931348623157e308, 0.1,   0.09999999999999999, 0.0999999999999,
    1e15,    999999999999999.9, 999999999999999.4, 9.999999999999995, 9.9999999999999991,
    86400.0, 1e-5,         1e7,       9999999.5,  9999999.4,  9.9999995, 0.099999995, 1e-45,
    1.17549435e-38, 3.4028235e38};

Value pinnedValue(char kind, double v) {
  if (kind == 'S') return ofSingle(static_cast<float>(v));
  return ofDouble(v);
}

void pinnedCases(const std::vector<std::string>& lists, char kind, std::vector<Case>& out) {
  for (const auto& list : lists) {
    Case c{list, blanksAsLiterals(list), {}};
    for (double v : kPinned) {
      if (kind == 'S' && !std::isfinite(static_cast<float>(v))) continue;
      c.items.push_back(pinnedValue(kind, v));
      c.items.push_back(pinnedValue(kind, -v));
    }
    out.push_back(std::move(c));
  }
}

void pinnedFreeCases(std::vector<Case>& out) {
  for (double v : kPinned) {
    for (double signed_ : {v, -v}) {
      out.push_back(Case{"", "(" + freeField(signed_, 15, 24, 3) + ")", {ofDouble(signed_)}});
      auto f = static_cast<float>(signed_);
      if (std::isfinite(f)) out.push_back(Case{"", "(" + freeField(f, 7, 15, 2) + ")", {ofSingle(f)}});
    }
  }
}

bool generate(const std::string& set, Rng& rng, int count, bool first, std::vector<Case>& out) {
  if (set == "integers") {
    integerCases(rng, count, out);
  } else if (set == "exponent_double") {
    if (first) pinnedCases(kExponentLists, 'D', out);
    exponentCases(rng, count, "D", out);
  } else if (set == "exponent_single") {
    if (first) pinnedCases(kExponentLists, 'S', out);
    exponentCases(rng, count, "S", out);
  } else if (set == "fixed") {
    if (first) {
      pinnedCases(kFixedLists, 'D', out);
      pinnedCases(kFixedLists, 'S', out);
    }
    fixedCases(rng, count, out);
  } else if (set == "lists") {
    listCases(rng, count, out);
  } else if (set == "free_form") {
    if (first) pinnedFreeCases(out);
    freeFormCases(rng, count, out);
  } else {
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Both renderings

template <class T>
void putRaw(std::string& buf, const T& v) {
  buf.append(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string caseFile(const std::vector<Case>& cases) {
  std::string buf;
  for (const Case& c : cases) {
    putRaw(buf, static_cast<std::int32_t>(c.items.size()));
    putRaw(buf, static_cast<std::int32_t>(c.theirs.size()));
    buf += c.theirs;
    for (const Value& v : c.items) {
      switch (v.kind) {
        case Kind::Integer:
          putRaw(buf, std::int32_t{1});
          putRaw(buf, static_cast<std::int64_t>(v.i));
          break;
        case Kind::Single:  // negative zero goes as +0 (see the file comment)
          putRaw(buf, std::int32_t{2});
          putRaw(buf, v.f == 0 ? 0.0f : v.f);
          break;
        case Kind::Double:
          putRaw(buf, std::int32_t{3});
          putRaw(buf, v.d == 0 ? 0.0 : v.d);
          break;
        case Kind::Text:
          putRaw(buf, std::int32_t{4});
          putRaw(buf, static_cast<std::int32_t>(v.s.size()));
          buf += v.s;
          break;
      }
    }
  }
  putRaw(buf, std::int32_t{-1});
  return buf;
}

gw::Item toItem(const Value& v) {
  switch (v.kind) {
    case Kind::Integer: return gw::Item(v.i);
    case Kind::Single: return gw::Item(v.f);
    case Kind::Double: return gw::Item(v.d);
    default: return gw::Item(std::string_view(v.s));
  }
}

// Our output of every case, each preceded by an "@@" record, with LF record ends
// as the reference writes them.
std::string ourRendering(const std::vector<Case>& cases) {
  std::map<std::string, gw::Format> formats;
  gw::TextOut out;
  std::vector<gw::Item> items;
  for (const Case& c : cases) {
    out.put("@@");
    out.endRecord();
    if (c.ours.empty()) {
      gw::FreeRecord record(out);
      for (const Value& v : c.items) {
        switch (v.kind) {
          case Kind::Integer: record << v.i; break;
          case Kind::Single: record << v.f; break;
          case Kind::Double: record << v.d; break;
          case Kind::Text: record << std::string_view(v.s); break;
        }
      }
      record.end();
      continue;
    }
    auto it = formats.find(c.ours);
    if (it == formats.end()) it = formats.try_emplace(c.ours, c.ours).first;
    items.clear();
    for (const Value& v : c.items) items.push_back(toItem(v));
    it->second.write(out, items);
  }
  out.flush();
  const std::string& crlf = out.captured();
  std::string lf;
  lf.reserve(crlf.size());
  for (std::size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') continue;
    lf += crlf[i];
  }
  return lf;
}

// Splits an output into the bodies that follow each "@@" record.
std::vector<std::string_view> caseBodies(std::string_view all) {
  std::vector<std::string_view> bodies;
  std::size_t at = 0;
  std::size_t start = std::string_view::npos;
  while (at < all.size()) {
    std::size_t eol = all.find('\n', at);
    if (eol == std::string_view::npos) eol = all.size();
    if (all.substr(at, eol - at) == "@@") {
      if (start != std::string_view::npos) bodies.push_back(all.substr(start, at - start));
      start = eol + 1;
    }
    at = eol + 1;
  }
  if (start != std::string_view::npos) bodies.push_back(all.substr(start, std::min(all.size(), at) - start));
  return bodies;
}

std::string describe(const Value& v) {
  char buf[128];
  switch (v.kind) {
    case Kind::Integer: std::snprintf(buf, sizeof buf, "integer %lld", v.i); break;
    case Kind::Single:
      std::snprintf(buf, sizeof buf, "real %.9g (bits %08" PRIx32 ")", static_cast<double>(v.f),
                    std::bit_cast<std::uint32_t>(v.f));
      break;
    case Kind::Double:
      std::snprintf(buf, sizeof buf, "double %.17g (bits %016" PRIx64 ")", v.d, std::bit_cast<std::uint64_t>(v.d));
      break;
    case Kind::Text: return "text '" + v.s + "'";
  }
  return buf;
}

void report(std::size_t index, const Case& c, std::string_view ours, std::string_view theirs) {
  std::cout << "MISMATCH in case " << index << ": ours " << (c.ours.empty() ? "free-form record" : c.ours)
            << ", reference " << c.theirs << "\n";
  for (std::size_t j = 0; j < c.items.size() && j < 12; ++j) std::cout << "  item " << j + 1 << ": " << describe(c.items[j]) << "\n";
  if (c.items.size() > 12) std::cout << "  ... " << c.items.size() << " items\n";
  std::size_t line = 1, a = 0, b = 0;
  for (;;) {
    std::size_t ea = ours.find('\n', a), eb = theirs.find('\n', b);
    std::string_view la = ours.substr(a, ea == std::string_view::npos ? std::string_view::npos : ea - a);
    std::string_view lb = theirs.substr(b, eb == std::string_view::npos ? std::string_view::npos : eb - b);
    if (la != lb || ea == std::string_view::npos || eb == std::string_view::npos) {
      std::cout << "  record " << line << "\n    ours:      |" << la << "|\n    reference: |" << lb << "|\n";
      return;
    }
    a = ea + 1;
    b = eb + 1;
    ++line;
  }
}

// FNV-1a: each set draws its own values, the same on every machine.
std::uint64_t nameHash(const std::string& name) {
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
  return h;
}

bool readFile(const std::string& name, std::string& content) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  content = s.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string ref, set, work = ".";
  long cases = 50000, rounds = 1;
  std::uint64_t seed = 20240611;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = argv[i], val = argv[i + 1];
    if (key == "--ref") ref = val;
    else if (key == "--set") set = val;
    else if (key == "--cases") cases = std::stol(val);
    else if (key == "--rounds") rounds = std::stol(val);
    else if (key == "--seed") seed = std::stoull(val);
    else if (key == "--work") work = val;
    else {
      std::cerr << "unknown option " << key << "\n";
      return 2;
    }
  }
  if (const char* sweep = std::getenv("GW_FORTRAN_SWEEP"); sweep != nullptr && *sweep != '\0') rounds = std::atol(sweep);
  if (ref.empty() || set.empty() || cases < 1 || rounds < 1) {
    std::cerr << "usage: edit_descriptor_diff --ref PROGRAM --set NAME [--cases N] [--rounds R] [--seed S] [--work DIR]\n";
    return 2;
  }

  const std::string caseName = work + "/" + set + ".cases";
  const std::string refName = work + "/" + set + ".reference.txt";
  unsigned long long values = 0, compared = 0, mismatches = 0;
  for (long round = 0; round < rounds; ++round) {
    Rng rng(seed + 0x1000003ULL * static_cast<std::uint64_t>(round) + nameHash(set));
    std::vector<Case> batch;
    batch.reserve(static_cast<std::size_t>(cases));
    if (!generate(set, rng, static_cast<int>(cases), round == 0, batch)) {
      std::cerr << "unknown set " << set << "\n";
      return 2;
    }
    {
      std::ofstream f(caseName, std::ios::binary | std::ios::trunc);
      std::string bytes = caseFile(batch);
      f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      if (!f) {
        std::cerr << "cannot write " << caseName << "\n";
        return 2;
      }
    }
    std::string command = "'" + ref + "' '" + caseName + "' '" + refName + "'";
    if (std::system(command.c_str()) != 0) {
      std::cerr << "reference writer failed: " << command << "\n";
      return 2;
    }
    std::string theirs;
    if (!readFile(refName, theirs)) {
      std::cerr << "cannot read " << refName << "\n";
      return 2;
    }
    std::string ours = ourRendering(batch);
    auto ourBodies = caseBodies(ours);
    auto theirBodies = caseBodies(theirs);
    if (ourBodies.size() != batch.size() || theirBodies.size() != batch.size()) {
      std::cerr << "case count differs: " << batch.size() << " cases, ours " << ourBodies.size()
                << ", reference " << theirBodies.size() << "\n";
      return 1;
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
      values += batch[i].items.size();
      ++compared;
      if (ourBodies[i] == theirBodies[i]) continue;
      if (++mismatches <= 20) report(i, batch[i], ourBodies[i], theirBodies[i]);
    }
  }
  std::remove(caseName.c_str());
  if (mismatches == 0) std::remove(refName.c_str());
  std::cout << "set " << set << ": " << compared << " cases, " << values << " values, " << rounds << " round(s), "
            << mismatches << " mismatching case(s)\n";
  return mismatches == 0 ? 0 : 1;
}
