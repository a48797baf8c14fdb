// A whole MicroAVS file of a generated multi-step run, read back: the header,
// the step count, the mesh, and every step's node and element components,
// checked against the result file and an average computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "result_file.hpp"
#include "scratch_files.hpp"

namespace {

namespace fs = std::filesystem;

// A program of the build (GWPOST_BIN_DIR and GWPOST_EXE_SUFFIX come from CMake).
fs::path programPath(const std::string& name) { return fs::path(GWPOST_BIN_DIR) / (name + GWPOST_EXE_SUFFIX); }

std::vector<std::string> readLines(const fs::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(all.substr(start, end - start));
  }
  EXPECT_EQ(start, all.size()) << "text after the last line end";
  return out;
}

std::vector<double> numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

// A value as written: rounded to single precision, then to 6 significant digits.
void expectWritten(double written, double exact, const std::string& what) {
  const double tolerance = 6e-6 * std::fabs(exact);
  EXPECT_NEAR(written, exact, tolerance) << what;
}

class MicroAvsReadbackTest : public ::testing::Test {
 protected:
  // Runs a program of the build in the test directory, through the system's
  // command interpreter (the same command line suits sh and cmd.exe).
  int run(const char* program, const char* arguments) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    std::string command = "\"";
    command.append(programPath(program).string()).append("\" ").append(arguments);
    const int status = std::system(command.c_str());
    fs::current_path(previous);
    return status;
  }

  gw::testing::ScratchDir scratch_;
  const fs::path& dir_ = scratch_.path();
};

TEST_F(MicroAvsReadbackTest, GeneratedRunReadsBackAsItsData) {
  ASSERT_TRUE(fs::exists(programPath("resultgen")) && fs::exists(programPath("postconv"))) << GWPOST_BIN_DIR;
  ASSERT_EQ(run("resultgen", "sample --nx 7 --ny 5 --steps 4 --seed 3 --split-every 3 --out RES.BIN"), 0);
  {
    std::ofstream answers(dir_ / "answers", std::ios::binary);
    answers << "0\n1\nRES.BIN\n0\n4\nAVS.OUT\n-1\n";
  }
  ASSERT_EQ(run("postconv", "<answers >console.txt"), 0);

  gw::ResultFile result((dir_ / "RES.BIN").string(), 10, 44444);
  gw::Mesh mesh;
  result.readMesh(mesh);
  const std::size_t nodes = static_cast<std::size_t>(mesh.numnp);
  const std::size_t elements = static_cast<std::size_t>(mesh.numel);
  ASSERT_GT(nodes, 0u);
  ASSERT_GT(elements, 0u);

  const std::vector<std::string> l = readLines(dir_ / "AVS.OUT");
  const std::size_t perStep = 17 + nodes + elements;
  ASSERT_EQ(l.size(), 3 + 1 + nodes + elements + 4 * perStep);
  EXPECT_EQ(l[0], "# QX-TOVA ");
  EXPECT_EQ(l[1], "    4");
  EXPECT_EQ(l[2], "data");

  // The mesh, after the first label line.
  EXPECT_EQ(numbers(l[4]), (std::vector<double>{double(nodes), double(elements)}));
  bool sawTri = false, sawQuad = false, sawInactive = false;
  for (std::size_t i = 0; i < nodes; ++i) {
    const std::string& line = l[5 + i];
    ASSERT_EQ(line.size(), 47u) << line;
    const std::vector<double> v = numbers(line);
    ASSERT_EQ(v.size(), 4u) << line;
    EXPECT_EQ(v[0], double(i + 1));
    expectWritten(v[1], mesh.x[i], line);
    expectWritten(v[2], mesh.y[i], line);
    EXPECT_EQ(v[3], 0.0);
  }
  for (std::int32_t e = 1; e <= mesh.numel; ++e) {
    std::istringstream cell(l[5 + nodes + static_cast<std::size_t>(e - 1)]);
    std::int32_t number, material;
    std::string kind;
    cell >> number >> material >> kind;
    EXPECT_EQ(number, e);
    EXPECT_EQ(material, mesh.property(e));
    const bool tri = mesh.corner(e, 3) == mesh.corner(e, 4);
    EXPECT_EQ(kind, tri ? "tri" : "quad");
    for (int c = 1; c <= (tri ? 3 : 4); ++c) {
      std::int32_t corner = 0;
      cell >> corner;
      EXPECT_EQ(corner, mesh.corner(e, c));
    }
    std::string rest;
    EXPECT_FALSE(cell >> rest) << "more than the corners: " << rest;
    (tri ? sawTri : sawQuad) = true;
    if (mesh.property(e) <= 0) sawInactive = true;
  }
  EXPECT_TRUE(sawTri && sawQuad && sawInactive) << "the sample should hold all three kinds of element";

  const std::vector<std::string> nodeHead = {
      "7   6",         "7   1   1   1   1   1   1   1", "Total Head,", "D*Velocity X,", "D*Velocity Y,",
      "D*Velocity,  ", "Velocity X,  ", "Velocity Y,  ", "Velocity,    "};
  const std::vector<std::string> elementHead = {"6   1   1   1   1   1   1", "D*Velocity X,", "D*Velocity Y,",
                                                "D*Velocity,  ", "Velocity X,  ", "Velocity Y,  ",
                                                "Velocity,    "};

  gw::Step step;
  std::size_t at = 3;
  for (int s = 1; s <= 4; ++s) {
    ASSERT_TRUE(result.readStep(mesh, step));
    SCOPED_TRACE("step " + std::to_string(s));
    const std::string& label = l[at];
    ASSERT_EQ(label.size(), 26u);
    EXPECT_EQ(label.substr(0, 5), "step" + std::to_string(s));
    EXPECT_NEAR(std::stod(label.substr(5)), step.time, 1e-7 * step.time);
    at += s == 1 ? 2 + nodes + elements : 1;
    for (const std::string& head : nodeHead) EXPECT_EQ(l[at++], head);

    // Node averages of DVX, DVY, DVX/D, DVY/D over the active elements.
    std::vector<double> sx(nodes), sy(nodes), sxd(nodes), syd(nodes);
    std::vector<int> count(nodes);
    for (std::int32_t e = 1; e <= mesh.numel; ++e) {
      if (mesh.property(e) <= 0) continue;
      const std::size_t i = static_cast<std::size_t>(e - 1);
      for (int c = 1; c <= (mesh.corner(e, 3) == mesh.corner(e, 4) ? 3 : 4); ++c) {
        const std::size_t n = static_cast<std::size_t>(mesh.corner(e, c) - 1);
        sx[n] += step.dvx[i];
        sy[n] += step.dvy[i];
        sxd[n] += step.dvx[i] / step.d[i];
        syd[n] += step.dvy[i] / step.d[i];
        ++count[n];
      }
    }
    for (std::size_t n = 0; n < nodes; ++n) {
      const std::string& line = l[at++];
      ASSERT_EQ(line.size(), 100u) << line;
      const std::vector<double> v = numbers(line);
      ASSERT_EQ(v.size(), 8u) << line;
      EXPECT_EQ(v[0], double(n + 1));
      const double k = count[n] > 0 ? count[n] : 1;
      const double ax = sx[n] / k, ay = sy[n] / k, axd = sxd[n] / k, ayd = syd[n] / k;
      const double expected[] = {step.h[n], ax, ay, std::sqrt(ax * ax + ay * ay),
                                 axd,       ayd, std::sqrt(axd * axd + ayd * ayd)};
      for (int c = 0; c < 7; ++c) expectWritten(v[static_cast<std::size_t>(c) + 1], expected[c], line);
    }

    for (const std::string& head : elementHead) EXPECT_EQ(l[at++], head);
    for (std::size_t i = 0; i < elements; ++i) {
      const std::string& line = l[at++];
      ASSERT_EQ(line.size(), 87u) << line;
      const std::vector<double> v = numbers(line);
      ASSERT_EQ(v.size(), 7u) << line;
      EXPECT_EQ(v[0], double(i + 1));
      const double dvx = step.dvx[i], dvy = step.dvy[i], d = step.d[i];
      const double m = std::sqrt(dvx * dvx + dvy * dvy);
      const double expected[] = {dvx, dvy, m, dvx / d, dvy / d, m / d};
      for (int c = 0; c < 6; ++c) expectWritten(v[static_cast<std::size_t>(c) + 1], expected[c], line);
    }
  }
  EXPECT_EQ(at, l.size());
  EXPECT_FALSE(result.readStep(mesh, step));

  // The scratch file stays behind with the four sections as they were written.
  const std::vector<std::string> scratch = readLines(dir_ / "AVS.tmp");
  EXPECT_EQ(scratch.size(), 4 * perStep);
  EXPECT_EQ(scratch[9], "Velocity,");
}

}  // namespace
