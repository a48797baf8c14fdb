#include "graph_data.hpp"

#include <algorithm>

#include "fault.hpp"
#include "platform.hpp"

namespace gw::timehist {

namespace {

// One list: its count in (I5), then that many entries in (10I7) over as many
// lines as they need. Only the fields the list still needs are read from a
// line; a count of 0 or less is an empty list.
std::vector<std::int32_t> readList(LineInput& in) {
  std::int32_t count = 0;
  readIntegerFields(in, 5, std::span(&count, 1));
  std::vector<std::int32_t> list(count > 0 ? static_cast<std::size_t>(count) : 0);
  std::span<std::int32_t> rest(list);
  while (!rest.empty()) {
    const std::size_t onLine = std::min<std::size_t>(10, rest.size());
    readIntegerFields(in, 7, rest.first(onLine));
    rest = rest.subspan(onLine);
  }
  return list;
}

}  // namespace

GraphData readGraphData(LineInput& in) {
  GraphData data;
  std::int32_t caps[5] = {};
  readIntegerFields(in, 5, caps);
  const Capacities defaults;
  data.caps.mxstep = caps[0] != 0 ? caps[0] : defaults.mxstep;
  data.caps.mxh = caps[1] != 0 ? caps[1] : defaults.mxh;
  data.caps.mxq = caps[2] != 0 ? caps[2] : defaults.mxq;
  data.caps.mxvd = caps[3] != 0 ? caps[3] : defaults.mxvd;
  data.caps.mxva = caps[4] != 0 ? caps[4] : defaults.mxva;

  data.lists.h = readList(in);
  data.lists.q = readList(in);
  data.lists.vd = readList(in);
  data.lists.va = readList(in);
  return data;
}

GraphData readGraphData(const std::string& name) {
  int fd = platform::openFile(name, platform::Access::ReadOrCreate);
  if (fd < 0) throw openFault(kGraphDataUnit, name, false);
  LineInput in(fd, name, kGraphDataUnit, true);
  return readGraphData(in);
}

}  // namespace gw::timehist
