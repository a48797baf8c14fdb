// Run arrays share large blocks of memory: arrays made, grown and freed in any
// order keep their own values.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "run_array.hpp"

namespace gw {
namespace {

std::uint32_t valueAt(std::size_t array, std::size_t i) { return static_cast<std::uint32_t>(array * 1000003 + i); }

void fill(RunArray<std::uint32_t>& a, std::size_t array) {
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = valueAt(array, i);
}

bool intact(const RunArray<std::uint32_t>& a, std::size_t array) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != valueAt(array, i)) return false;
  }
  return true;
}

TEST(RunMemoryTest, ArraysKeepTheirValuesWhateverIsMadeOrFreedBesideThem) {
  // Small (heap), block-sized, and larger than a block.
  const std::size_t sizes[] = {10, 5000, 70000, 300000, 9 << 20};
  std::vector<RunArray<std::uint32_t>> arrays;
  for (std::size_t k = 0; k < 3 * std::size(sizes); ++k) {
    arrays.emplace_back(sizes[k % std::size(sizes)]);
    fill(arrays.back(), k);
  }
  // Free every third (the last made among them), grow others past their room,
  // then make new arrays in the freed space.
  for (std::size_t k = 0; k < arrays.size(); k += 3) RunArray<std::uint32_t>().swap(arrays[k]);
  for (std::size_t k = 1; k < arrays.size(); k += 3) {
    arrays[k].resize(arrays[k].size() * 2 + 1);
    fill(arrays[k], k);
  }
  for (std::size_t k = 0; k < arrays.size(); k += 3) {
    arrays[k].assign(sizes[(k + 2) % std::size(sizes)], 0);
    fill(arrays[k], k);
  }
  for (std::size_t k = 0; k < arrays.size(); ++k) EXPECT_TRUE(intact(arrays[k], k)) << "array " << k;
}

}  // namespace
}  // namespace gw
