// Fuzz target: free-form input (console answers, point files). Any bytes are
// read by a mix of free-form reads of integers and doubles, (A) reads and line
// reads chosen by the first bytes, as the dialogues do. Every blank- or
// comma-separated token is also checked against a plain reading of the number
// grammar: an optional sign and digits for an integer; digits with an optional
// point and an exponent (letter E, D or Q and/or a sign, then digits) for a
// double.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_support.hpp"
#include "line_input.hpp"

namespace {

using gw::fuzz::expect;

std::optional<std::int32_t> plainInteger(std::string_view t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return std::nullopt;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

// The token in the C library's spelling, when it follows the grammar.
std::optional<std::string> plainDouble(std::string_view t) {
  std::string c;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  if (i < t.size() && t[i] == '.') {
    c += t[i++];
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size()) {
    char e = t[i];
    bool letter = e == 'e' || e == 'E' || e == 'd' || e == 'D' || e == 'q' || e == 'Q';
    if (!letter && e != '+' && e != '-') return std::nullopt;
    if (letter) ++i;
    c += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
    std::size_t exponent = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++exponent;
    if (exponent == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  return c;
}

void checkTokens(std::string_view text) {
  std::size_t i = 0;
  for (int count = 0; count < 256 && i < text.size(); ++count) {
    while (i < text.size() && std::string_view(" \t,/\r\n").find(text[i]) != std::string_view::npos) ++i;
    std::size_t from = i;
    while (i < text.size() && std::string_view(" \t,/\r\n").find(text[i]) == std::string_view::npos) ++i;
    std::string_view token = text.substr(from, std::min<std::size_t>(i - from, 64));
    if (token.empty()) break;

    std::int32_t n = 0;
    bool taken = gw::parseFreeInteger(token, n);
    std::optional<std::int32_t> expected = plainInteger(token);
    expect(taken == expected.has_value(), "an integer token was accepted or refused wrongly");
    expect(!taken || n == *expected, "an integer token was read as another value");

    double x = 0;
    taken = gw::parseFreeDouble(token, x);
    std::optional<std::string> spelled = plainDouble(token);
    if (taken) {
      expect(spelled.has_value(), "a token outside the number grammar was read as a double");
      errno = 0;
      double y = std::strtod(spelled->c_str(), nullptr);
      expect(x == y, "a double token was read as another value");
    } else if (spelled) {
      // Only a value beyond the range of doubles may be refused.
      errno = 0;
      std::strtod(spelled->c_str(), nullptr);
      expect(errno == ERANGE, "a double token within range was refused");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gw::fuzz::Bytes bytes(data, size);
  std::uint8_t plan[4] = {bytes.take(), bytes.take(), bytes.take(), bytes.take()};
  std::string_view text = bytes.rest();
  checkTokens(text);

  gw::fuzz::MemoryFile file(text);
  gw::LineInput in(file.fd(), "POINTS.DAT", 11, false);
  try {
    for (int k = 0; k < 64; ++k) {
      switch (plan[k % 4] % 5) {
        case 0: {
          std::int32_t a = 7;
          gw::readFree(in, {&a});
          break;
        }
        case 1: {
          double x = 0, y = 0;
          gw::readFree(in, {&x, &y});
          break;
        }
        case 2: {
          std::int32_t a = 0, b = 0;
          double x = 0;
          gw::readFree(in, {&a, &x, &b});
          break;
        }
        case 3:
          expect(gw::readText(in, gw::kNameWidth).size() == gw::kNameWidth, "an (A) read is not 20 characters");
          break;
        default: {
          auto line = in.nextLine();
          if (!line) return 0;
          expect(line->size() <= gw::LineInput::kKeptLength, "a line longer than the kept length");
          break;
        }
      }
      plan[k % 4] = static_cast<std::uint8_t>(plan[k % 4] / 5 + plan[(k + 1) % 4]);
    }
  } catch (const gw::Fault& fault) {
    expect(fault.unit() == 11 && fault.file() == "POINTS.DAT", "a fault names the wrong file");
  }
  return 0;
}
