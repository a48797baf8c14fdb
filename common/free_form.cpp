#include "free_form.hpp"

#include "wide_fields.hpp"

namespace gw {

void FreeRecord::newRecord() {
  out_.endRecord();
  out_.putChar(' ');
  column_ = 1;
  lastWasText_ = false;
}

void writeNumberedSingles(TextOut& out, std::int32_t first, std::span<const float> values) {
  // The number, a blank and the comma (a text item after a number), the real
  // and the record's end: every such record has this one length.
  constexpr std::size_t kNumber = fields::kFreeIntegerWidth, kReal = fields::kFreeSingleWidth;
  constexpr std::size_t kRecord = kNumber + 2 + kReal + 2;
  static constexpr fields::straight::IntegerLayout kLayout(fields::kFreeIntegerWidth);
  char* const start = out.claim(values.size() * kRecord);
  char* p = start;
  for (std::size_t i = 0; i < values.size(); ++i, p += kRecord) {
    fields::straight::integer(p, kLayout, static_cast<long long>(first) + static_cast<long long>(i));
    std::memcpy(p + kNumber, " ,", 2);
    std::memcpy(p + kNumber + 2 + kReal, "\r\n", 2);
  }
  fields::wide::freeSingles(start + kNumber + 2, kRecord, values.data(), values.size());
  out.advance(values.size() * kRecord);
}

}  // namespace gw
