// The extractor's step loop: every step block up to the store's step capacity
// gathered into the series store, and the block after the last kept one read
// but not kept.
#pragma once

#include <cstdint>

#include "result_file.hpp"
#include "series_store.hpp"

namespace gw::timehist {

// Reads the step blocks after the mesh part and returns how many were kept.
// The faults are those of reading the blocks one after another, in file order.
//
// A long file is read by two threads: when every block is as long as the
// first, the second half of the blocks starts at a known offset, and a second
// reader takes it from there while this thread reads the first half. Should
// the first half end anywhere else, the second reader's work is set aside and
// the file is read on from where the first half ended.
std::int32_t readKeptSteps(ResultFile& result, const Mesh& mesh, SeriesStore& store);

}  // namespace gw::timehist
