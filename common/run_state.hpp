// What the converter and the exporter hold for a whole run besides the result
// items themselves: their capacity, the unit numbers of their files, and the
// node arrays that the element velocities are averaged into.
#pragma once

#include <cstdint>

#include "run_array.hpp"

namespace gw {

// The most nodes and the most elements the converter and the exporter hold (LD,
// the row capacity of the element table).
inline constexpr std::int32_t kCapacity = 44444;

// Unit numbers of the result file and of the output files, shown in diagnostics.
inline constexpr int kResultUnit = 10;
inline constexpr int kOutputUnit = 8;

// Scratch node arrays filled anew for every step: node averages of DVX, DVY,
// DVX/D, DVY/D (WVX, WVY, WVXD, WVYD) and how many values each average holds
// (WCNT).
struct NodeWork {
  RunArray<double> wvx, wvy, wvxd, wvyd;
  RunArray<std::int32_t> wcnt;

  // Zeroes the sums and counts of `nodes` nodes.
  void resize(std::int32_t nodes) {
    std::size_t n = nodes > 0 ? static_cast<std::size_t>(nodes) : 0;
    wvx.assign(n, 0.0);
    wvy.assign(n, 0.0);
    wvxd.assign(n, 0.0);
    wvyd.assign(n, 0.0);
    wcnt.assign(n, 0);
  }

  // Adds one element's DVX, DVY and DVX/D, DVY/D to node slot i.
  void add(std::size_t i, double dvx, double dvy, double vx, double vy) {
    wvx[i] += dvx;
    wvy[i] += dvy;
    wvxd[i] += vx;
    wvyd[i] += vy;
    wcnt[i] += 1;
  }

  // Turns the sums into means; a node with no contribution keeps 0.0.
  void divideByCounts() {
    for (std::size_t i = 0; i < wcnt.size(); ++i) {
      if (wcnt[i] <= 0) continue;
      const double count = wcnt[i];
      wvx[i] /= count;
      wvy[i] /= count;
      wvxd[i] /= count;
      wvyd[i] /= count;
    }
  }
};

}  // namespace gw
