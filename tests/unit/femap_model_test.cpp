// The FEMAP model and group writers: what they refuse, and what they leave
// behind when they do.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "fault.hpp"
#include "writers.hpp"

namespace gw::postconv {
namespace {

Mesh triangles(std::int32_t p1, std::int32_t p2) {
  Mesh m;
  m.numnp = 3;
  m.x = {0, 1, 1};
  m.y = {0, 0, 1};
  m.numel = 2;
  m.ie = {1, 2, 3, 3, p1, 1, 3, 2, 0, p2};
  return m;
}

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FemapModelTest, PropertyNumberBeyondFiveColumnsIsRefusedBeforeWriting) {
  TextOut out;
  const Mesh m = triangles(7, 100000);
  try {
    writeFemapModel(out, m);
    FAIL() << "no refusal";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.kind(), FaultKind::Refused);
    EXPECT_NE(std::string(fault.what()).find("element 2 has property number 100000"), std::string::npos)
        << fault.what();
  }
  EXPECT_EQ(out.bytesWritten(), 0u);
}

TEST(FemapModelTest, RefusalKeepsAnExistingOutputFile) {
  const std::string name = ::testing::TempDir() + "femap_refused.neu";
  {
    std::ofstream old(name, std::ios::binary);
    old << "earlier output\r\n";
  }
  {
    auto out = TextOut::openFile(name, kOutputUnit);
    EXPECT_THROW(writeFemapModel(*out, triangles(2147483647, 1)), Fault);
  }
  EXPECT_EQ(readFile(name), "earlier output\r\n");
  std::remove(name.c_str());
}

TEST(FemapModelTest, PropertyCountIsTheLargestNumberAndAtLeastOne) {
  auto propertyRecords = [](const Mesh& m) {
    TextOut out;
    writeFemapModel(out, m);
    out.flush();
    const std::string& text = out.captured();
    const std::size_t from = text.find("   402\r\n"), to = text.find("   403\r\n");
    std::size_t count = 0;
    for (std::size_t i = from; i < to; i = text.find("\r\n", i) + 2) ++count;
    return count - 3;  // the id line and the separators around the block
  };
  EXPECT_EQ(propertyRecords(triangles(0, -9)), 30u);
  EXPECT_EQ(propertyRecords(triangles(4, 2)), 4u * 30);
  EXPECT_EQ(propertyRecords(triangles(99, 1)), 99u * 30);
}

TEST(FemapModelTest, GroupTakesTheNextIdEachTime) {
  const Mesh m = triangles(1, 0);
  Counters counters;
  TextOut out;
  writeFemapGroup(out, m, counters);
  writeFemapGroup(out, m, counters);
  out.flush();
  EXPECT_EQ(counters.femapNextId, 20002);
  EXPECT_NE(out.captured().find("   408\r\n       20001 ,1\r\n"), std::string::npos);
  EXPECT_NE(out.captured().find("   408\r\n       20002 ,1\r\n"), std::string::npos);
  // Only element 1 (property 1) is listed.
  EXPECT_NE(out.captured().find(" 21\r\n           1 ,0,1,1,\r\n -1,-1,-1,-1,\r\n"), std::string::npos);
}

}  // namespace
}  // namespace gw::postconv
