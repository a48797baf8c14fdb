// The rxVIEW step writer with awkward element data: corner numbers that name
// no node, a divisor D of 0, negative counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "writer_test_support.hpp"
#include "writers.hpp"

namespace gw::postconv {
namespace {

// Nodes at (0,0), (3,0), (0,3), (3,3) with BL 1..4; the given elements.
Mesh square(RunArray<std::int32_t> ie) {
  Mesh m;
  m.numnp = 4;
  m.x = {0, 3, 0, 3};
  m.y = {0, 0, 3, 3};
  m.bl = {1, 2, 3, 4};
  m.numel = static_cast<std::int32_t>(ie.size() / 5);
  m.ie = std::move(ie);
  return m;
}

std::vector<std::string> block(const Mesh& m, const Step& s) {
  TextOut out;
  KeptSteps kept;
  writeRxviewStep(out, m, s, kept);
  out.flush();
  return testing::crlfLines(out.captured());
}

TEST(RxviewStepTest, CentreTakesOnlyCornersThatNameNodes) {
  // Element 1: a triangle 1, 9, 2 (9 is no node): centre of nodes 1 and 2.
  // Element 2: a quadrilateral 0, -4, 4, 3: centre of nodes 4 and 3.
  // Element 3: a triangle 0, 5, 6, 6: no valid corner, centred at 0.0, 0.0.
  // Corners are written as stored, and only valid corners take the averages.
  const Mesh m = square({1, 9, 2, 2, 1, 0, -4, 4, 3, 2, 0, 5, 6, 6, 3});
  const std::vector<std::string> l = block(m, testing::elementStep(m, {2, 4, 8}, {0, 0, 0}, {1, 2, 4}, 2.0, 5.0, -1.0));
  ASSERT_EQ(l.size(), 4u + 4u + 1u + 3u);
  EXPECT_EQ(l[2], "ZONE N=     4, E=     3,M= 1 ,NV= 9 ,EV= 5");
  EXPECT_EQ(l[4], " 0,  0.0000E+00,  0.0000E+00,  5.0000E+00,  2.0000E+00,  0.0000E+00,  2.0000E+00,"
                  "  2.0000E+00,  0.0000E+00,  2.0000E+00,  1.0000E+00, -1.0000E+00");
  EXPECT_EQ(l[6], " 0,  0.0000E+00,  3.0000E+00,  5.0000E+00,  2.0000E+00,  0.0000E+00,  2.0000E+00,"
                  "  4.0000E+00,  0.0000E+00,  4.0000E+00,  3.0000E+00, -1.0000E+00");
  EXPECT_EQ(l[9], " 0,    1,    9,    2,    2,    1,  1.5000E+00,  0.0000E+00,  2.0000E+00,  0.0000E+00,  2.0000E+00");
  EXPECT_EQ(l[10], " 0,    0,   -4,    4,    3,    1,  1.5000E+00,  3.0000E+00,  2.0000E+00,  0.0000E+00,  2.0000E+00");
  EXPECT_EQ(l[11], " 0,    0,    5,    6,    6,    1,  0.0000E+00,  0.0000E+00,  2.0000E+00,  0.0000E+00,  2.0000E+00");
}

TEST(RxviewStepTest, ZeroDivisorGivesNonFiniteVelocities) {
  // Element 1 (D 0, DVX 3, DVY 0): VX infinite, VY 0/0; element 2 (D 0, DVX -1):
  // VX minus infinity. Node 1's magnitude of an infinite and a NaN component is
  // NaN; node 2 averages both elements: infinity and minus infinity make NaN.
  const Mesh m = square({1, 2, 4, 4, 1, 2, 4, 3, 3, 1});
  const std::vector<std::string> l = block(m, testing::elementStep(m, {3, -1}, {0, 0}, {0, 0}, 2.0, 5.0, -1.0));
  ASSERT_EQ(l.size(), 4u + 4u + 1u + 2u);
  EXPECT_EQ(l[4], " 0,  0.0000E+00,  0.0000E+00,  5.0000E+00,    Infinity,         NaN,         NaN,"
                  "  3.0000E+00,  0.0000E+00,  3.0000E+00,  1.0000E+00, -1.0000E+00");
  EXPECT_EQ(l[5], " 0,  3.0000E+00,  0.0000E+00,  5.0000E+00,         NaN,         NaN,         NaN,"
                  "  1.0000E+00,  0.0000E+00,  1.0000E+00,  2.0000E+00, -1.0000E+00");
  EXPECT_EQ(l[9], " 0,    1,    2,    4,    4,    1,  2.0000E+00,  1.0000E+00,    Infinity,         NaN,    Infinity");
  EXPECT_EQ(l[10], " 0,    2,    4,    3,    3,    1,  2.0000E+00,  2.0000E+00,   -Infinity,         NaN,    Infinity");
}

TEST(RxviewStepTest, NegativeCountsWriteNoNodeOrElementLines) {
  Mesh m = square({});
  m.numnp = -3;
  m.numel = -1;
  const std::vector<std::string> l = block(m, testing::elementStep(m, {}, {}, {}, 2.0, 5.0, -1.0));
  ASSERT_EQ(l.size(), 5u);
  EXPECT_EQ(l[0], "TIME=  2.0000E+00");
  EXPECT_EQ(l[2], "ZONE N=    -3, E=     0,M= 1 ,NV= 9 ,EV= 5");
  EXPECT_EQ(l[4], "EVARIABLES = \"SW\",\"I\",\"J\",\"K\",\"L\",\"P\",\"X\",\"Y\",\"VX\",\"VY\",\"V\"");
}

}  // namespace
}  // namespace gw::postconv
