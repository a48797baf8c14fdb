// The series store of the extractor: the step times and the values at the listed
// nodes and elements of every kept step, held in memory until the step loop
// ends, then written as the four CSV time series.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "console.hpp"
#include "result_file.hpp"
#include "run_array.hpp"
#include "text_out.hpp"

namespace gw::timehist {

// Capacities from line 1 of the graph data file (0 already replaced by its default).
struct Capacities {
  std::int32_t mxstep = 100;  // MXSTEP, the most time steps kept
  std::int32_t mxh = 50;      // MXH
  std::int32_t mxq = 100;     // MXQ
  std::int32_t mxvd = 50;     // MXVD
  std::int32_t mxva = 50;     // MXVA
};

// A point list's entries, in run memory: a list of thousands of entries then
// fills part of a large page instead of faulting in pages of its own.
using EntryList = RunArray<std::int32_t>;

// The four point lists of the graph data file, entries in file order.
struct PointLists {
  EntryList h;   // H list: node numbers
  EntryList q;   // Q list: node numbers
  EntryList vd;  // VD list: element numbers
  EntryList va;  // VA list: element numbers
};

// The four time series, in the order they are written.
enum class Series { H, Q, VD, VA };

// The list whose entries a series follows.
const EntryList& entries(const PointLists& lists, Series series);

// File name and unit of each series' CSV file.
struct SeriesFile {
  Series series;
  const char* name;
  int unit;
};
inline constexpr SeriesFile kSeriesFiles[] = {
    {Series::H, "GHTIME.CSV", 21},
    {Series::Q, "GQTIME.csv", 22},
    {Series::VD, "GVDTIME.csv", 23},
    {Series::VA, "GVATIME.csv", 24},
};

// Gives the series store's cells back to run memory.
struct ReleaseStoreCells {
  std::size_t bytes = 0;
  void operator()(double* cells) const noexcept { run_memory::release(cells, bytes); }
};

class SeriesStore {
 public:
  // Sizes the store once: MXSTEP steps (none when negative) by the capacity of
  // each list, or by its count when the list holds more entries than its
  // capacity (a negative capacity counts as 0). Throws std::bad_alloc when the
  // store does not fit in memory.
  SeriesStore(const Capacities& caps, PointLists lists);

  // The most steps the store keeps: MXSTEP, or 0 when MXSTEP is negative.
  std::int32_t stepCapacity() const { return steps_; }
  const PointLists& lists() const { return lists_; }
  // Doubles held by the store.
  std::size_t size() const { return size_; }

  // The node and element counts of the run's steps: gathers of steps of these
  // sizes test the list entries once here rather than value by value. Called
  // once, before the first gather; every step gathered after it must have
  // these sizes.
  void expectStepSizes(std::size_t nodes, std::size_t elements);

  // Gathers kept step j (1 <= j <= stepCapacity()): its TIME and, for every
  // list entry, the value at that node or element. An entry that names no node
  // or element of the step (0 or less, or beyond the count) gets 0.0. Gathers
  // of different steps may run on two threads at once.
  void gather(std::int32_t j, const Step& step) const;

  // Writes one series as CSV records: the header of list entries, then one row
  // per kept step 1..k.
  void writeSeries(TextOut& out, Series series, std::int32_t k) const;

  // Writes the CSV file of every non-empty list into `folder` (empty: the
  // current directory), replacing an old one; a file whose list is empty is
  // not touched. Returns the files written.
  std::vector<WrittenFile> writeFiles(std::int32_t k, const std::string& folder = {}) const;

 private:
  struct Table {
    std::size_t rows = 0;     // entries per step (capacity, or count when larger)
    std::size_t columns = 1;  // 1 for H and Q, 2 (x, y) for VD and VA (1, D, for VA by divisors)
    // Step after step: the step time, then entry after entry, x before y, so
    // that a CSV row lies side by side as it is written.
    double* cells = nullptr;
    std::size_t rowSize() const { return 1 + rows * columns; }
    double* row(std::int32_t j) const { return cells + (static_cast<std::size_t>(j) - 1) * rowSize(); }
  };

  const Table& table(Series series) const;
  // Whether every list entry names a node or element of the step.
  bool entriesWithin(const Step& step) const;
  // Row j of the VA file when its table holds divisors: the time and the
  // quotients of the VD table's pairs, valid until the thread's next call.
  std::span<const double> quotientRow(std::int32_t j) const;

  PointLists lists_;
  std::int32_t steps_ = 0;
  std::size_t size_ = 0;
  std::unique_ptr<double[], ReleaseStoreCells> cells_;
  Table h_, q_, vd_, va_;
  // The VA list is the VD list and every entry names an element: the VA table
  // holds D at each entry, and DVX / D and DVY / D are taken from the VD table
  // as the file is written. The store then touches a sixth less memory when
  // every list holds every node or element.
  bool vaByDivisors_ = false;
  struct EntryCheck {
    std::size_t nodes = static_cast<std::size_t>(-1), elements = static_cast<std::size_t>(-1);
    bool within = false;
  } checked_;
};

}  // namespace gw::timehist
