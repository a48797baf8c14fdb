#include "format.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "numeric_fields.hpp"

namespace gw {

std::array<Item, 20> titleWords(std::string_view title80) {
  std::array<Item, 20> words{Item(""), Item(""), Item(""), Item(""), Item(""), Item(""), Item(""),
                             Item(""), Item(""), Item(""), Item(""), Item(""), Item(""), Item(""),
                             Item(""), Item(""), Item(""), Item(""), Item(""), Item("")};
  for (std::size_t i = 0; i < 20; ++i) {
    std::size_t at = 4 * i;
    words[i] = Item(at < title80.size() ? title80.substr(at, 4) : std::string_view());
  }
  return words;
}

std::vector<Item>& Format::scratch() {
  thread_local std::vector<Item> items;
  return items;
}

class Format::Parser {
 public:
  Parser(Format& f, std::string_view text) : f_(f), text_(text) {}

  void parseList() {
    expect('(');
    parseItems(true);
    expect(')');
    skipBlanks();
    if (pos_ != text_.size()) fail("text after the closing parenthesis");
  }

 private:
  [[noreturn]] void fail(const char* what) const {
    throw std::logic_error("edit-descriptor list " + std::string(text_) + ": " + what + " at column " +
                           std::to_string(pos_ + 1));
  }
  void skipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  char peek() {
    skipBlanks();
    return pos_ < text_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_]))) : '\0';
  }
  void expect(char c) {
    if (peek() != c) fail("unexpected character");
    ++pos_;
  }
  bool atDigit() { return std::isdigit(static_cast<unsigned char>(peek())) != 0; }
  int number() {
    if (!atDigit()) fail("number expected");
    long v = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      v = v * 10 + (text_[pos_++] - '0');
      if (v > 30000) fail("number too large");
    }
    return static_cast<int>(v);
  }

  std::size_t emit(Instr in) {
    f_.prog_.push_back(in);
    return f_.prog_.size() - 1;
  }

  // Emits a data descriptor, wrapped in a group when it carries a repeat count.
  void emitRepeated(int repeat, Instr in) {
    if (repeat == 1) {
      emit(in);
      return;
    }
    std::size_t begin = emit(Instr{Op::Begin, 0, 0, 0, repeat, 0});
    emit(in);
    emit(Instr{Op::End, 0, 0, 0, static_cast<std::int32_t>(begin), 0});
  }

  void parseItems(bool topLevel) {
    if (peek() == ')') fail("empty group");
    for (;;) {
      Op last = parseItem(topLevel);
      char c = peek();
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == ')') return;
      // Commas may be left out around a slash and after a scale factor.
      if (c == '/' || last == Op::Slash || last == Op::Scale) continue;
      fail("comma expected");
    }
  }

  Op parseItem(bool topLevel) {
    char c = peek();
    if (c == '\'') {
      parseLiteral();
      return Op::Literal;
    }
    if (c == '/') {
      ++pos_;
      emit(Instr{Op::Slash});
      return Op::Slash;
    }
    bool counted = atDigit();
    int repeat = counted ? number() : 1;
    c = peek();
    if (c == '(') {
      if (repeat < 1) fail("repeat count below 1");
      ++pos_;
      std::size_t begin = emit(Instr{Op::Begin, 0, 0, 0, repeat, 0});
      if (topLevel) f_.reversion_ = begin;
      parseItems(false);
      expect(')');
      emit(Instr{Op::End, 0, 0, 0, static_cast<std::int32_t>(begin), 0});
      return Op::End;
    }
    ++pos_;
    switch (c) {
      case 'X':
        emit(Instr{Op::Blanks, static_cast<std::int16_t>(repeat)});
        return Op::Blanks;
      case 'P':
        if (!counted || repeat > 1) fail("only 0P and 1P are supported");
        emit(Instr{Op::Scale, static_cast<std::int16_t>(repeat)});
        return Op::Scale;
      case 'I': {
        int w = positive();
        emitRepeated(repeat, Instr{Op::Int, static_cast<std::int16_t>(w)});
        return Op::Int;
      }
      case 'E':
      case 'F': {
        int w = positive();
        expect('.');
        int d = number();
        if (d > 40 || (c == 'E' && d < 1)) fail("digit count out of range");
        int e = 0;
        if (c == 'E' && peek() == 'E') {
          ++pos_;
          e = positive();
          if (e > 4) fail("exponent digits out of range");
        }
        Op op = c == 'E' ? Op::Exp : Op::Fixed;
        emitRepeated(repeat, Instr{op, static_cast<std::int16_t>(w), static_cast<std::int16_t>(d),
                                   static_cast<std::int16_t>(e)});
        return op;
      }
      case 'A': {
        int w = atDigit() ? positive() : -1;
        emitRepeated(repeat, Instr{Op::Text, static_cast<std::int16_t>(w), static_cast<std::int16_t>(w)});
        return Op::Text;
      }
      default:
        fail("unknown edit descriptor");
    }
  }

  int positive() {
    int v = number();
    if (v < 1 || v > 999) fail("field width out of range");
    return v;
  }

  void parseLiteral() {
    ++pos_;  // opening apostrophe
    std::string text;
    for (;;) {
      if (pos_ >= text_.size()) fail("unterminated literal");
      char c = text_[pos_++];
      if (c == '\'') {
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          text += '\'';
          ++pos_;
          continue;
        }
        break;
      }
      text += c;
    }
    Instr in{Op::Literal};
    in.arg = static_cast<std::int32_t>(f_.literals_.size());
    in.len = static_cast<std::int32_t>(text.size());
    f_.literals_ += text;
    emit(in);
  }

  Format& f_;
  std::string_view text_;
  std::size_t pos_ = 0;
};

namespace {
// Bytes past the end of a claim and of the plan text that the copies below may
// touch: separators are copied as one 8-byte move, whatever their length.
constexpr std::size_t kSlack = Format::kLineSlack;
// Runs of at least this many exponent fields go to the eight-lane renderer
// where it covers their layout. Shorter ones cost less straight: their values,
// stored just before, cannot be read back as one vector without a stall.
constexpr std::uint32_t kQueuedRun = 16;

bool isData(std::uint8_t op, std::uint8_t firstData) { return op >= firstData; }
}  // namespace

Format::Format(std::string_view list) : source_(list) {
  Parser(*this, list).parseList();
  auto first = static_cast<std::uint8_t>(Op::Int);
  for (std::size_t i = 0; i < prog_.size(); ++i) {
    if (!isData(static_cast<std::uint8_t>(prog_[i].op), first)) continue;
    hasData_ = true;
    if (i >= reversion_) reversionHasData_ = true;
  }
}

void Format::mismatch() const {
  throw std::logic_error("item of the wrong kind for its edit descriptor in " + source_);
}

void Format::renderField(char* p, const Instr& in, const Item& item, int scale) const {
  switch (in.op) {
    case Op::Int:
      if (item.kind != Item::Kind::Integer) mismatch();
      fields::integer(p, in.w, item.i);
      return;
    case Op::Exp:
    case Op::Fixed:
      if (item.kind == Item::Kind::Double) {
        if (in.op == Op::Exp) fields::exponent(p, in.w, in.d, in.e, scale, item.d);
        else fields::fixed(p, in.w, in.d, item.d);
      } else if (item.kind == Item::Kind::Single) {
        const auto single = static_cast<float>(item.d);
        if (in.op == Op::Exp) fields::exponent(p, in.w, in.d, in.e, scale, single);
        else fields::fixed(p, in.w, in.d, single);
      } else {
        mismatch();
      }
      return;
    case Op::Text: {
      // Aw: the text cut to w, or right-justified in w.
      if (item.kind != Item::Kind::Text) mismatch();
      const auto w = static_cast<std::size_t>(in.w);
      if (item.s.size() >= w) {
        std::memcpy(p, item.s.data(), w);
      } else {
        const std::size_t pad = w - item.s.size();
        std::memset(p, ' ', pad);
        if (!item.s.empty()) std::memcpy(p + pad, item.s.data(), item.s.size());
      }
      return;
    }
    default:
      return;
  }
}

void Format::renderItem(TextOut& out, const Instr& in, const Item& item, int scale) const {
  if (in.op == Op::Text && in.w < 0) {
    if (item.kind != Item::Kind::Text) mismatch();
    out.put(item.s);
    return;
  }
  renderField(out.claim(static_cast<std::size_t>(in.w)), in, item, scale);
  out.advance(static_cast<std::size_t>(in.w));
}

// Walks the list for `count` items, reporting to the sink what to write: text,
// record ends, and the descriptor (with the scale factor in force) of each item.
template <class Sink>
void Format::walk(std::size_t count, Sink& sink) const {
  if (count > 0 && !reversionHasData_)
    throw std::logic_error("items left over with no edit descriptor to take them in " + source_);
  struct Frame {
    std::size_t begin;
    std::int32_t left;
  };
  Frame stack[32];
  int depth = 0;
  std::size_t next = 0;
  std::size_t pc = 0;
  int scale = 0;
  const std::size_t end = prog_.size();
  for (;;) {
    if (pc == end) {
      if (next == count) break;
      sink.text("\r\n");
      pc = reversion_;
      depth = 0;
      continue;
    }
    const Instr& in = prog_[pc];
    switch (in.op) {
      case Op::Literal:
        sink.text(std::string_view(literals_.data() + in.arg, static_cast<std::size_t>(in.len)));
        break;
      case Op::Blanks:
        sink.text(std::string(static_cast<std::size_t>(in.w), ' '));
        break;
      case Op::Slash:
        sink.text("\r\n");
        break;
      case Op::Scale:
        scale = in.w;
        break;
      case Op::Begin:
        if (depth == 32) throw std::logic_error("groups nested too deeply in " + source_);
        stack[depth++] = Frame{pc, in.arg};
        break;
      case Op::End:
        if (--stack[depth - 1].left > 0) {
          pc = stack[depth - 1].begin;
        } else {
          --depth;
        }
        break;
      default:
        if (next == count) {
          sink.text("\r\n");
          return;
        }
        sink.field(in, next++, scale);
        break;
    }
    ++pc;
  }
  sink.text("\r\n");
}

// Renders straight to the output while walking the list.
struct Format::DirectSink {
  const Format& format;
  TextOut& out;
  std::span<const Item> items;
  void text(std::string_view t) { out.put(t); }
  void field(const Instr& in, std::size_t item, int scale) { format.renderItem(out, in, items[item], scale); }
};

// Records the walk as a straight-line plan: text between fields, then the tail.
struct Format::PlanSink {
  Plan& plan;
  const std::vector<Instr>& program;
  std::string pending;
  void text(std::string_view t) { pending += t; }
  void field(const Instr& in, std::size_t, int scale) {
    plan.fields.push_back(PlanField{static_cast<std::uint32_t>(plan.text.size()),
                                    static_cast<std::uint32_t>(pending.size()),
                                    static_cast<std::uint32_t>(&in - program.data()), in.w,
                                    static_cast<std::int8_t>(scale)});
    plan.text += pending;
    pending.clear();
  }
};

// Groups the fields of a fixed-width plan into runs.
void Format::makeRuns(Plan& plan) const {
  using fields::straight::Kernel;
  for (std::size_t i = 0; i < plan.fields.size(); ++i) {
    const PlanField& f = plan.fields[i];
    const Instr& in = prog_[f.instr];
    Kernel kernel = Kernel::None;
    if (in.op == Op::Int && in.w <= 16) kernel = Kernel::Integer;
    if (in.op == Op::Exp) kernel = fields::straight::exponentKernel(in.w, in.d, in.e, f.scale);
    std::string_view text(plan.text.data() + f.textOffset, f.textLength);
    if (text.size() > 8) {
      kernel = Kernel::None;
      text = {};
    }
    std::uint64_t word = 0;
    if (!text.empty()) std::memcpy(&word, text.data(), text.size());
    const auto length = static_cast<std::uint8_t>(text.size());
    if (!plan.runs.empty()) {
      // The first field of a run may follow another text than the rest.
      PlanRun& last = plan.runs.back();
      const bool sameText = last.count == 1 || (last.text == word && last.textLength == length);
      if (last.kernel == kernel && (kernel == Kernel::None || (sameText && last.width == f.width))) {
        last.text = word;
        last.textLength = length;
        ++last.count;
        continue;
      }
    }
    plan.runs.push_back(PlanRun{static_cast<std::uint32_t>(i), 1, word, word, length, length, kernel, f.width});
  }
}

const Format::Plan* Format::findPlan(std::size_t count) const {
  for (const auto& slot : planSlots_) {
    const Plan* plan = slot.load(std::memory_order_acquire);
    if (plan == nullptr) break;
    if (plan->count == count) return plan;
  }
  return makePlan(count);
}

// Makes the plan for `count` items in the next free slot; nullptr when the
// slots are full (such calls walk the list directly).
const Format::Plan* Format::makePlan(std::size_t count) const {
  std::lock_guard<std::mutex> lock(planMutex_);
  std::size_t free = 0;
  for (; free < kMaxPlans; ++free) {
    const Plan* plan = planSlots_[free].load(std::memory_order_acquire);
    if (plan == nullptr) break;
    if (plan->count == count) return plan;  // made by another thread meanwhile
  }
  if (free == kMaxPlans) return nullptr;
  auto plan = std::make_unique<Plan>();
  plan->count = count;
  plan->fields.reserve(count);  // a field per item
  PlanSink sink{*plan, prog_, {}};
  walk(count, sink);
  plan->tailOffset = static_cast<std::uint32_t>(plan->text.size());
  plan->text += sink.pending;
  plan->bytes = static_cast<long long>(plan->text.size());
  plan->text.append(kSlack, ' ');  // read by the 8-byte copies of the last texts
  for (const PlanField& f : plan->fields) {
    if (f.width < 0) {
      plan->bytes = -1;
      break;
    }
    plan->bytes += f.width;
  }
  if (plan->bytes >= 0) makeRuns(*plan);
  const Plan* made = plan.get();
  ownedPlans_.push_back(std::move(plan));
  planSlots_[free].store(made, std::memory_order_release);
  return made;
}

namespace {
// Copies plan text (mostly a separator of a character or two) as one 8-byte move.
inline char* copyText(char* p, const char* text, std::uint32_t length) {
  if (length <= kSlack) {
    std::memcpy(p, text, kSlack);
  } else {
    std::memcpy(p, text, length);
  }
  return p + length;
}

// Copies the `width` columns of a field rendered aside: two overlapping 4-byte
// moves for 4 to 8 columns (the widths of integer fields), rather than a
// library call whose length is known only at run time.
inline void copyColumns(char* at, const char* aside, int width) {
  if (width >= 4 && width <= 8) {
    std::memcpy(at, aside, 4);
    std::memcpy(at + width - 4, aside + width - 4, 4);
  } else {
    std::memcpy(at, aside, static_cast<std::size_t>(width));
  }
}

// Single and Double, the last two kinds.
bool isReal(const Item& item) { return item.kind >= Item::Kind::Single; }

// Item k of a line, as a list of items or as doubles alone.
inline const Item& itemAt(const Item* items, std::size_t k) { return items[k]; }
inline Item itemAt(const double* values, std::size_t k) { return Item(values[k]); }
inline bool isReal(const double*, std::size_t) { return true; }
inline bool isReal(const Item* items, std::size_t k) { return isReal(items[k]); }
inline double realAt(const Item* items, std::size_t k) { return items[k].d; }
inline double realAt(const double* values, std::size_t k) { return values[k]; }
}  // namespace

template <class Layout, class Values>
[[gnu::always_inline]] inline char* Format::writeExponents(char* p, const PlanRun& run, Values items) const {
  const std::uint64_t text = run.text;
  const std::uint32_t textLength = run.textLength, count = run.count;
  fields::straight::store8(p, run.firstText);
  p += run.firstLength;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (!isReal(items, k)) [[unlikely]] mismatch();
    fields::straight::exponent<Layout>(p, realAt(items, k));
    p += Layout::w;
    fields::straight::store8(p, text);  // before the next field (the last one's is taken back)
    p += textLength;
  }
  return p - textLength;
}

// A run of exponent fields through the eight-lane renderer: the texts are
// written at once, the fields when the queue is flushed, at the end of the run
// (each writes only its own columns, so the order does not matter).
template <class Values>
char* Format::queueExponents(char* p, const PlanRun& run, Values items) const {
  const std::uint64_t text = run.text;
  const std::uint32_t textLength = run.textLength, count = run.count, width = static_cast<std::uint32_t>(run.width);
  fields::straight::store8(p, run.firstText);
  p += run.firstLength;
  char* const first = p;
  const std::size_t stride = width + textLength;
  // Fields with a separator of one character after each are rendered end to
  // end, separators included; other texts are copied first.
  const bool endToEnd = textLength == 1;
  if (!endToEnd) {
    for (std::uint32_t k = 0; k < count; ++k) fields::straight::store8(p + k * stride + width, text);
  }
  p += count * stride;
  const char separator = static_cast<char>(text);
  auto render = [&](char* at, const double* values, std::size_t n) {
    if (endToEnd) {
      fields::wide::exponentRun(run.kernel, at, values, n, separator);
    } else {
      fields::wide::exponents(run.kernel, at, stride, values, n);
    }
  };
  if constexpr (std::is_same_v<Values, const double*>) {
    render(first, items, count);
  } else {
    // The values side by side, a chunk at a time, in a local array.
    constexpr std::uint32_t kChunk = 64;
    double values[kChunk];
    for (std::uint32_t done = 0; done < count; done += kChunk) {
      const std::uint32_t n = std::min(kChunk, count - done);
      for (std::uint32_t k = 0; k < n; ++k) {
        if (!isReal(items[done + k])) [[unlikely]] mismatch();
        values[k] = items[done + k].d;
      }
      render(first + done * stride, values, n);
    }
  }
  return p - textLength;
}

template <int W>
[[gnu::always_inline]] inline char* Format::writeIntegers(char* p, const PlanRun& run, const Item* items) const {
  const std::uint64_t text = run.text;
  const std::uint32_t textLength = run.textLength, count = run.count;
  const fields::straight::IntegerLayout layout(run.width);
  fields::straight::store8(p, run.firstText);
  p += run.firstLength;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (items[k].kind != Item::Kind::Integer) [[unlikely]] mismatch();
    if constexpr (W > 0) {
      fields::straight::integer<W>(p, items[k].i);
    } else {
      fields::straight::integer(p, layout, items[k].i);
    }
    p += layout.w;
    fields::straight::store8(p, text);  // before the next field (the last one's is taken back)
    p += textLength;
  }
  return p - textLength;
}

// Every field has a fixed width: the whole output is claimed at once and
// composed in place.
void Format::writeFixed(TextOut& out, const Plan& plan, std::span<const Item> items) const {
  const auto bytes = static_cast<std::size_t>(plan.bytes);
  compose(out.claim(bytes + kSlack), plan, items.data());
  out.advance(bytes);
}

void Format::writeReals(TextOut& out, std::span<const double> values) const {
  const Plan* plan = findPlan(values.size());
  if (plan == nullptr || plan->bytes < 0) {
    std::vector<Item>& items = scratch();
    items.assign(values.begin(), values.end());
    write(out, items);
    return;
  }
  const auto bytes = static_cast<std::size_t>(plan->bytes);
  compose(out.claim(bytes + kSlack), *plan, values.data());
  out.advance(bytes);
}

void Format::composeLine(char* at, std::span<const Item> items) const {
  const Plan* plan = findPlan(items.size());
  if (plan == nullptr || plan->bytes < 0) throw std::logic_error("lines of " + source_ + " differ in length");
  compose(at, *plan, items.data());
}

// The output of a plan of fixed-width fields, composed left to right, run by
// run. The straight renderers and the text copies may write a few bytes past
// their end; what follows overwrites them.
template <class Values>
void Format::compose(char* p, const Plan& plan, Values items) const {
  using fields::straight::Kernel;
  const char* text = plan.text.data();
  for (const PlanRun& run : plan.runs) {
    const Values first = items + run.field;
    if (run.kernel == Kernel::Integer) {
      if constexpr (std::is_same_v<Values, const double*>) {
        mismatch();  // a line of reals has no integer field
      } else {
        // The widths the output kinds use, each compiled for itself.
        switch (run.width) {
          case 2: p = writeIntegers<2>(p, run, first); break;
          case 3: p = writeIntegers<3>(p, run, first); break;
          case 5: p = writeIntegers<5>(p, run, first); break;
          case 7: p = writeIntegers<7>(p, run, first); break;
          case 8: p = writeIntegers<8>(p, run, first); break;
          default: p = writeIntegers<0>(p, run, first); break;
        }
      }
    } else if (run.count >= kQueuedRun && fields::wide::covers(run.kernel)) {
      p = queueExponents(p, run, first);
    } else if (run.kernel != Kernel::None) {
      fields::straight::withLayout(run.kernel,
                                   [&](auto layout) { p = writeExponents<decltype(layout), Values>(p, run, first); });
    } else {
      for (std::uint32_t k = 0; k < run.count; ++k) {
        const PlanField& f = plan.fields[run.field + k];
        p = copyText(p, text + f.textOffset, f.textLength);
        renderField(p, prog_[f.instr], itemAt(first, k), f.scale);
        p += f.width;
      }
    }
  }
  copyText(p, text + plan.tailOffset, static_cast<std::uint32_t>(plan.text.size() - kSlack - plan.tailOffset));
}

void Format::write(TextOut& out, std::span<const Item> items) const {
  const Plan* found = findPlan(items.size());
  if (found == nullptr) {
    DirectSink sink{*this, out, items};
    walk(items.size(), sink);
    return;
  }
  if (found->bytes >= 0) {
    writeFixed(out, *found, items);
    return;
  }
  // A plan with text fields of any length: field by field.
  const Plan& plan = *found;
  const char* text = plan.text.data();
  for (std::size_t i = 0; i < plan.fields.size(); ++i) {
    const PlanField& f = plan.fields[i];
    out.put(std::string_view(text + f.textOffset, f.textLength));
    renderItem(out, prog_[f.instr], items[i], f.scale);
  }
  out.put(std::string_view(text + plan.tailOffset, plan.text.size() - kSlack - plan.tailOffset));
}

Format::Overlay Format::overlay(std::size_t count, std::span<const std::size_t> changing) const {
  using fields::straight::Kernel;
  const Plan* plan = findPlan(count);
  if (plan == nullptr || plan->bytes < 0) throw std::logic_error("lines of " + source_ + " differ in length");
  // A field starts after the texts up to its own and the fields before it.
  std::vector<std::uint32_t> columns;
  std::uint32_t widths = 0;
  for (const PlanField& f : plan->fields) {
    columns.push_back(f.textOffset + f.textLength + widths);
    widths += static_cast<std::uint32_t>(f.width);
  }
  Overlay overlay;
  overlay.lineBytes = static_cast<std::size_t>(plan->bytes);
  for (std::size_t item : changing) {
    if (item >= plan->fields.size()) throw std::logic_error("no field for item " + std::to_string(item) + " in " + source_);
    const PlanField& f = plan->fields[item];
    const Instr& in = prog_[f.instr];
    Kernel kernel = Kernel::None;
    if (in.op == Op::Int && in.w <= 16) kernel = Kernel::Integer;
    if (in.op == Op::Exp) kernel = fields::straight::exponentKernel(in.w, in.d, in.e, f.scale);
    overlay.fields.push_back(Overlay::Field{columns[item], static_cast<std::uint32_t>(item), f.instr, f.width,
                                            f.scale, kernel});
    if (overlay.wide == Kernel::None && fields::wide::covers(kernel)) overlay.wide = kernel;
  }
  return overlay;
}

void Format::writeOver(char* line, const Overlay& overlay, std::span<const Item> items,
                       fields::wide::Queue* queue) const {
  using fields::straight::Kernel;
  for (const Overlay::Field& f : overlay.fields) {
    const Item& item = items[f.item];
    char* at = line + f.column;
    if (queue != nullptr && f.kernel == queue->kernel()) {
      if (!isReal(item)) mismatch();
      queue->add(at, item.d);
      continue;
    }
    if (f.kernel == Kernel::None) {
      renderField(at, prog_[f.instr], item, f.scale);  // exactly the field's columns
      continue;
    }
    if (f.kernel != Kernel::Integer) {
      // The exponent renderers write within the field.
      if (!isReal(item)) mismatch();
      fields::straight::withLayout(
          f.kernel, [&](auto layout) { fields::straight::exponent<decltype(layout)>(at, item.d); });
      continue;
    }
    // The integer renderers may write a few bytes past the field: they render
    // aside, and only the field's columns are copied.
    if (item.kind != Item::Kind::Integer) mismatch();
    char aside[32];
    if (f.width == 5) {
      fields::straight::integer<5>(aside, item.i);
    } else {
      fields::straight::integer(aside, fields::straight::IntegerLayout(f.width), item.i);
    }
    copyColumns(at, aside, f.width);
  }
}

}  // namespace gw
