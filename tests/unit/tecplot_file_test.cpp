// A whole TECPLOT file, written from a generated mesh and several steps, read
// back zone by zone and checked against the data it was written from and
// against node averages computed here independently of the writer.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "writers.hpp"

namespace gw::postconv {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line not ended by CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The value of a 12-column field; the whole field must be a number.
double field(const std::string& text, const std::string& where) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << where << ": '" << text << "'";
  return v;
}

// Five significant digits: within half a unit of the fifth digit.
void expectRendered(double actual, double expected, const std::string& where) {
  EXPECT_LE(std::fabs(actual - expected), 5.0001e-5 * std::fabs(expected)) << where;
}

struct GeneratedRun {
  Mesh mesh;
  std::vector<Step> steps;
};

// A grid of quadrilaterals with every fourth cell split into two triangles
// (the third corner repeated as the fourth), assorted property numbers with
// inactive ones among them, uneven coordinates and three steps of results.
GeneratedRun generate(int nx, int ny) {
  std::mt19937 rng(7321);
  std::uniform_real_distribution<double> value(-80.0, 80.0);
  std::uniform_real_distribution<double> divisor(0.05, 4.0);
  const int props[] = {1, 3, 0, 2, -4, 1};
  GeneratedRun run;
  Mesh& m = run.mesh;
  m.title = "GENERATED GRID FOR READ-BACK";
  m.title.resize(80, ' ');
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      m.x.push_back(i * 37.5 - 120.0 + 0.0131 * j);
      m.y.push_back(j * 1.0e3 / 7.0);
    }
  }
  m.numnp = static_cast<std::int32_t>(m.x.size());
  auto node = [&](int i, int j) { return j * (nx + 1) + i + 1; };
  int cell = 0;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i, ++cell) {
      const int a = node(i, j), b = node(i + 1, j), c = node(i + 1, j + 1), d = node(i, j + 1);
      const int p = props[cell % 6];
      if (cell % 4 == 1) {
        m.ie.insert(m.ie.end(), {a, b, c, c, p});
        m.ie.insert(m.ie.end(), {a, c, d, d, p});
      } else {
        m.ie.insert(m.ie.end(), {a, b, c, d, p});
      }
    }
  }
  m.numel = static_cast<std::int32_t>(m.ie.size() / 5);
  for (int s = 0; s < 3; ++s) {
    Step st;
    st.la = s + 1;
    st.time = 3600.0 * (s + 1) / 3.0;
    for (int n = 0; n < m.numnp; ++n) {
      st.istat.push_back(0);
      st.h.push_back(value(rng));
      st.q.push_back(0.0);
    }
    for (int e = 0; e < m.numel; ++e) {
      st.dvx.push_back(value(rng) * 1e-3);
      st.dvy.push_back(value(rng) * 1e4);
      st.d.push_back(divisor(rng));
    }
    run.steps.push_back(std::move(st));
  }
  return run;
}

// Per node: the six velocity values of the file, from the element list of
// each node gathered here (distinct corners of each active element).
std::vector<std::array<double, 6>> expectedVelocities(const Mesh& m, const Step& st) {
  std::vector<std::vector<int>> around(static_cast<std::size_t>(m.numnp));
  for (int e = 1; e <= m.numel; ++e) {
    if (m.property(e) <= 0) continue;
    std::vector<int> corners;
    for (int c = 1; c <= 4; ++c) {
      const int n = m.corner(e, c);
      bool seen = false;
      for (int k : corners) seen = seen || k == n;
      if (!seen) corners.push_back(n);
    }
    for (int n : corners) around[n - 1].push_back(e);
  }
  std::vector<std::array<double, 6>> v;
  for (const std::vector<int>& elements : around) {
    long double sx = 0, sy = 0, sxd = 0, syd = 0;
    for (int e : elements) {
      sx += st.dvx[e - 1];
      sy += st.dvy[e - 1];
      sxd += st.dvx[e - 1] / st.d[e - 1];
      syd += st.dvy[e - 1] / st.d[e - 1];
    }
    const long double k = elements.empty() ? 1 : elements.size();
    const double ax = sx / k, ay = sy / k, axd = sxd / k, ayd = syd / k;
    v.push_back({ax, ay, std::sqrt(ax * ax + ay * ay), axd, ayd, std::sqrt(axd * axd + ayd * ayd)});
  }
  return v;
}

TEST(TecplotFileTest, WholeFileMatchesTheData) {
  const GeneratedRun run = generate(11, 7);
  const Mesh& m = run.mesh;
  TextOut out;
  KeptSteps kept;
  for (const Step& st : run.steps) writeTecplotStep(out, m, st, kept);
  out.flush();
  const std::vector<std::string> lines = splitLines(out.captured());

  std::vector<int> active;
  for (int e = 1; e <= m.numel; ++e) {
    if (m.property(e) > 0) active.push_back(e);
  }
  ASSERT_GT(active.size(), 0u);
  ASSERT_LT(active.size(), static_cast<std::size_t>(m.numel));

  std::size_t i = 0;
  for (const Step& st : run.steps) {
    const std::string zone = "zone " + std::to_string(st.la);
    ASSERT_LE(i + 3, lines.size()) << zone;
    const std::string& title = lines[i];
    ASSERT_EQ(title.size(), 15u + 12 + 1 + 80 + 1) << zone;
    EXPECT_EQ(title.substr(0, 15), "TITTLE = \"TIME=");
    expectRendered(field(title.substr(15, 12), zone), st.time, zone + " time");
    EXPECT_EQ(title.substr(27), " " + m.title + "\"");
    EXPECT_EQ(lines[i + 1], "VARIABLES = \"X\",\"Y\",\"H\",\"VX\",\"VY\",\"V\",\"VX/D\",\"VY/D\",\"V/D\"");
    const std::string& zoneLine = lines[i + 2];
    ASSERT_EQ(zoneLine.size(), 34u) << zoneLine;
    EXPECT_EQ(zoneLine.substr(0, 8), "ZONE N= ");
    EXPECT_EQ(std::atoi(zoneLine.substr(8, 5).c_str()), m.numnp);
    EXPECT_EQ(zoneLine.substr(13, 5), ", E= ");
    const int count = std::atoi(zoneLine.substr(18, 5).c_str());
    EXPECT_EQ(count, static_cast<int>(active.size()));
    EXPECT_EQ(zoneLine.substr(23), ", F=FEPOINT");
    i += 3;

    const std::vector<std::array<double, 6>> expected = expectedVelocities(m, st);
    ASSERT_LE(i + static_cast<std::size_t>(m.numnp) + active.size(), lines.size()) << zone;
    for (int n = 1; n <= m.numnp; ++n, ++i) {
      const std::string& line = lines[i];
      const std::string where = zone + " node " + std::to_string(n);
      ASSERT_EQ(line.size(), 9u * 13) << where;
      std::vector<double> values;
      for (int f = 0; f < 9; ++f) {
        EXPECT_EQ(line[13 * f + 12], ',') << where;
        values.push_back(field(line.substr(13 * f, 12), where));
      }
      expectRendered(values[0], m.x[n - 1], where + " X");
      expectRendered(values[1], m.y[n - 1], where + " Y");
      expectRendered(values[2], st.h[n - 1], where + " H");
      for (int k = 0; k < 6; ++k) expectRendered(values[3 + k], expected[n - 1][k], where + " value " + std::to_string(4 + k));
    }
    for (int e : active) {
      const std::string& line = lines[i++];
      ASSERT_EQ(line.size(), 23u) << line;
      for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(std::atoi(line.substr(6 * c, 5).c_str()), m.corner(e, c + 1)) << "element " << e;
        if (c > 0) {
          EXPECT_EQ(line[6 * c - 1], ',');
        }
      }
    }
  }
  EXPECT_EQ(i, lines.size()) << "lines after the last zone";
}

// A zone for an empty node list and negative counts: the header alone.
TEST(TecplotFileTest, NoNodesAndNoElements) {
  Mesh m;
  m.numnp = 0;
  m.numel = -3;
  Step st;
  st.time = -2.5;
  TextOut out;
  KeptSteps kept;
  writeTecplotStep(out, m, st, kept);
  out.flush();
  EXPECT_EQ(out.captured(),
            "TITTLE = \"TIME= -2.5000E+00 " + std::string(80, ' ') + "\"\r\n"
            "VARIABLES = \"X\",\"Y\",\"H\",\"VX\",\"VY\",\"V\",\"VX/D\",\"VY/D\",\"V/D\"\r\n"
            "ZONE N=     0, E=     0, F=FEPOINT\r\n");
}

}  // namespace
}  // namespace gw::postconv
