// What the converter driver owns for the whole run and hands to the writers.
#pragma once

#include <cstdint>

#include "result_file.hpp"
#include "run_array.hpp"

namespace gw::postconv {

// The most nodes and the most elements the converter holds (LD, the row
// capacity of the element table).
inline constexpr std::int32_t kCapacity = 44444;

// Scratch node arrays the step writers fill anew for every step: node averages
// of DVX, DVY, DVX/D, DVY/D (WVX, WVY, WVXD, WVYD) and how many values each
// average holds (WCNT).
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

// Counters shared by the writers of one run.
struct Counters {
  std::int32_t femapNextId = 20000;  // FEMAP_NEXT_ID, advanced by the FEMAP group writer
  std::int32_t femapSetNo = 0;       // FEMAP_SET_NO, advanced by the FEMAP step writer
  std::int32_t avsSteps = 0;         // AVS_STEPS, advanced by the MicroAVS step writer
};

// KTYPE, the internal output code: the menu number below 3, the menu number
// plus 1 from 3 on (no kind has code 3).
enum Ktype : std::int32_t { kRestart = 1, kTecplot = 2, kFemap = 4, kMicroAvs = 5, kRxview = 6, kInterp = 7 };

// Fixed unit numbers of the converter's files, shown in diagnostics.
inline constexpr int kResultUnit = 10;
inline constexpr int kWorkListUnit = 98;
inline constexpr int kOutputUnit = 8;
inline constexpr int kAvsTmpUnit = 30;
inline constexpr int kPointUnit = 11;

}  // namespace gw::postconv
