#include "series_store.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "file_names.hpp"
#include "format.hpp"
#include "line_blocks.hpp"
#include "node_averages.hpp"

namespace gw::timehist {

namespace {

// Header: a comma and each entry in 8 columns; the first cell, above the time
// column, stays empty. Rows: the step time, then a comma and each value.
// Records with more than 200 items go on over further lines.
const Format kHeader("(200(',',I8))");
const Format kRow("(E16.7,200(',',1P,E14.5))");

std::size_t rowsFor(std::int32_t capacity, std::size_t count) {
  std::size_t cap = capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
  return std::max(cap, count);
}

// The value of array slot n (1-based) when n names one, else 0.0.
double at(const RunArray<double>& values, std::int32_t n) {
  return n >= 1 && static_cast<std::size_t>(n) <= values.size() ? values[static_cast<std::size_t>(n) - 1]
                                                                    : 0.0;
}

}  // namespace

SeriesStore::SeriesStore(const Capacities& caps, PointLists lists) : lists_(std::move(lists)) {
  steps_ = caps.mxstep > 0 ? caps.mxstep : 0;
  h_.rows = rowsFor(caps.mxh, lists_.h.size());
  q_.rows = rowsFor(caps.mxq, lists_.q.size());
  vd_.rows = rowsFor(caps.mxvd, lists_.vd.size());
  va_.rows = rowsFor(caps.mxva, lists_.va.size());
  vd_.columns = 2;
  va_.columns = 2;

  // Every count and capacity is a 5-column field, so the product stays far
  // below the range of size_t; the memory itself may still be missing. Each
  // table holds the step time at the head of its rows.
  const std::size_t perStep = h_.rowSize() + q_.rowSize() + vd_.rowSize() + va_.rowSize();
  size_ = static_cast<std::size_t>(steps_) * perStep;
  // Cells are set by `gather` before they are ever read: pages of steps that
  // are never kept are never touched. They come from run memory, so that the
  // steps kept fill large pages rather than faulting in every 4 KB.
  cells_.reset(static_cast<double*>(run_memory::tryAllocate(size_ * sizeof(double))));
  if (!cells_) throw std::bad_alloc();
  cells_.get_deleter().bytes = size_ * sizeof(double);
  double* p = cells_.get();
  for (Table* t : {&h_, &q_, &vd_, &va_}) {
    t->cells = p;
    p += static_cast<std::size_t>(steps_) * t->rowSize();
  }
}

const EntryList& entries(const PointLists& lists, Series series) {
  switch (series) {
    case Series::H: return lists.h;
    case Series::Q: return lists.q;
    case Series::VD: return lists.vd;
    case Series::VA: break;
  }
  return lists.va;
}

const SeriesStore::Table& SeriesStore::table(Series series) const {
  switch (series) {
    case Series::H: return h_;
    case Series::Q: return q_;
    case Series::VD: return vd_;
    case Series::VA: break;
  }
  return va_;
}

namespace {

// Whether every entry of `list` names one of `count` slots.
bool allWithin(const EntryList& list, std::size_t count) {
  return std::all_of(list.begin(), list.end(),
                     [count](std::int32_t n) { return n >= 1 && static_cast<std::size_t>(n) <= count; });
}

// Slot n (1-based) of `values`, which holds it.
std::size_t slot(std::int32_t n) { return static_cast<std::size_t>(n) - 1; }

// The values at the entries, which all name a slot.
void copyEntries(double* out, const RunArray<double>& values, const EntryList& list) {
  const double* v = values.data();
  for (std::int32_t n : list) *out++ = v[slot(n)];
}

// The x and y values at the entries, side by side.
void copyEntryPairs(double* out, const RunArray<double>& xs, const RunArray<double>& ys,
                    const EntryList& list) {
  const double* x = xs.data();
  const double* y = ys.data();
  for (std::int32_t e : list) {
    *out++ = x[slot(e)];
    *out++ = y[slot(e)];
  }
}

// The x and y values at the entries divided by the entry's divisor, both
// quotients of an entry in one division of a pair.
void divideEntryPairs(double* out, const RunArray<double>& xs, const RunArray<double>& ys,
                      const RunArray<double>& divisors, const EntryList& list) {
  const double* x = xs.data();
  const double* y = ys.data();
  const double* d = divisors.data();
  for (std::int32_t e : list) {
    const Quotients v = quotients(x[slot(e)], y[slot(e)], d[slot(e)]);
    *out++ = v.a;
    *out++ = v.b;
  }
}

}  // namespace

void SeriesStore::expectStepSizes(std::size_t nodes, std::size_t elements) {
  checked_ = {nodes, elements,
              allWithin(lists_.h, nodes) && allWithin(lists_.q, nodes) && allWithin(lists_.vd, elements) &&
                  allWithin(lists_.va, elements)};
  // Before any step is gathered, so the VA rows may still take one value per entry.
  vaByDivisors_ = checked_.within && !lists_.va.empty() && lists_.va == lists_.vd;
  va_.columns = vaByDivisors_ ? 1 : 2;
}

bool SeriesStore::entriesWithin(const Step& step) const {
  return checked_.within && step.h.size() == checked_.nodes && step.d.size() == checked_.elements;
}

void SeriesStore::gather(std::int32_t j, const Step& step) const {
  if (j < 1 || j > steps_) throw std::logic_error("kept step outside the series store");
  double* h = h_.row(j);
  double* q = q_.row(j);
  double* vd = vd_.row(j);
  double* va = va_.row(j);
  *h++ = *q++ = *vd++ = *va++ = step.time;

  // Every entry names a node or element (the usual case): no test per value.
  if (entriesWithin(step)) {
    copyEntries(h, step.h, lists_.h);
    copyEntries(q, step.q, lists_.q);
    copyEntryPairs(vd, step.dvx, step.dvy, lists_.vd);
    if (vaByDivisors_) {
      copyEntries(va, step.d, lists_.va);
    } else {
      divideEntryPairs(va, step.dvx, step.dvy, step.d, lists_.va);
    }
    return;
  }
  if (vaByDivisors_) throw std::logic_error("a step of other sizes than the run's steps");

  for (std::int32_t n : lists_.h) *h++ = at(step.h, n);
  for (std::int32_t n : lists_.q) *q++ = at(step.q, n);
  for (std::int32_t e : lists_.vd) {
    *vd++ = at(step.dvx, e);
    *vd++ = at(step.dvy, e);
  }
  // Velocities: DVX / D and DVY / D. A D of 0 gives an infinity or NaN, which
  // the record rendering writes as such.
  for (std::int32_t e : lists_.va) {
    const bool element = e >= 1 && static_cast<std::size_t>(e) <= step.d.size();
    const double d = element ? step.d[static_cast<std::size_t>(e) - 1] : 1.0;
    *va++ = element ? at(step.dvx, e) / d : 0.0;
    *va++ = element ? at(step.dvy, e) / d : 0.0;
  }
}

void SeriesStore::writeSeries(TextOut& out, Series series, std::int32_t k) const {
  const EntryList& list = entries(lists_, series);
  const Table& t = table(series);

  // Each entry heads one column of H and Q, two (x, y) of VD and VA.
  const std::size_t columns = series == Series::H || series == Series::Q ? 1 : 2;
  RunArray<Item> items;  // in run memory, which the next file's header takes again
  items.reserve(list.size() * columns);
  for (std::int32_t entry : list) {
    for (std::size_t c = 0; c < columns; ++c) items.emplace_back(entry);
  }
  kHeader.write(out, items);

  const std::int32_t kept = std::clamp(k, 0, steps_);
  const std::size_t values = list.size() * columns;
  const bool quotientRows = series == Series::VA && vaByDivisors_;
  writeLines(out, static_cast<std::size_t>(kept), 13 * (values + 1), [&](TextOut& o, std::size_t i) {
    const auto j = static_cast<std::int32_t>(i + 1);
    kRow.writeReals(o, quotientRows ? quotientRow(j) : std::span<const double>(t.row(j), values + 1));
  });
}

std::span<const double> SeriesStore::quotientRow(std::int32_t j) const {
  const std::size_t entries = lists_.va.size();
  const double* pairs = vd_.row(j) + 1;
  const double* divisors = va_.row(j);
  thread_local RunArray<double> row;  // on whichever thread renders the row
  row.resize(1 + 2 * entries);
  row[0] = *divisors++;  // the time
  for (std::size_t e = 0; e < entries; ++e) {
    const Quotients v = quotients(pairs[2 * e], pairs[2 * e + 1], divisors[e]);
    row[1 + 2 * e] = v.a;
    row[2 + 2 * e] = v.b;
  }
  return row;
}

std::vector<WrittenFile> SeriesStore::writeFiles(std::int32_t k, const std::string& folder) const {
  std::vector<WrittenFile> written;
  for (const SeriesFile& file : kSeriesFiles) {
    if (entries(lists_, file.series).empty()) continue;
    const std::string path = pathInFolder(folder, file.name);
    std::unique_ptr<TextOut> out = TextOut::openFile(path, file.unit, true);
    writeSeries(*out, file.series, k);
    out->flush();
    written.push_back({path, out->bytesWritten(), std::clamp(k, 0, steps_)});
  }
  return written;
}

}  // namespace gw::timehist
