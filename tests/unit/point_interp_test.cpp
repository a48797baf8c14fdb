// The INTERP step block: time line, header line and one head line per point.
#include <gtest/gtest.h>

#include "writers.hpp"

namespace gw::postconv {
namespace {

// The block of one step; a second step over the kept lines must read the same.
std::string block(const PointSet& points, const Step& step) {
  KeptLines lines;
  TextOut first, second;
  writePointStep(first, points, step, lines);
  writePointStep(second, points, step, lines);
  first.flush();
  second.flush();
  EXPECT_EQ(first.captured(), second.captured());
  return first.captured();
}

TEST(PointInterpTest, HeadLinesAndOutsidePoints) {
  PointSet points;
  points.xp = {1.5, 7.0};
  points.yp = {-2.0, 8.0};
  points.w1 = {1.0, 0.0};
  points.w2 = {0.0, 0.0};
  points.w3 = {0.0, 0.0};
  points.n1 = {2, 0};  // the second point lies outside the mesh
  points.n2 = {1, 0};
  points.n3 = {1, 0};
  Step step;
  step.time = 1.0;
  step.h = {-5.0, 12.345};
  EXPECT_EQ(block(points, step),
            " TIME,   1.00000000000000     \r\n"
            "         X,             Y,             H\r\n"
            "   0.15000E+01,  -0.20000E+01,   0.12345E+02\r\n"
            "   0.70000E+01,   0.80000E+01,   0.00000E+00\r\n");
}

TEST(PointInterpTest, HeadIsSummedInOrder) {
  // W1 H1 + W2 H2 first, then W3 H3: with these values the other order
  // rounds differently.
  PointSet points;
  points.xp = {0.0};
  points.yp = {0.0};
  points.w1 = {1.0};
  points.w2 = {1.0};
  points.w3 = {1.0};
  points.n1 = {1};
  points.n2 = {2};
  points.n3 = {3};
  Step step;
  step.h = {1e20, -1e20, 3.0};
  EXPECT_NE((1e20 + (-1e20 + 3.0)), (1e20 + -1e20) + 3.0);
  const std::string text = block(points, step);
  EXPECT_EQ(text.substr(text.size() - 46), "   0.00000E+00,   0.00000E+00,   0.30000E+01\r\n");
}

}  // namespace
}  // namespace gw::postconv
