// Fuzz target: formatted input, the (A) reads of names and the (nIw) reads of
// fixed-column integers (graph data files). Any bytes are read by a mix of
// layouts chosen by the first bytes, and every value is checked against a plain
// reading of the same line: lines end at LF (a CR before it dropped), a line is
// kept up to LineInput::kKeptLength characters, a field of w columns ignores its
// blanks, reads as 0 when blank, and otherwise is an optional sign and digits
// within the 32-bit range.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "line_input.hpp"

namespace {

using gw::fuzz::expect;

std::vector<std::string_view> plainLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line.substr(0, gw::LineInput::kKeptLength));
  }
  return lines;
}

std::optional<std::int32_t> plainField(std::string_view field) {
  std::string packed;
  for (char c : field) {
    if (c != ' ' && c != '\t') packed += c;
  }
  if (packed.empty()) return 0;
  std::size_t i = 0;
  bool negative = false;
  if (packed[0] == '+' || packed[0] == '-') negative = packed[i++] == '-';
  if (i == packed.size()) return std::nullopt;
  long long v = 0;
  for (; i < packed.size(); ++i) {
    if (packed[i] < '0' || packed[i] > '9') return std::nullopt;
    v = v * 10 + (packed[i] - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

struct Layout {
  int width;
  int count;
};
constexpr Layout kLayouts[] = {{5, 6}, {5, 1}, {7, 10}, {1, 3}};
constexpr std::size_t kTextWidths[] = {20, 1, 80};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gw::fuzz::Bytes bytes(data, size);
  std::uint8_t plan[4] = {bytes.take(), bytes.take(), bytes.take(), bytes.take()};
  std::string_view text = bytes.rest();
  const std::vector<std::string_view> lines = plainLines(text);

  gw::fuzz::MemoryFile file(text);
  gw::LineInput in(file.fd(), "GRAPH.DAT", 12, false);
  for (std::size_t k = 0; k <= lines.size() && k < 200; ++k) {
    const int op = plan[k % 4] % 7;
    plan[k % 4] = static_cast<std::uint8_t>(plan[k % 4] / 7 + plan[(k + 1) % 4]);
    try {
      if (op < 3) {
        std::size_t width = kTextWidths[op];
        std::string got = gw::readText(in, width);
        expect(k < lines.size(), "an (A) read past the last line did not fault");
        std::string want(lines[k].substr(0, width));
        want.resize(width, ' ');
        expect(got == want, "an (A) read differs from the line");
      } else {
        const Layout layout = kLayouts[op - 3];
        std::int32_t values[10];
        std::span<std::int32_t> target(values, static_cast<std::size_t>(layout.count));
        bool faulted = false;
        try {
          gw::readIntegerFields(in, layout.width, target);
        } catch (const gw::Fault& fault) {
          if (fault.kind() != gw::FaultKind::Conversion) throw;
          faulted = true;
        }
        expect(k < lines.size(), "an (nIw) read past the last line did not fault");
        bool allNumbers = true;
        for (std::size_t f = 0; f < target.size(); ++f) {
          std::size_t at = f * static_cast<std::size_t>(layout.width);
          std::string_view field = at < lines[k].size() ? lines[k].substr(at, static_cast<std::size_t>(layout.width))
                                                         : std::string_view();
          std::optional<std::int32_t> want = plainField(field);
          if (!want) {
            allNumbers = false;
            break;
          }
          if (!faulted) expect(values[f] == *want, "an (nIw) field was read as another value");
        }
        expect(faulted == !allNumbers, "an (nIw) read faulted wrongly");
      }
    } catch (const gw::Fault& fault) {
      expect(fault.unit() == 12 && fault.file() == "GRAPH.DAT", "a fault names the wrong file");
      expect(fault.kind() == gw::FaultKind::EndOfFile && k == lines.size(), "a read faulted before the last line");
      return 0;
    }
  }
  return 0;
}
