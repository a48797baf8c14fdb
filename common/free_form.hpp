// Free-form records: items in their default layouts (integer I12, double
// 1P G24.15E3, 32-bit real 1P G15.7E2, text as it stands) on lines of at most 80
// columns. A text item that starts a record, or follows a number, is preceded
// by one blank; consecutive text items are joined; a record that would pass
// column 80 is ended and the item begins a new record, which starts with a blank.
#pragma once

#include <concepts>
#include <string_view>

#include "text_out.hpp"

namespace gw {

class FreeRecord {
 public:
  static constexpr int kLineLength = 80;

  explicit FreeRecord(TextOut& out) : out_(out) {}

  template <std::integral T>
  FreeRecord& operator<<(T v) {
    integer(static_cast<long long>(v));
    return *this;
  }
  FreeRecord& operator<<(double v);
  FreeRecord& operator<<(float v);
  FreeRecord& operator<<(std::string_view text);
  FreeRecord& operator<<(const char* text) { return *this << std::string_view(text); }

  // Ends the record (an empty record when no item was written).
  void end();

 private:
  void integer(long long v);
  template <class Render>
  void number(int w, Render render);
  // Starts a new record when `width` more columns do not fit on this one.
  void makeRoom(int width);

  TextOut& out_;
  int column_ = 0;
  bool lastWasText_ = false;
};

// Writes one free-form record of the items in order.
template <class... Args>
void writeFree(TextOut& out, const Args&... args) {
  FreeRecord record(out);
  ((record << args), ...);
  record.end();
}

}  // namespace gw
