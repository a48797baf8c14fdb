// The graph data file: the capacities of the series store and the four point
// lists, in fixed columns.
//
//   line 1        (6I5)   MXSTEP, MXH, MXQ, MXVD, MXVA (0: the default)
//   then, for the H, Q, VD and VA lists in turn:
//                 (I5)    the count
//                 (10I7)  the entries, ten to a line, when the count is above 0
#pragma once

#include <string>

#include "line_input.hpp"
#include "series_store.hpp"

namespace gw::timehist {

// Unit number of the graph data file, shown in diagnostics.
inline constexpr int kGraphDataUnit = 9;

struct GraphData {
  Capacities caps;
  PointLists lists;
};

// Reads the capacities and the four lists; nothing after the VA list is read.
GraphData readGraphData(LineInput& in);

// Opens the graph data file by name, reads it and closes it. A name that does
// not exist is created as an empty file, whose first read then meets its end.
GraphData readGraphData(const std::string& name);

}  // namespace gw::timehist
