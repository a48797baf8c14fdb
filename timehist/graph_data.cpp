#include "graph_data.hpp"

#include <algorithm>
#include <string>

#include "fault.hpp"
#include "platform.hpp"

namespace gw::timehist {

namespace {

// The part of the file being read, for the explanation of a fault: what the
// line holds and the width of its fields.
struct Reading {
  std::string what = "the capacities";
  int width = 5;
};

// One list: its count in (I5), then that many entries in (10I7) over as many
// lines as they need. Only the fields the list still needs are read from a
// line; a count of 0 or less is an empty list.
EntryList readList(LineInput& in, const char* name, Reading& reading) {
  reading = {std::string("the count of the ") + name + " list", 5};
  std::int32_t count = 0;
  readIntegerFields(in, 5, std::span(&count, 1));
  EntryList list(count > 0 ? static_cast<std::size_t>(count) : 0);
  std::span<std::int32_t> rest(list);
  while (!rest.empty()) {
    reading = {std::string("the entries of the ") + name + " list from entry " +
                   std::to_string(list.size() - rest.size() + 1) + " on (" + std::to_string(list.size()) + " in all)",
               7};
    const std::size_t onLine = std::min<std::size_t>(10, rest.size());
    readIntegerFields(in, 7, rest.first(onLine));
    rest = rest.subspan(onLine);
  }
  return list;
}

void explainGraphFault(Fault& fault, const LineInput& in, const Reading& reading) {
  const std::string lines = std::to_string(in.lineNumber());
  if (fault.kind() == FaultKind::EndOfFile) {
    fault.explain(in.lineNumber() == 0 ? in.name() + " is empty: its first line should give " + reading.what
                                       : in.name() + " ends after line " + lines + ", before " + reading.what);
  } else if (fault.kind() == FaultKind::Conversion) {
    fault.explain("line " + lines + " of " + in.name() + " should give " + reading.what + ", in fields of " +
                  std::to_string(reading.width) + " columns: " + quotedLine(in.lastLine()));
  }
}

GraphData readLists(LineInput& in, Reading& reading) {
  GraphData data;
  std::int32_t caps[5] = {};
  readIntegerFields(in, 5, caps);
  const Capacities defaults;
  data.caps.mxstep = caps[0] != 0 ? caps[0] : defaults.mxstep;
  data.caps.mxh = caps[1] != 0 ? caps[1] : defaults.mxh;
  data.caps.mxq = caps[2] != 0 ? caps[2] : defaults.mxq;
  data.caps.mxvd = caps[3] != 0 ? caps[3] : defaults.mxvd;
  data.caps.mxva = caps[4] != 0 ? caps[4] : defaults.mxva;

  data.lists.h = readList(in, "H", reading);
  data.lists.q = readList(in, "Q", reading);
  data.lists.vd = readList(in, "VD", reading);
  data.lists.va = readList(in, "VA", reading);
  return data;
}

}  // namespace

GraphData readGraphData(LineInput& in) {
  Reading reading;
  try {
    return readLists(in, reading);
  } catch (Fault& fault) {
    explainGraphFault(fault, in, reading);
    throw;
  }
}

GraphData readGraphData(const std::string& name) {
  int fd = platform::openFile(name, platform::Access::ReadOrCreate);
  if (fd < 0) throw openFault(kGraphDataUnit, name, false);
  LineInput in(fd, name, kGraphDataUnit, true);
  return readGraphData(in);
}

}  // namespace gw::timehist
