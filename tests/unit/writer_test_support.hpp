// Small builders shared by the writer tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "result_file.hpp"

namespace gw::testing {

// A step with the given element results; every node has head `h` and Q `q`.
inline Step elementStep(const Mesh& m, RunArray<double> dvx, RunArray<double> dvy, RunArray<double> d,
                        double time = 1.0, double h = 0.0, double q = 0.0) {
  Step s;
  s.time = time;
  s.istat.assign(m.nodes(), 0);
  s.h.assign(m.nodes(), h);
  s.q.assign(m.nodes(), q);
  s.dvx = std::move(dvx);
  s.dvy = std::move(dvy);
  s.d = std::move(d);
  return s;
}

// The records of a text, without their CR LF ends.
inline std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(text.substr(start, end - start));
  }
  return out;
}

}  // namespace gw::testing
