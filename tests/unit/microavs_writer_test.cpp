// The MicroAVS step and final writers: step labels by the size of the ordinal,
// awkward element data, and the copy of the scratch file (widths, an empty or
// short scratch file).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "fault.hpp"
#include "writer_test_support.hpp"
#include "writers.hpp"

namespace gw::postconv {
namespace {

// Three nodes, one element with the given corners and property.
Mesh oneElement(RunArray<std::int32_t> ie) {
  Mesh m;
  m.numnp = 3;
  m.x = {0, 3, 0};
  m.y = {0, 0, 3};
  m.bl = {0, 0, 0};
  m.numel = 1;
  m.ie = std::move(ie);
  return m;
}

// The step section written for the step with the given ordinal.
std::vector<std::string> section(const Mesh& m, const Step& s, std::int32_t ordinal) {
  TextOut tmp;
  Counters counters;
  counters.avsSteps = ordinal - 1;
  KeptSteps kept;
  writeMicroAvsStep(tmp, m, s, kept, counters);
  EXPECT_EQ(counters.avsSteps, ordinal);
  tmp.flush();
  return testing::crlfLines(tmp.captured());
}

// The text blank-padded to the width.
std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string tempName(const char* tag) {
  std::string name = ::testing::TempDir() + "microavs_" + tag + "_";
  name.append(std::to_string(::getpid())).append(".tmp");
  return name;
}

TEST(MicroAvsStepTest, LabelHoldsTheOrdinalInAsManyDigitsAsItHas) {
  const Mesh m = oneElement({1, 2, 3, 3, 1});
  const Step s = testing::elementStep(m, {0}, {0}, {1}, 12.5);
  const std::pair<std::int32_t, const char*> cases[] = {
      {1, "step1  0.1250000E+02"},       {9, "step9  0.1250000E+02"},
      {10, "step10  0.1250000E+02"},     {99, "step99  0.1250000E+02"},
      {100, "step100  0.1250000E+02"},   {999, "step999  0.1250000E+02"},
      {1000, "step1000  0.1250000E+02"}, {9999, "step9999  0.1250000E+02"},
      {10000, "step****  0.1250000E+02"}, {123456, "step****  0.1250000E+02"},
  };
  for (const auto& [ordinal, label] : cases) {
    EXPECT_EQ(section(m, s, ordinal).front(), label) << ordinal;
  }
}

TEST(MicroAvsStepTest, ZeroDivisorAndValuesBeyondSinglePrecision) {
  Mesh m = oneElement({1, 2, 3, 4, 1});
  m.numnp = 4;
  m.x.push_back(3);
  m.y.push_back(3);
  m.numel = 2;
  m.ie = {1, 2, 3, 4, 1, 1, 2, 3, 4, 1};
  Step s = testing::elementStep(m, {2.0, 1.0e300}, {-2.0, 0.0}, {0.0, 1.0}, 1.0);
  const std::vector<std::string> l = section(m, s, 1);
  ASSERT_EQ(l.size(), 17u + 4u + 2u);
  // Element 1: DVX/0 and DVY/0 are infinite; element 2 overflows single precision.
  EXPECT_EQ(l[21], "       1  2.00000E+00 -2.00000E+00  2.82843E+00     Infinity    -Infinity     Infinity ");
  EXPECT_EQ(l[22], "       2     Infinity  0.00000E+00     Infinity     Infinity  0.00000E+00     Infinity ");
  for (std::size_t n = 10; n < 14; ++n) EXPECT_EQ(l[n].size(), 100u) << l[n];
}

TEST(MicroAvsStepTest, CornersOutsideTheMeshAreSkippedInTheAverages) {
  // Active element with corners 0, 2, 7 (three corners; 0 and 7 name no node):
  // only node 2 takes its values; the element data line is written as usual.
  const Mesh m = oneElement({0, 2, 7, 7, 1});
  const Step s = testing::elementStep(m, {4.0}, {0.0}, {2.0}, 1.0);
  const std::vector<std::string> l = section(m, s, 1);
  ASSERT_EQ(l.size(), 17u + 3u + 1u);
  EXPECT_EQ(l[10], "       1  0.00000E+00  0.00000E+00  0.00000E+00  0.00000E+00  0.00000E+00  0.00000E+00  0.00000E+00 ");
  EXPECT_EQ(l[11], "       2  0.00000E+00  4.00000E+00  0.00000E+00  4.00000E+00  2.00000E+00  0.00000E+00  2.00000E+00 ");
  EXPECT_EQ(l[20], "       1  4.00000E+00  0.00000E+00  4.00000E+00  2.00000E+00  0.00000E+00  2.00000E+00 ");
}

TEST(MicroAvsFinalTest, ScratchLinesAreCutOrPaddedToTheirWidth) {
  // A hand-made scratch file: a long label line, lines longer than their
  // widths and one beyond the 200-character buffer, and short lines.
  const Mesh m = oneElement({1, 2, 3, 4, 1});
  const std::string name = tempName("hand");
  {
    std::ofstream f(name, std::ios::binary);
    f << std::string(40, 'L') << "\r\n";                          // label: 26
    f << "7   6 and more\r\n";                                     // 5
    f << "x\r\n";                                                  // 29
    for (int k = 0; k < 7; ++k) f << "label" << k << "\n";          // 11, 13 x 6 (LF alone)
    f << std::string(250, 'N') << "\r\n" << "\r\n" << "n\r\n";    // node data: 100
    f << "6\r\n";                                                  // 25
    for (int k = 0; k < 6; ++k) f << "E\r\n";                      // 13 x 6
    f << std::string(90, 'e');                                     // element data: 87, no line end
  }
  TextOut out;
  Counters counters;
  counters.avsSteps = 1;
  {
    auto tmp = TextOut::openFile(name, kAvsTmpUnit);  // keeps the hand-made content
    writeMicroAvsFinal(out, *tmp, m, counters);
  }
  out.flush();
  const std::vector<std::string> l = testing::crlfLines(out.captured());
  ASSERT_EQ(l.size(), 3u + 1 + 1 + 3 + 1 + 9 + 3 + 7 + 1);
  EXPECT_EQ(l[3], std::string(26, 'L'));
  EXPECT_EQ(l[8], "      1   1 quad        1       2       3       4");
  EXPECT_EQ(l[9], "7   6");
  EXPECT_EQ(l[10], padded("x", 29));
  EXPECT_EQ(l[11], "label0     ");
  EXPECT_EQ(l[12], "label1       ");
  EXPECT_EQ(l[18], std::string(100, 'N'));
  EXPECT_EQ(l[19], std::string(100, ' '));
  EXPECT_EQ(l[20], padded("n", 100));
  EXPECT_EQ(l[21], padded("6", 25));
  EXPECT_EQ(l[27], padded("E", 13));
  EXPECT_EQ(l[28], std::string(87, 'e'));
  std::remove(name.c_str());
}

// Thousands of node data lines, most of them as the step writer makes them and
// some not (longer, shorter, LF alone, beyond the buffer), so that both kinds
// meet the ends of the blocks the scratch file is read in.
TEST(MicroAvsFinalTest, LongSectionsOfAnyLinesAreCopiedLineByLine) {
  Mesh m = oneElement({1, 2, 3, 3, 1});
  m.numnp = 9000;
  for (auto* v : {&m.x, &m.y, &m.bl}) v->assign(9000, 0.0);
  const std::string name = tempName("long");
  std::vector<std::string> contents;
  {
    std::ofstream f(name, std::ios::binary);
    f << "step1\r\n";
    for (int k = 0; k < 9; ++k) f << "head\r\n";
    for (int k = 0; k < 9000; ++k) {
      // Lines of every length near 100 in the first and last thirds.
      const bool odd = k < 3000 || k >= 6000;
      std::string text(odd ? 92 + k % 15 : 100, static_cast<char>('a' + k % 26));
      const char* end = odd && k % 7 == 0 ? "\n" : "\r\n";
      if (k % 611 == 0) text.resize(101 + k % 200, 'x');
      if (k % 733 == 0) text.resize(k % 100);
      if (k == 4000 || k == 4001) text.resize(static_cast<std::size_t>(4050 - k));  // 50, LF; 49, CR LF: 102 bytes
      if (k == 4000) end = "\n";
      contents.push_back(text);
      f << text << end;
    }
    for (int k = 0; k < 8; ++k) f << "tail\r\n";
  }
  TextOut out;
  Counters counters;
  counters.avsSteps = 1;
  {
    auto tmp = TextOut::openFile(name, kAvsTmpUnit);
    writeMicroAvsFinal(out, *tmp, m, counters);
  }
  out.flush();
  const std::vector<std::string> l = testing::crlfLines(out.captured());
  const std::size_t first = 3 + 1 + 1 + 9000 + 1 + 9;  // header, label, mesh (counts, nodes, cell), heads
  ASSERT_EQ(l.size(), first + 9000 + 8);
  for (std::size_t k = 0; k < 9000; ++k) ASSERT_EQ(l[first + k], padded(contents[k].substr(0, 100), 100)) << k;
  std::remove(name.c_str());
}

// Runs the final writer on a scratch file; returns what reached the output and
// the fault it ended with.
std::string finalWithFault(const std::string& name, const Mesh& m, std::int32_t steps, Fault* fault) {
  TextOut out;
  Counters counters;
  counters.avsSteps = steps;
  auto tmp = TextOut::openFile(name, kAvsTmpUnit);
  try {
    writeMicroAvsFinal(out, *tmp, m, counters);
    ADD_FAILURE() << "no fault";
  } catch (const Fault& f) {
    *fault = f;
  }
  out.flush();
  return out.captured();
}

TEST(MicroAvsFinalTest, EmptyScratchFileEndsWithItsEndOfFileFaultAfterTheHeader) {
  const Mesh m = oneElement({1, 2, 3, 3, 1});
  const std::string name = tempName("empty");
  { std::ofstream f(name, std::ios::binary); }
  Fault fault(FaultKind::CannotOpen, 0, "");
  EXPECT_EQ(finalWithFault(name, m, 0, &fault), "# QX-TOVA \r\n    0\r\ndata\r\n");
  EXPECT_EQ(fault.kind(), FaultKind::EndOfFile);
  EXPECT_EQ(fault.unit(), kAvsTmpUnit);
  EXPECT_EQ(fault.file(), name);
  std::remove(name.c_str());
}

TEST(MicroAvsFinalTest, ScratchFileShorterThanItsStepCountEndsWithTheFault) {
  // One section written, two announced: the copy of the second label meets the end.
  const Mesh m = oneElement({1, 2, 3, 3, 1});
  const std::string name = tempName("short");
  {
    auto tmp = TextOut::openFile(name, kAvsTmpUnit, true);
    Counters counters;
    KeptSteps kept;
    writeMicroAvsStep(*tmp, m, testing::elementStep(m, {1}, {0}, {1}, 1.0), kept, counters);
  }
  Fault fault(FaultKind::CannotOpen, 0, "");
  const std::vector<std::string> l = testing::crlfLines(finalWithFault(name, m, 2, &fault));
  EXPECT_EQ(l[1], "    2");
  EXPECT_EQ(l.size(), 3u + 1 + 1 + 3 + 1 + 16 + 3 + 1);
  EXPECT_EQ(fault.kind(), FaultKind::EndOfFile);
  EXPECT_EQ(fault.unit(), kAvsTmpUnit);
  std::remove(name.c_str());
}

}  // namespace
}  // namespace gw::postconv
