// Formatted records: an edit-descriptor list such as
// "(I5,2(',',I5),6(',',1P,E12.4))" is compiled once into a small program and then
// renders lines from items. Supported: Iw, Ew.d, Ew.dEe, Fw.d, Aw, A, nX, kP
// (0 and 1), 'text' (doubled apostrophe for one), /, repeat counts on
// descriptors and groups, and format reversion to the last top-level group.
#pragma once

#include <array>
#include <atomic>
#include <concepts>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "field_kernels.hpp"
#include "run_array.hpp"
#include "wide_fields.hpp"
#include "text_out.hpp"

namespace gw {

// One output item: a 32-bit or wider integer, a 32-bit real, a double, or text.
// A 32-bit real is held as its exact double.
struct Item {
  enum class Kind : std::uint8_t { Integer, Text, Single, Double };
  union {
    long long i;
    double d;
    std::string_view s;
  };
  Kind kind;

  // Not constexpr: GCC clears the whole of a union built by a constexpr
  // constructor before setting its member, which costs a string of stores for
  // every line's array of items.
  template <std::integral T>
  Item(T v) : i(static_cast<long long>(v)), kind(Kind::Integer) {}
  Item(float v) : d(v), kind(Kind::Single) {}
  Item(double v) : d(v), kind(Kind::Double) {}
  Item(std::string_view v) : s(v), kind(Kind::Text) {}
  Item(const char* v) : s(v), kind(Kind::Text) {}
  Item(const std::string& v) : s(v), kind(Kind::Text) {}
};

// A double item written as a 32-bit real: the value rounded to single precision.
inline Item single(double v) { return Item(static_cast<float>(v)); }

// The 80-character title as 20 items of 4 characters (the layout 20A4).
std::array<Item, 20> titleWords(std::string_view title80);

class Format {
 public:
  // Compiles the list; a malformed list throws std::logic_error (a programming
  // error, caught by the unit tests, never a run-time path).
  explicit Format(std::string_view list);

  // Writes the items as one or more records (reversion and / begin new ones).
  void write(TextOut& out, std::span<const Item> items) const;

  // Writes a line of reals alone (as `write` does with their items), straight
  // from the values when every field has a fixed width.
  void writeReals(TextOut& out, std::span<const double> values) const;

  // Writes scalars, spans and arrays of items in argument order.
  template <class... Args>
  void operator()(TextOut& out, const Args&... args) const {
    if constexpr ((std::is_convertible_v<const Args&, Item> && ...)) {
      if constexpr (sizeof...(Args) == 0) {
        write(out, {});
      } else {
        const Item items[] = {Item(args)...};
        write(out, items);
      }
    } else {
      std::vector<Item>& items = scratch();
      items.clear();
      (append(items, args), ...);
      write(out, items);
    }
  }

  // Renders into a string with CR LF record ends (handy for tests and messages).
  template <class... Args>
  std::string render(const Args&... args) const {
    TextOut out;
    (*this)(out, args...);
    out.flush();
    return out.captured();
  }

  const std::string& source() const { return source_; }

  // Some fields of a line, to be rendered again over a copy of the line that
  // this format rendered earlier: for lines most of whose items repeat from
  // step to step (see kept_lines.hpp).
  struct Overlay {
    struct Field {
      std::uint32_t column;  // from the start of the line
      std::uint32_t item;
      std::uint32_t instr;
      std::int16_t width;
      std::int8_t scale;
      fields::straight::Kernel kernel;
    };
    std::vector<Field> fields;
    std::size_t lineBytes = 0;  // the bytes of every line of `count` items
    // The kernel of the fields that may be queued for the eight-lane renderer
    // (wide_fields.hpp), or None.
    fields::straight::Kernel wide = fields::straight::Kernel::None;
  };
  // The overlay of the items `changing` of a line of `count` items. Every field
  // of such a line must have a fixed width (std::logic_error otherwise).
  Overlay overlay(std::size_t count, std::span<const std::size_t> changing) const;
  // Renders the overlay's items of `items` into their fields of `line`, and
  // nothing else: the bytes around those fields stay as they are.
  // With a queue, the fields of its kernel are queued (rendered when it is
  // flushed) rather than rendered at once.
  void writeOver(char* line, const Overlay& overlay, std::span<const Item> items,
                 fields::wide::Queue* queue = nullptr) const;
  // Writes the output of `items` (as `write` does) at `at`, when every field
  // has a fixed width: its overlay's lineBytes, and up to kLineSlack bytes
  // after them that the next line overwrites.
  void composeLine(char* at, std::span<const Item> items) const;
  static constexpr std::size_t kLineSlack = 8;

 private:
  enum class Op : std::uint8_t { Literal, Blanks, Slash, Scale, Begin, End, Int, Exp, Fixed, Text };
  struct Instr {
    Op op;
    std::int16_t w = 0;       // field width; blank count; scale factor
    std::int16_t d = 0;       // digits after the point; -1 for A without width
    std::int16_t e = 0;       // exponent digits (0 = default)
    std::int32_t arg = 0;     // literal offset; repeat count; jump target
    std::int32_t len = 0;     // literal length
  };

  static std::vector<Item>& scratch();
  template <class T>
  static void append(std::vector<Item>& items, const T& arg) {
    if constexpr (std::is_convertible_v<const T&, Item>) {
      items.emplace_back(arg);
    } else {
      items.insert(items.end(), std::begin(arg), std::end(arg));
    }
  }

  class Parser;
  struct PlanSink;
  struct DirectSink;
  // A straight-line plan of the walk for one item count: the text before each
  // field (record ends included) and after the last.
  struct PlanField {
    std::uint32_t textOffset;
    std::uint32_t textLength;
    std::uint32_t instr;  // index into the program
    std::int16_t width;   // columns of the field; -1 for A without a width
    std::int8_t scale;
  };
  // Consecutive fields of one width that one straight renderer
  // (field_kernels.hpp) writes, each after a text of at most 8 bytes, the same
  // for all but the first, are composed by one loop; other fields (kernel
  // None) one by one.
  struct PlanRun {
    std::uint32_t field;  // the first
    std::uint32_t count;
    std::uint64_t firstText, text;  // the texts before the first field and the others, as words
    std::uint8_t firstLength, textLength;
    fields::straight::Kernel kernel;
    std::int16_t width;
  };
  struct Plan {
    std::size_t count = 0;  // items
    std::string text;
    // In run memory: a plan of a long record (thousands of fields) then costs
    // no page faults of its own.
    RunArray<PlanField> fields;
    std::vector<PlanRun> runs;
    std::uint32_t tailOffset = 0;
    // Bytes of the whole output when every field has a fixed width (else -1).
    long long bytes = 0;
  };
  // Plans are kept for this many item counts (a format meets a few at most).
  static constexpr std::size_t kMaxPlans = 8;

  template <class Sink>
  void walk(std::size_t count, Sink& sink) const;
  const Plan* findPlan(std::size_t count) const;
  const Plan* makePlan(std::size_t count) const;
  void makeRuns(Plan& plan) const;
  void writeFixed(TextOut& out, const Plan& plan, std::span<const Item> items) const;
  // Values: const Item*, or const double* for a line of reals alone.
  template <class Values>
  void compose(char* p, const Plan& plan, Values items) const;
  template <class Layout, class Values>
  char* writeExponents(char* p, const PlanRun& run, Values items) const;
  template <class Values>
  char* queueExponents(char* p, const PlanRun& run, Values items) const;
  template <int W>  // 0: any width
  char* writeIntegers(char* p, const PlanRun& run, const Item* items) const;
  void renderItem(TextOut& out, const Instr& in, const Item& item, int scale) const;
  void renderField(char* p, const Instr& in, const Item& item, int scale) const;
  [[noreturn]] void mismatch() const;

  std::string source_;
  std::string literals_;
  std::vector<Instr> prog_;
  std::size_t reversion_ = 0;
  bool hasData_ = false;
  bool reversionHasData_ = false;
  // Plans by item count, made on first use. Finding one takes no lock (slots
  // are published once, complete), so lines may be rendered from two threads.
  mutable std::array<std::atomic<const Plan*>, kMaxPlans> planSlots_{};
  mutable std::vector<std::unique_ptr<Plan>> ownedPlans_;
  mutable std::mutex planMutex_;
};

}  // namespace gw
