#include "free_form.hpp"

#include "wide_fields.hpp"

namespace gw {

void FreeRecord::newRecord() {
  out_.endRecord();
  out_.putChar(' ');
  column_ = 1;
  lastWasText_ = false;
}

namespace {

// The number, a blank and the comma (a text item after a number), the real
// and the record's end: every such record has this one length.
template <class Real, std::size_t kReal, class Render>
void writeNumbered(TextOut& out, std::int32_t first, std::span<const Real> values, Render renderReals) {
  constexpr std::size_t kNumber = fields::kFreeIntegerWidth;
  constexpr std::size_t kRecord = kNumber + 2 + kReal + 2;
  char* const start = out.claim(values.size() * kRecord);
  fields::wide::countingIntegers(start, kRecord, static_cast<int>(kNumber), first, values.size());
  char* p = start;
  for (std::size_t i = 0; i < values.size(); ++i, p += kRecord) {
    std::memcpy(p + kNumber, " ,", 2);
    std::memcpy(p + kNumber + 2 + kReal, "\r\n", 2);
  }
  renderReals(start + kNumber + 2, kRecord, values.data(), values.size());
  out.advance(values.size() * kRecord);
}

}  // namespace

void writeNumberedValues(TextOut& out, std::int32_t first, std::span<const float> values) {
  writeNumbered<float, fields::kFreeSingleWidth>(out, first, values, fields::wide::freeSingles);
}

void writeNumberedValues(TextOut& out, std::int32_t first, std::span<const double> values) {
  writeNumbered<double, fields::kFreeDoubleWidth>(out, first, values, fields::wide::freeDoubles);
}

}  // namespace gw
