// Restart blocks: the step line, node lines of fixed length with every value
// read back, and the largest node number filling its field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "writers.hpp"

namespace gw::postconv {
namespace {

Mesh nodesOnly(std::int32_t count) {
  Mesh m;
  m.numnp = count;
  for (std::int32_t n = 1; n <= count; ++n) {
    m.x.push_back(n * 0.75);
    m.y.push_back(-n * 1.0e-3);
    m.aux.push_back(n * 1.0e5);
    m.bl.push_back(-n);
    m.ncode.push_back(n % 3);
  }
  return m;
}

Step stepOf(const Mesh& m, std::int32_t la, double time) {
  Step st;
  st.la = la;
  st.time = time;
  for (std::int32_t n = 1; n <= m.numnp; ++n) {
    st.istat.push_back(-n % 5);
    st.h.push_back(100.0 - n / 7.0);
    st.q.push_back(n * 2.5e-7);
  }
  return st;
}

std::string render(const Mesh& m, const Step& st) {
  TextOut out;
  KeptSteps kept;
  writeRestartStep(out, m, st, kept);
  out.flush();
  return out.captured();
}

TEST(RestartWriterTest, LargestMeshNodeLinesReadBack) {
  const Mesh m = nodesOnly(kCapacity);
  const Step st = stepOf(m, 12, 86400.0);
  const std::string text = render(m, st);
  const std::string head = "  LA,TIME           12   86400.0000000000     \r\n";
  ASSERT_EQ(text.size(), head.size() + 97u * kCapacity);
  EXPECT_EQ(text.substr(0, head.size()), head);

  const auto near = [](double actual, double expected) {
    return std::fabs(actual - expected) <= 5.0001e-5 * std::fabs(expected);
  };
  for (std::int32_t n = 1; n <= kCapacity; n += 997) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    const std::string line = text.substr(head.size() + 97 * i, 97);
    ASSERT_EQ(line.substr(95), "\r\n");
    EXPECT_EQ(std::atoi(line.substr(0, 5).c_str()), n);
    EXPECT_EQ(std::atoi(line.substr(6, 5).c_str()), st.istat[i]);
    EXPECT_EQ(std::atoi(line.substr(12, 5).c_str()), m.ncode[i]);
    const double expected[] = {m.x[i], m.y[i], st.h[i], st.q[i], m.aux[i], m.bl[i]};
    for (int f = 0; f < 6; ++f) {
      EXPECT_EQ(line[17 + 13 * f], ',');
      EXPECT_TRUE(near(std::strtod(line.substr(18 + 13 * f, 12).c_str(), nullptr), expected[f]))
          << "node " << n << " field " << f << ": " << line;
    }
  }
  const std::string last = text.substr(text.size() - 97, 6);
  EXPECT_EQ(last, "44444,");
}

TEST(RestartWriterTest, NoNodesGiveTheStepLineAlone) {
  for (std::int32_t count : {0, -4}) {
    Mesh m;
    m.numnp = count;
    Step st;
    st.la = -3;
    st.time = 0.0;
    EXPECT_EQ(render(m, st), "  LA,TIME           -3  0.000000000000000E+000\r\n") << count;
  }
}

}  // namespace
}  // namespace gw::postconv
