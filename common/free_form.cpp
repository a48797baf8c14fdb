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

// Writes one numeric field of width `w` rendered by `render`.
template <class Render>
void FreeRecord::number(int w, Render render) {
  makeRoom(w);
  render(out_.claim(static_cast<std::size_t>(w)));
  out_.advance(static_cast<std::size_t>(w));
  column_ += w;
  lastWasText_ = false;
}

void FreeRecord::integer(long long v) {
  number(fields::kFreeIntegerWidth, [v](char* p) { fields::integer(p, fields::kFreeIntegerWidth, v); });
}

FreeRecord& FreeRecord::operator<<(double v) {
  number(fields::kFreeDoubleWidth, [v](char* p) { fields::freeDouble(p, v); });
  return *this;
}

FreeRecord& FreeRecord::operator<<(float v) {
  number(fields::kFreeSingleWidth, [v](char* p) { fields::freeSingle(p, v); });
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
