#include "line_input.hpp"

#include <charconv>
#include <cstring>

#include "fault.hpp"
#include "platform.hpp"

namespace gw {

namespace {
constexpr std::size_t kChunk = 1 << 16;
// The pending part of a line is cut before it passes kKeptLength + 1 bytes, so
// after moving it to the front the buffer always has room for more.
static_assert(kChunk > 2 * (LineInput::kKeptLength + 1));
}

LineInput::LineInput(int fd, std::string name, int unit, bool owned)
    : fd_(fd), owned_(owned), name_(std::move(name)), unit_(unit), buf_(kChunk) {}

LineInput::~LineInput() {
  if (owned_) platform::closeFile(fd_);
}

std::unique_ptr<LineInput> LineInput::openFile(const std::string& name, int unit) {
  int fd = platform::openFile(name, platform::Access::Read);
  if (fd < 0) {
    throw openFault(unit, name, true);
  }
  return std::make_unique<LineInput>(fd, name, unit, true);
}

bool LineInput::fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  std::ptrdiff_t n = platform::readSome(fd_, buf_.data() + end_, buf_.size() - end_);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(n);
  return true;
}

std::optional<std::string_view> LineInput::nextLine() {
  if (beforeRead_) beforeRead_();
  lineCut_ = false;
  std::optional<std::string_view> line = takeLine();
  lastLine_ = line.value_or(std::string_view());
  if (line) ++lines_;
  return line;
}

std::optional<std::string_view> LineInput::takeLine() {
  // The length of a line without its CR.
  auto content = [](const char* start, std::size_t len) {
    return len > 0 && start[len - 1] == '\r' ? len - 1 : len;
  };
  std::size_t scanFrom = begin_;
  for (;;) {
    const char* start = buf_.data() + begin_;
    const void* nl = std::memchr(buf_.data() + scanFrom, '\n', end_ - scanFrom);
    if (nl != nullptr) {
      std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
      std::size_t kept = content(start, len);
      if (kept > kKeptLength) return cutLine();
      begin_ += len + 1;
      return std::string_view(start, kept);
    }
    std::size_t pending = end_ - begin_;
    if (pending > kKeptLength + 1) return cutLine();
    if (!fill()) {
      if (end_ == begin_) return std::nullopt;
      // A last line without its line end.
      start = buf_.data() + begin_;
      std::size_t kept = content(start, end_ - begin_);
      if (kept > kKeptLength) return cutLine();
      begin_ = end_;
      return std::string_view(start, kept);
    }
    scanFrom = begin_ + pending;
  }
}

std::string_view LineInput::cutLine() {
  kept_.assign(buf_.data() + begin_, kKeptLength);
  lineCut_ = true;
  begin_ += kKeptLength;
  for (;;) {
    const void* nl = std::memchr(buf_.data() + begin_, '\n', end_ - begin_);
    if (nl != nullptr) {
      begin_ = static_cast<std::size_t>(static_cast<const char*>(nl) - buf_.data()) + 1;
      break;
    }
    begin_ = end_;
    if (!fill()) break;
  }
  return kept_;
}

std::string_view LineInput::requireLine() {
  auto line = nextLine();
  if (!line) endOfFileFault();
  return *line;
}

void LineInput::rewind() {
  platform::rewindFile(fd_);
  begin_ = end_ = 0;
  eof_ = false;
  lines_ = 0;
  lastLine_ = {};
}

void LineInput::endOfFileFault() const { throw Fault(FaultKind::EndOfFile, unit_, name_); }
void LineInput::conversionFault() const { throw Fault(FaultKind::Conversion, unit_, name_); }

bool parseFreeInteger(std::string_view token, std::int32_t& value) {
  // One optional sign, then digits only ("+-5" is no number).
  const std::size_t sign = !token.empty() && (token.front() == '+' || token.front() == '-') ? 1 : 0;
  if (token.size() == sign || token[sign] < '0' || token[sign] > '9') return false;
  if (token.front() == '+') token.remove_prefix(1);
  auto res = std::from_chars(token.data(), token.data() + token.size(), value);
  return res.ec == std::errc() && res.ptr == token.data() + token.size();
}

bool parseFreeDouble(std::string_view token, double& value) {
  // Accepts [sign] digits [. digits] [exponent], the exponent being a letter
  // E, D or Q with an optional sign and digits, or a sign and digits alone.
  std::string text;
  std::size_t i = 0;
  auto digitsAt = [&](std::size_t& j) {
    std::size_t from = j;
    while (j < token.size() && token[j] >= '0' && token[j] <= '9') text += token[j++];
    return j - from;
  };
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
    if (token[i] == '-') text += '-';
    ++i;
  }
  std::size_t mantissa = digitsAt(i);
  if (i < token.size() && token[i] == '.') {
    text += '.';
    ++i;
    mantissa += digitsAt(i);
  }
  if (mantissa == 0) return false;
  if (i < token.size()) {
    char c = token[i];
    bool letter = c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q';
    if (!letter && c != '+' && c != '-') return false;
    if (letter) ++i;
    text += 'e';
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) text += token[i++];
    if (digitsAt(i) == 0) return false;
  }
  if (i != token.size()) return false;
  auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

void readFree(LineInput& in, std::initializer_list<FreeTarget> targets) {
  auto target = targets.begin();
  while (target != targets.end()) {
    std::string_view line = in.requireLine();
    std::size_t i = 0;
    auto skipBlanks = [&] {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    };
    for (;;) {
      skipBlanks();
      if (i >= line.size()) {
        // Values go on on the next line, unless this one was cut.
        if (in.lineCut()) throw Fault(FaultKind::RecordTooLong, in.unit(), in.name());
        break;
      }
      char c = line[i];
      if (c == '/') return;
      if (c == ',') {  // an empty value leaves its target unchanged
        ++i;
        if (++target == targets.end()) return;
        continue;
      }
      std::size_t from = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '/') ++i;
      // A value running into the cut end of an over-long line may go on beyond it.
      if (i >= line.size() && in.lineCut()) throw Fault(FaultKind::RecordTooLong, in.unit(), in.name());
      std::string_view token = line.substr(from, i - from);
      bool ok = std::visit(
          [&](auto* p) {
            if constexpr (std::is_same_v<decltype(p), std::int32_t*>) return parseFreeInteger(token, *p);
            else return parseFreeDouble(token, *p);
          },
          *target);
      if (!ok) in.conversionFault();
      skipBlanks();
      if (i < line.size() && line[i] == ',') ++i;
      if (++target == targets.end()) return;
    }
  }
}

std::string readText(LineInput& in, std::size_t width) {
  std::string_view line = in.requireLine();
  std::string text(line.substr(0, width));
  text.resize(width, ' ');
  return text;
}

bool parseIntegerField(std::string_view field, std::int32_t& value) {
  long long v = 0;
  bool negative = false;
  bool signSeen = false;
  bool digitSeen = false;
  for (char c : field) {
    if (c == ' ' || c == '\t') continue;
    if ((c == '+' || c == '-') && !signSeen && !digitSeen) {
      signSeen = true;
      negative = c == '-';
      continue;
    }
    if (c < '0' || c > '9') return false;
    digitSeen = true;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (signSeen && !digitSeen) return false;
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

void readIntegerFields(LineInput& in, int width, std::span<std::int32_t> values) {
  std::string_view line = in.requireLine();
  std::size_t w = static_cast<std::size_t>(width);
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::size_t at = k * w;
    std::string_view field = at < line.size() ? line.substr(at, w) : std::string_view();
    if (!parseIntegerField(field, values[k])) in.conversionFault();
  }
}

std::string quotedLine(std::string_view line) {
  constexpr std::size_t kShown = 60;
  std::string text = "'";
  for (char c : line.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  text += line.size() > kShown ? "...'" : "'";
  return text;
}

std::string fileNameFromField(std::string_view field) {
  std::string name(field.substr(0, kNameWidth));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

}  // namespace gw
