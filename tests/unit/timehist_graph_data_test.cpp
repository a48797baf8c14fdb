// The graph data file: capacities with their defaults, counts and lists in fixed
// columns, the faults of a short or malformed file, and a missing file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fault.hpp"
#include "graph_data.hpp"
#include "scratch_files.hpp"

namespace gw::timehist {
namespace {

GraphData readText(const std::string& text) {
  testing::TextInput in(text, "graph.dat", kGraphDataUnit);
  return readGraphData(*in);
}

FaultKind faultOf(const std::string& text) {
  try {
    readText(text);
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.unit(), kGraphDataUnit);
    return fault.kind();
  }
  ADD_FAILURE() << "no fault";
  return FaultKind::Refused;
}

using List = EntryList;

TEST(GraphDataTest, EmptyFirstLineTakesEveryDefault) {
  const GraphData g = readText("\n0\n0\n0\n0\n");
  EXPECT_EQ(g.caps.mxstep, 100);
  EXPECT_EQ(g.caps.mxh, 50);
  EXPECT_EQ(g.caps.mxq, 100);
  EXPECT_EQ(g.caps.mxvd, 50);
  EXPECT_EQ(g.caps.mxva, 50);
  EXPECT_TRUE(g.lists.h.empty() && g.lists.q.empty() && g.lists.vd.empty() && g.lists.va.empty());
}

TEST(GraphDataTest, CapacitiesInFiveColumnFields) {
  // Blanks inside a field are ignored; 0 is the default; negative values stay;
  // the sixth field is not read, so what it holds does not matter.
  const GraphData g = readText("  1 2    0   -3    7     xxxxx\n\n\n\n\n");
  EXPECT_EQ(g.caps.mxstep, 12);
  EXPECT_EQ(g.caps.mxh, 50);
  EXPECT_EQ(g.caps.mxq, -3);
  EXPECT_EQ(g.caps.mxvd, 7);
  EXPECT_EQ(g.caps.mxva, 50);
}

TEST(GraphDataTest, ListsOverSeveralLines) {
  const GraphData g = readText(
      "    5\n"
      "   12\n"
      "      1      2      3      4      5      6      7      8      9     10     99\n"
      "     11    1 2 not read\n"
      "\n"           // Q count blank: an empty list
      "   -4\n"      // VD count negative: an empty list
      "    1\n"
      "     -7\n"
      "    0 rest of the file is not read\n"
      "garbage\n");
  EXPECT_EQ(g.caps.mxstep, 5);
  EXPECT_EQ(g.lists.h, (List{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_TRUE(g.lists.q.empty());
  EXPECT_TRUE(g.lists.vd.empty());
  EXPECT_EQ(g.lists.va, (List{-7}));
}

TEST(GraphDataTest, ShortOrMalformedFiles) {
  EXPECT_EQ(faultOf(""), FaultKind::EndOfFile);
  EXPECT_EQ(faultOf("    1\n    0\n    0\n    0\n"), FaultKind::EndOfFile);  // no VA count
  EXPECT_EQ(faultOf("\n   11\n      1\n"), FaultKind::EndOfFile);          // list cut short
  EXPECT_EQ(faultOf("  1x\n"), FaultKind::Conversion);
  EXPECT_EQ(faultOf("\n    2\n      1    2.5\n"), FaultKind::Conversion);
}

TEST(GraphDataTest, MissingFileIsCreatedEmptyAndEndsTheRead) {
  const gw::testing::ScratchDir dir;
  const std::string name = dir.file("graph.dat");
  try {
    readGraphData(name);
    ADD_FAILURE() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.kind(), FaultKind::EndOfFile);
    EXPECT_EQ(fault.file(), name);
  }
  EXPECT_TRUE(std::filesystem::exists(name));
  EXPECT_EQ(std::filesystem::file_size(name), 0u);
}

}  // namespace
}  // namespace gw::timehist
