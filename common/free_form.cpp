#include "free_form.hpp"

#include <cstring>

#include "numeric_fields.hpp"

namespace gw {

void FreeRecord::makeRoom(int width) {
  if (column_ > 0 && column_ + width > kLineLength) {
    out_.endRecord();
    out_.putChar(' ');
    column_ = 1;
    lastWasText_ = false;
  }
}

void FreeRecord::integer(long long v) {
  constexpr int w = fields::kFreeIntegerWidth;
  makeRoom(w);
  fields::integer(out_.claim(w), w, v);
  out_.advance(w);
  column_ += w;
  lastWasText_ = false;
}

FreeRecord& FreeRecord::operator<<(double v) {
  constexpr int w = fields::kFreeDoubleWidth;
  makeRoom(w);
  fields::freeDouble(out_.claim(w), v);
  out_.advance(w);
  column_ += w;
  lastWasText_ = false;
  return *this;
}

FreeRecord& FreeRecord::operator<<(float v) {
  constexpr int w = fields::kFreeSingleWidth;
  makeRoom(w);
  fields::freeSingle(out_.claim(w), v);
  out_.advance(w);
  column_ += w;
  lastWasText_ = false;
  return *this;
}

FreeRecord& FreeRecord::operator<<(std::string_view text) {
  int len = static_cast<int>(text.size());
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

void FreeRecord::end() { out_.endRecord(); }

}  // namespace gw
