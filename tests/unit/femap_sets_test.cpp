// The FEMAP step writer: its node averaging and the output vectors of awkward
// meshes (stray corner numbers, no nodes or no elements, values that are not
// numbers).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "writer_test_support.hpp"
#include "writers.hpp"

namespace gw::postconv {
namespace {

Mesh meshOf(std::int32_t nodes, const std::vector<std::vector<std::int32_t>>& elements) {
  Mesh m;
  m.numnp = nodes;
  for (std::int32_t n = 0; n < nodes; ++n) {
    m.x.push_back(n);
    m.y.push_back(0);
  }
  for (const auto& e : elements) m.ie.insert(m.ie.end(), e.begin(), e.end());
  m.numel = static_cast<std::int32_t>(elements.size());
  return m;
}

// The records of the vector whose first record ends with ",<id>,1,".
std::vector<std::string> vectorRecords(const std::vector<std::string>& all, int id) {
  const std::string tag = " ," + std::to_string(id) + ",1,";
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].size() == 12 + tag.size() && all[i].ends_with(tag)) {
      std::size_t end = i + 7;
      while (end < all.size() && !all[end].starts_with("          -1 ,")) ++end;
      return {all.begin() + static_cast<std::ptrdiff_t>(i), all.begin() + static_cast<std::ptrdiff_t>(end + 1)};
    }
  }
  ADD_FAILURE() << "no vector " << id;
  return {};
}

std::string writeStep(const Mesh& m, const Step& s, NodeWork& work, Counters& counters) {
  TextOut out;
  writeFemapStep(out, m, s, work, counters);
  out.flush();
  return out.captured();
}

TEST(FemapSetsTest, RepeatedCornerCountsTwiceAndStaleWorkIsCleared) {
  // Element 1: triangle 1 2 3 stored as 1 2 3 3; element 2: triangle 2 4 3 stored with a 0.
  const Mesh m = meshOf(5, {{1, 2, 3, 3, 0}, {2, 4, 3, 0, -1}});
  const Step s = testing::elementStep(m, {3.0, 6.0}, {0.0, 3.0}, {1.5, 3.0});
  NodeWork work;
  work.resize(m.numnp);
  work.wvx.assign(5, 99.0);
  work.wcnt.assign(5, 7);
  Counters counters;
  writeStep(m, s, work, counters);
  EXPECT_EQ(work.wcnt, (RunArray<std::int32_t>{1, 2, 3, 1, 0}));
  EXPECT_DOUBLE_EQ(work.wvx[2], (3.0 + 3.0 + 6.0) / 3);  // node 3 takes element 1 twice
  EXPECT_DOUBLE_EQ(work.wvy[2], 1.0);
  EXPECT_DOUBLE_EQ(work.wvxd[2], (2.0 + 2.0 + 2.0) / 3);
  EXPECT_DOUBLE_EQ(work.wvyd[1], (0.0 + 1.0) / 2);
  EXPECT_EQ(work.wvx[4], 0.0);  // node 5 belongs to no element
  EXPECT_EQ(counters.femapSetNo, 1);
}

TEST(FemapSetsTest, CornerEntriesThatNameNoNodeAreSkipped) {
  const Mesh m = meshOf(3, {{1, -4, 2, 3, 1}, {2, 3, 70000, 2147483647, 1}, {-2147483647 - 1, 1, 0, 0, 1}});
  const Step s = testing::elementStep(m, {1.0, 2.0, 4.0}, {0.0, 0.0, 0.0}, {1.0, 1.0, 1.0});
  NodeWork work;
  work.resize(m.numnp);
  Counters counters;
  const std::vector<std::string> all = testing::crlfLines(writeStep(m, s, work, counters));
  EXPECT_EQ(work.wcnt, (RunArray<std::int32_t>{2, 2, 2}));
  EXPECT_DOUBLE_EQ(work.wvx[0], (1.0 + 4.0) / 2);
  EXPECT_DOUBLE_EQ(work.wvx[1], (1.0 + 2.0) / 2);
  EXPECT_DOUBLE_EQ(work.wvx[2], (1.0 + 2.0) / 2);
  // The element vectors still list every element.
  EXPECT_EQ(vectorRecords(all, 70011).size(), 7u + 3 + 1);
}

TEST(FemapSetsTest, VectorsWithoutEntities) {
  // Nodes but no elements: the six element vectors are empty.
  {
    const Mesh m = meshOf(2, {});
    const Step s = testing::elementStep(m, {}, {}, {});
    NodeWork work;
    work.resize(m.numnp);
    Counters counters;
    const std::vector<std::string> all = testing::crlfLines(writeStep(m, s, work, counters));
    for (int id : {70010, 70011, 70012, 70013, 70014, 70015}) {
      const std::vector<std::string> v = vectorRecords(all, id);
      ASSERT_EQ(v.size(), 8u) << id;
      EXPECT_EQ(v[2], "  0.0000000E+00  0.0000000E+00  0.0000000E+00") << id;
      EXPECT_EQ(v[5], "           1 ,           1 ,1,8,") << id;
      EXPECT_EQ(v[6], " 0,1,1,") << id;
      EXPECT_EQ(v[7], "          -1 ,  0.0000000E+00") << id;
    }
    EXPECT_EQ(vectorRecords(all, 13).size(), 7u + 2 + 1);
  }
  // Neither nodes nor elements (a negative count included): only the frames.
  {
    Mesh m = meshOf(0, {});
    m.numel = -3;
    const Step s = testing::elementStep(m, {}, {}, {});
    NodeWork work;
    Counters counters;
    const std::vector<std::string> all = testing::crlfLines(writeStep(m, s, work, counters));
    ASSERT_EQ(all.size(), 9u + 2 + 14 * 8 + 1);
    const std::vector<std::string> head = vectorRecords(all, 10);
    ASSERT_EQ(head.size(), 8u);
    EXPECT_EQ(head[5], "           1 ,           1 ,6,7,");
    const std::vector<std::string> velocity = vectorRecords(all, 16);
    ASSERT_EQ(velocity.size(), 8u);
    EXPECT_EQ(velocity[2], "  0.0000000E+00  0.0000000E+00  0.0000000E+00");
    EXPECT_EQ(velocity[7], "          -1 ,  0.000000000000000E+000");
  }
}

TEST(FemapSetsTest, ExtremesSkipValuesThatAreNotNumbers) {
  // D = 0 makes element 1's velocities not-a-number (0/0); element 3's is -3.
  const Mesh m = meshOf(4, {{1, 2, 3, 4, 1}, {2, 3, 4, 4, 1}, {1, 3, 4, 4, 1}, {1, 2, 4, 4, 1}});
  const Step s = testing::elementStep(m, {0.0, 2.0, -3.0, 2.0}, {0.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 1.0, 1.0});
  NodeWork work;
  work.resize(m.numnp);
  Counters counters;
  const std::vector<std::string> all = testing::crlfLines(writeStep(m, s, work, counters));
  const std::vector<std::string> vx = vectorRecords(all, 70014);
  ASSERT_EQ(vx.size(), 7u + 4 + 1);
  EXPECT_EQ(vx[2], "  -3.000000       2.000000       3.000000    ");
  EXPECT_EQ(vx[5], "           3 ,           2 ,1,8,");  // equal maxima: the first one wins
  EXPECT_EQ(vx[7], "           1 ,            NaN");
  // Every node touches element 1, so every node average is not a number.
  const std::vector<std::string> nodeVx = vectorRecords(all, 17);
  ASSERT_EQ(nodeVx.size(), 7u + 4 + 1);
  EXPECT_TRUE(std::isnan(std::strtod(nodeVx[2].substr(0, 15).c_str(), nullptr))) << nodeVx[2];
  EXPECT_EQ(nodeVx[5], "           1 ,           1 ,1,7,");
}

}  // namespace
}  // namespace gw::postconv
