// Free-form records: items in their default layouts (integer I12, double
// 1P G24.15E3, 32-bit real 1P G15.7E2, text as it stands) on lines of at most 80
// columns. A text item that starts a record, or follows a number, is preceded
// by one blank; consecutive text items are joined; a record that would pass
// column 80 is ended and the item begins a new record, which starts with a blank.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

#include "field_kernels.hpp"
#include "numeric_fields.hpp"
#include "text_out.hpp"

namespace gw {

class FreeRecord {
 public:
  static constexpr int kLineLength = 80;

  explicit FreeRecord(TextOut& out) : out_(out) {}

  template <std::integral T>
  FreeRecord& operator<<(T v) {
    static constexpr fields::straight::IntegerLayout kLayout(fields::kFreeIntegerWidth);
    number(fields::kFreeIntegerWidth, [v](char* p) { fields::straight::integer(p, kLayout, static_cast<long long>(v)); });
    return *this;
  }
  FreeRecord& operator<<(double v) {
    number(fields::kFreeDoubleWidth, [v](char* p) { fields::freeDouble(p, v); });
    return *this;
  }
  FreeRecord& operator<<(float v) {
    number(fields::kFreeSingleWidth, [v](char* p) { fields::freeSingle(p, v); });
    return *this;
  }
  FreeRecord& operator<<(std::string_view text) {
    const int len = static_cast<int>(text.size());
    if (column_ > 0 && column_ + (lastWasText_ ? 0 : 1) + len > kLineLength) {
      out_.endRecord();
      column_ = 0;
      lastWasText_ = false;
    }
    if (!lastWasText_) {
      out_.putChar(' ');
      ++column_;
    }
    out_.put(text);
    column_ += len;
    lastWasText_ = true;
    return *this;
  }
  FreeRecord& operator<<(const char* text) { return *this << std::string_view(text); }

  // Ends the record (an empty record when no item was written).
  void end() { out_.endRecord(); }

 private:
  // Writes one numeric field of width `w` rendered by `render`, on a new
  // record when it does not fit on this one.
  template <class Render>
  void number(int w, Render render) {
    if (column_ > 0 && column_ + w > kLineLength) newRecord();
    render(out_.claim(static_cast<std::size_t>(w)));
    out_.advance(static_cast<std::size_t>(w));
    column_ += w;
    lastWasText_ = false;
  }
  void newRecord();

  TextOut& out_;
  int column_ = 0;
  bool lastWasText_ = false;
};

namespace free_detail {
template <class T>
constexpr int numberWidth() {
  if constexpr (std::is_same_v<T, double>) return fields::kFreeDoubleWidth;
  if constexpr (std::is_same_v<T, float>) return fields::kFreeSingleWidth;
  if constexpr (std::is_integral_v<T>) return fields::kFreeIntegerWidth;
  return 0;  // text
}

// Writes one free-form record of the items (at least one) in order.
template <class... Args>
[[gnu::always_inline]] inline void writeRecord(TextOut& out, const Args&... args) {
  // A record that fits on one line (the most) is composed in one piece.
  int width = 0;
  bool lastWasText = false;
  auto measure = [&]<class T>(const T& item) {
    if constexpr (free_detail::numberWidth<T>() > 0) {
      width += free_detail::numberWidth<T>();
      lastWasText = false;
    } else {
      width += static_cast<int>(std::string_view(item).size()) + (lastWasText ? 0 : 1);
      lastWasText = true;
    }
  };
  (measure(args), ...);
  if (width > FreeRecord::kLineLength) {
    FreeRecord record(out);
    ((record << args), ...);
    record.end();
    return;
  }
  char* p = out.claim(static_cast<std::size_t>(width) + 2);
  lastWasText = false;
  auto put = [&]<class T>(const T& item) {
    if constexpr (std::is_same_v<T, double>) {
      fields::freeDouble(p, item);
    } else if constexpr (std::is_same_v<T, float>) {
      fields::freeSingle(p, item);
    } else if constexpr (std::is_integral_v<T>) {
      static constexpr fields::straight::IntegerLayout kLayout(fields::kFreeIntegerWidth);
      fields::straight::integer(p, kLayout, static_cast<long long>(item));
    } else {
      const std::string_view text(item);
      if (!lastWasText) *p++ = ' ';
      std::memcpy(p, text.data(), text.size());
      p += text.size();
      lastWasText = true;
      return;
    }
    p += free_detail::numberWidth<T>();
    lastWasText = false;
  };
  (put(args), ...);
  p[0] = '\r';
  p[1] = '\n';
  out.advance(static_cast<std::size_t>(width) + 2);
}
}  // namespace free_detail

// Free-form records of an entity number, a comma and a real (32-bit or
// double), one per value: the record (first + i, ",", values[i]) for each i,
// byte for byte as writeFree writes it, with the reals rendered eight at a
// time where the processor allows.
void writeNumberedValues(TextOut& out, std::int32_t first, std::span<const float> values);
void writeNumberedValues(TextOut& out, std::int32_t first, std::span<const double> values);

// Writes one free-form record of the items in order (inline, so that the
// length of a literal is known where it is written).
template <class... Args>
[[gnu::always_inline]] inline void writeFree(TextOut& out, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    out.endRecord();
  } else {
    free_detail::writeRecord(out, args...);
  }
}

}  // namespace gw
