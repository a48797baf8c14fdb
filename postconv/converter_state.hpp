// What the converter driver owns for the whole run besides the run state it
// shares with the exporter: the writers' counters, the output codes and the
// unit numbers of its other files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "kept_lines.hpp"
#include "node_averages.hpp"
#include "run_state.hpp"

namespace gw::postconv {

// Counters shared by the writers of one run.
struct Counters {
  std::int32_t femapNextId = 20000;  // FEMAP_NEXT_ID, advanced by the FEMAP group writer
  std::int32_t femapSetNo = 0;       // FEMAP_SET_NO, advanced by the FEMAP step writer
  std::int32_t avsSteps = 0;         // AVS_STEPS, advanced by the MicroAVS step writer
};

// The lines the step writers keep from one step to the next of a run, so that
// what repeats in them is rendered once.
struct KeptSteps {
  KeptLines nodes;     // a line per node
  KeptLines elements;  // a line per element (per active element in rxVIEW data)
  KeptLines points;    // a line per INTERP point

  // The active elements around each node, listed on the first step that
  // averages velocities onto the nodes.
  const NodeElements& nodeElements(const Mesh& mesh) {
    if (!nodeElements_) nodeElements_.emplace(mesh);
    return *nodeElements_;
  }

  // The numbers of the active elements in order, listed on the first step
  // (in run memory, sized once).
  const RunArray<std::int32_t>& activeElements(const Mesh& mesh) {
    if (!activeListed_) {
      active_.reserve(static_cast<std::size_t>(std::max(mesh.elements(), 0)));
      for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
        if (isActive(mesh, e)) active_.push_back(e);
      }
      activeListed_ = true;
    }
    return active_;
  }

 private:
  std::optional<NodeElements> nodeElements_;
  RunArray<std::int32_t> active_;
  bool activeListed_ = false;
};

// KTYPE, the internal output code: the menu number below 3, the menu number
// plus 1 from 3 on (no kind has code 3).
enum Ktype : std::int32_t { kRestart = 1, kTecplot = 2, kFemap = 4, kMicroAvs = 5, kRxview = 6, kInterp = 7 };

// Fixed unit numbers of the converter's other files, shown in diagnostics.
inline constexpr int kWorkListUnit = 98;
inline constexpr int kAvsTmpUnit = 30;
inline constexpr int kPointUnit = 11;

}  // namespace gw::postconv
