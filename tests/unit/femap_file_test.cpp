// A whole FEMAP neutral file, written from a generated mesh and several steps,
// read back block by block and checked against the data it was written from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "writers.hpp"

namespace gw::postconv {
namespace {

struct Block {
  int id = 0;
  std::vector<std::string> records;
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line not ended by CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Each block: separator, id line, records, separator.
std::vector<Block> splitBlocks(const std::string& text) {
  const std::vector<std::string> lines = splitLines(text);
  std::vector<Block> blocks;
  std::size_t i = 0;
  while (i < lines.size()) {
    EXPECT_EQ(lines[i], "   -1") << "line " << i + 1;
    EXPECT_LT(i + 1, lines.size());
    if (i + 1 >= lines.size()) break;
    Block block;
    EXPECT_EQ(lines[i + 1].size(), 6u) << "line " << i + 2;
    block.id = std::atoi(lines[i + 1].c_str());
    i += 2;
    while (i < lines.size() && lines[i] != "   -1") block.records.push_back(lines[i++]);
    EXPECT_LT(i, lines.size()) << "block " << block.id << " not closed";
    ++i;
    blocks.push_back(std::move(block));
  }
  return blocks;
}

int intField(const std::string& line, std::size_t pos, std::size_t width) {
  return std::atoi(line.substr(pos, width).c_str());
}

// The value after the "i ," of an entity line.
double entityValue(const std::string& line) { return std::strtod(line.c_str() + 14, nullptr); }

void expectNear(double actual, double expected, double relative, const std::string& where) {
  EXPECT_LE(std::fabs(actual - expected), relative * std::fmax(std::fabs(expected), 1e-30)) << where;
}

struct GeneratedRun {
  Mesh mesh;
  std::vector<Step> steps;
};

// A grid of quadrilaterals, every third cell split into two triangles (stored
// with the fourth corner repeated or 0), assorted property numbers including 0
// and negative ones, and three steps of random results.
GeneratedRun generate(int nx, int ny) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> value(-50.0, 50.0);
  std::uniform_real_distribution<double> divisor(0.1, 5.0);
  const int props[] = {1, 2, 5, 0, -1, 1, 3};
  GeneratedRun run;
  Mesh& m = run.mesh;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      m.x.push_back(i * 12.5 + 0.003 * j);
      m.y.push_back(-j * 7.25);
    }
  }
  m.numnp = static_cast<std::int32_t>(m.x.size());
  auto node = [&](int i, int j) { return j * (nx + 1) + i + 1; };
  int cell = 0;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i, ++cell) {
      const int a = node(i, j), b = node(i + 1, j), c = node(i + 1, j + 1), d = node(i, j + 1);
      const int p = props[cell % 7];
      if (cell % 3 == 0) {
        m.ie.insert(m.ie.end(), {a, b, c, c, p});
        m.ie.insert(m.ie.end(), {a, c, d, 0, p});
      } else {
        m.ie.insert(m.ie.end(), {a, b, c, d, p});
      }
    }
  }
  m.numel = static_cast<std::int32_t>(m.ie.size() / 5);
  for (int s = 0; s < 3; ++s) {
    Step st;
    st.la = s + 1;
    st.time = 100.0 * (s + 1) + 0.5;
    for (int n = 0; n < m.numnp; ++n) {
      st.istat.push_back(0);
      st.h.push_back(value(rng));
      st.q.push_back(value(rng) / 1000.0);
    }
    for (int e = 0; e < m.numel; ++e) {
      st.dvx.push_back(value(rng));
      st.dvy.push_back(value(rng));
      st.d.push_back(divisor(rng));
    }
    run.steps.push_back(std::move(st));
  }
  return run;
}

// The fourteen vectors' values, computed here independently of the writer.
std::vector<std::vector<double>> expectedVectors(const Mesh& m, const Step& st) {
  const std::size_t nn = static_cast<std::size_t>(m.numnp);
  std::vector<double> sx(nn), sy(nn), svx(nn), svy(nn), cnt(nn);
  for (int e = 1; e <= m.numel; ++e) {
    for (int c = 1; c <= 4; ++c) {
      const int n = m.corner(e, c);
      if (n == 0) continue;
      sx[n - 1] += st.dvx[e - 1];
      sy[n - 1] += st.dvy[e - 1];
      svx[n - 1] += st.dvx[e - 1] / st.d[e - 1];
      svy[n - 1] += st.dvy[e - 1] / st.d[e - 1];
      cnt[n - 1] += 1;
    }
  }
  std::vector<std::vector<double>> v(14);
  for (std::size_t n = 0; n < nn; ++n) {
    const double k = cnt[n] > 0 ? cnt[n] : 1;
    const double ax = sx[n] / k, ay = sy[n] / k, avx = svx[n] / k, avy = svy[n] / k;
    v[0].push_back(st.h[n]);
    v[1].push_back(st.q[n]);
    v[2].push_back(std::sqrt(ax * ax + ay * ay));
    v[3].push_back(ax);
    v[4].push_back(ay);
    v[5].push_back(std::sqrt(avx * avx + avy * avy));
    v[6].push_back(avx);
    v[7].push_back(avy);
  }
  for (std::size_t e = 0; e < static_cast<std::size_t>(m.numel); ++e) {
    const double dx = st.dvx[e], dy = st.dvy[e], vx = dx / st.d[e], vy = dy / st.d[e];
    v[8].push_back(std::sqrt(dx * dx + dy * dy));
    v[9].push_back(dx);
    v[10].push_back(dy);
    v[11].push_back(std::sqrt(vx * vx + vy * vy));
    v[12].push_back(vx);
    v[13].push_back(vy);
  }
  return v;
}

TEST(FemapFileTest, WholeFileMatchesTheData) {
  const GeneratedRun run = generate(9, 6);
  const Mesh& m = run.mesh;
  TextOut out;
  Counters counters;
  NodeWork work;
  work.resize(m.numnp);
  writeFemapModel(out, m);
  writeFemapGroup(out, m, counters);
  for (const Step& st : run.steps) writeFemapStep(out, m, st, work, counters);
  out.flush();
  const std::vector<Block> blocks = splitBlocks(out.captured());

  std::vector<int> order;
  for (const Block& b : blocks) order.push_back(b.id);
  const std::vector<int> expectedOrder = {100, 401, 402, 403, 404, 408, 450, 451, 450, 451, 450, 451};
  ASSERT_EQ(order, expectedOrder);

  EXPECT_EQ(blocks[0].records.size(), 2u);
  EXPECT_EQ(blocks[1].records.size(), 33u);

  // Properties 1 .. 5 (the largest number in use), 30 records each.
  ASSERT_EQ(blocks[2].records.size(), 5u * 30);
  for (int p = 1; p <= 5; ++p) {
    EXPECT_EQ(blocks[2].records[(p - 1) * 30], "    " + std::to_string(p) + ",110,1,19,1,0,");
  }

  // Every node in order with its coordinates.
  ASSERT_EQ(blocks[3].records.size(), static_cast<std::size_t>(m.numnp));
  for (int n = 1; n <= m.numnp; ++n) {
    const std::string& line = blocks[3].records[n - 1];
    ASSERT_EQ(line.size(), 70u);
    EXPECT_EQ(intField(line, 0, 7), n);
    EXPECT_EQ(line.substr(7, 22), ",0,0,1,46,0,0,0,0,0,0,");
    expectNear(std::strtod(line.substr(29, 13).c_str(), nullptr), m.x[n - 1], 1e-6, line);
    expectNear(std::strtod(line.substr(43, 13).c_str(), nullptr), m.y[n - 1], 1e-6, line);
    EXPECT_EQ(line.substr(56), ", 0.000000E+00");
  }

  // Every element in order: property, topology and corners.
  ASSERT_EQ(blocks[4].records.size(), static_cast<std::size_t>(m.numel) * 7);
  std::vector<int> active;
  for (int e = 1; e <= m.numel; ++e) {
    const std::string& head = blocks[4].records[(e - 1) * 7];
    const std::string& corners = blocks[4].records[(e - 1) * 7 + 1];
    const bool three = m.corner(e, 4) == m.corner(e, 3) || m.corner(e, 4) == 0;
    EXPECT_EQ(intField(head, 0, 12), e);
    EXPECT_EQ(intField(head, 18, 12), m.property(e));
    EXPECT_EQ(intField(head, 35, 12), three ? 2 : 4);
    ASSERT_EQ(corners.size(), 80u);
    for (int c = 1; c <= 10; ++c) {
      const int want = c <= 3 ? m.corner(e, c) : (c == 4 && !three ? m.corner(e, 4) : 0);
      EXPECT_EQ(intField(corners, (c - 1) * 8, 7), want) << "element " << e << " field " << c;
    }
    if (m.property(e) > 0) active.push_back(e);
  }

  // The group lists the active elements between "21" and the closing records.
  const std::vector<std::string>& group = blocks[5].records;
  ASSERT_EQ(group.size(), 29 + active.size());
  EXPECT_EQ(group[0], "       20001 ,1");
  EXPECT_EQ(group[24], " 21");
  for (std::size_t k = 0; k < active.size(); ++k) {
    EXPECT_EQ(intField(group[25 + k], 0, 12), active[k]);
    EXPECT_EQ(group[25 + k].substr(12), " ,0,1,1,");
  }
  EXPECT_EQ(group[25 + active.size()], " -1,-1,-1,-1,");

  const int ids[] = {10, 12, 13, 14, 15, 16, 17, 18, 70010, 70011, 70012, 70013, 70014, 70015};
  for (std::size_t s = 0; s < run.steps.size(); ++s) {
    const Step& st = run.steps[s];
    const int setNo = static_cast<int>(s) + 1;
    const Block& set = blocks[6 + 2 * s];
    ASSERT_EQ(set.records.size(), 6u);
    EXPECT_EQ(intField(set.records[0], 0, 12), setNo);
    expectNear(std::strtod(set.records[3].c_str(), nullptr), st.time, 1e-6, set.records[3]);

    const std::vector<std::vector<double>> values = expectedVectors(m, st);
    const std::vector<std::string>& r = blocks[7 + 2 * s].records;
    std::size_t at = 0;
    for (int v = 0; v < 14; ++v) {
      const std::vector<double>& vals = values[v];
      const bool isDouble = v >= 2 && v <= 7;
      const std::string where = "set " + std::to_string(setNo) + " vector " + std::to_string(ids[v]);
      ASSERT_LE(at + 8 + vals.size(), r.size()) << where;
      EXPECT_EQ(r[at], std::string(11, ' ') + std::to_string(setNo) + " ," + std::to_string(ids[v]) + ",1,")
          << where;
      std::size_t minAt = 0, maxAt = 0;
      for (std::size_t i = 1; i < vals.size(); ++i) {
        if (vals[i] > vals[maxAt]) maxAt = i;
        if (vals[i] < vals[minAt]) minAt = i;
      }
      const std::string& extremes = r[at + 2];
      expectNear(std::strtod(extremes.substr(0, 15).c_str(), nullptr), vals[minAt], 1e-6, where);
      expectNear(std::strtod(extremes.substr(15, 15).c_str(), nullptr), vals[maxAt], 1e-6, where);
      expectNear(std::strtod(extremes.substr(30, 15).c_str(), nullptr),
                 std::fmax(std::fabs(vals[minAt]), std::fabs(vals[maxAt])), 1e-6, where);
      EXPECT_EQ(intField(r[at + 5], 0, 12), static_cast<int>(minAt) + 1) << where;
      EXPECT_EQ(intField(r[at + 5], 14, 12), static_cast<int>(maxAt) + 1) << where;
      EXPECT_EQ(r[at + 6], " 0,1,1,") << where;
      at += 7;
      for (std::size_t i = 0; i < vals.size(); ++i, ++at) {
        EXPECT_EQ(intField(r[at], 0, 12), static_cast<int>(i) + 1) << where;
        EXPECT_EQ(r[at].size(), isDouble ? 38u : 29u) << where;
        expectNear(entityValue(r[at]), vals[i], isDouble ? 1e-14 : 1e-6, where);
      }
      EXPECT_EQ(r[at], isDouble ? "          -1 ,  0.000000000000000E+000" : "          -1 ,  0.0000000E+00")
          << where;
      ++at;
    }
    EXPECT_EQ(at, r.size()) << "records after the fourteenth vector of set " << setNo;
  }
}

}  // namespace
}  // namespace gw::postconv
