// The result file's record layout, written byte by byte from the layout table
// and read back: offsets of every item, the file size of a small run, records
// longer than what is read from them, and the at-end answer after each step.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "result_file.hpp"

namespace gw {
namespace {

std::string le32(std::int32_t v) {
  std::string s(4, '\0');
  for (int k = 0; k < 4; ++k) s[k] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
  return s;
}

std::string le64(double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, 8);
  std::string s(8, '\0');
  for (int k = 0; k < 8; ++k) s[k] = static_cast<char>((u >> (8 * k)) & 0xFF);
  return s;
}

std::string record(const std::string& payload) {
  const auto n = static_cast<std::int32_t>(payload.size());
  return le32(n) + payload + le32(n);
}

// Three nodes, one triangle (its third corner stored again as the fourth) and
// two steps. `pad` extra bytes end the node, element and node-result records.
std::string smallRun(std::size_t pad) {
  const std::string junk(pad, '\x5A');
  std::string title = "LAYOUT CHECK";
  title.resize(80, ' ');

  std::string nodes;
  for (int n = 1; n <= 3; ++n) {
    nodes += le64(10.0 * n) + le64(-1.5 * n) + le64(0.25 * n) + le64(100.0 + n) + le32(-n);
  }
  std::string elements = le32(1) + le32(2) + le32(3) + le32(3) + le32(7) + le64(9.75);

  std::string file = record(title) + record(le32(3)) + record(nodes + junk) + record(le32(1)) +
                     record(elements + junk);
  for (int s = 1; s <= 2; ++s) {
    std::string results;
    for (int n = 1; n <= 3; ++n) results += le32(10 * s + n) + le64(s + 0.5 * n) + le64(-s * 1.0 * n);
    file += record(le32(40 + s) + le64(3600.0 * s));
    file += record(results + junk);
    file += record(le64(1.0 * s) + le64(2.0 * s) + le64(0.5 * s));
  }
  return file;
}

class ResultFileLayoutTest : public ::testing::Test {
 protected:
  std::string write(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary) << bytes;
    return path_.string();
  }
  void TearDown() override { std::filesystem::remove(path_); }

 private:
  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("gw_layout_" + std::to_string(::getpid()) + ".bin");
};

TEST_F(ResultFileLayoutTest, SmallRunHasTheSizeOfItsRecords) {
  // (80+8) + (4+8) + (36*3+8) + (4+8) + (28*1+8) + 2 * ((12+8) + (20*3+8) + (24*1+8))
  EXPECT_EQ(smallRun(0).size(), 504u);
}

TEST_F(ResultFileLayoutTest, ItemsComeFromTheirOffsetsAndLongerRecordsAreAccepted) {
  for (std::size_t pad : {std::size_t{0}, std::size_t{36}, std::size_t{5}}) {
    SCOPED_TRACE(pad);
    ResultFile result(write(smallRun(pad)), 10, 44444);
    Mesh mesh;
    result.readMesh(mesh);
    EXPECT_EQ(mesh.title.substr(0, 13), "LAYOUT CHECK ");
    ASSERT_EQ(mesh.numnp, 3);
    EXPECT_EQ(mesh.x[1], 20.0);
    EXPECT_EQ(mesh.y[1], -3.0);
    EXPECT_EQ(mesh.aux[2], 0.75);
    EXPECT_EQ(mesh.bl[0], 101.0);
    EXPECT_EQ(mesh.ncode[2], -3);
    ASSERT_EQ(mesh.numel, 1);
    EXPECT_EQ(mesh.corner(1, 3), 3);
    EXPECT_EQ(mesh.corner(1, 4), 3);
    EXPECT_EQ(mesh.property(1), 7);
    EXPECT_EQ(mesh.elv[0], 9.75);

    Step step;
    ASSERT_TRUE(result.readStep(mesh, step));
    EXPECT_EQ(step.la, 41);
    EXPECT_EQ(step.time, 3600.0);
    EXPECT_EQ(step.istat[2], 13);
    EXPECT_EQ(step.h[2], 2.5);
    EXPECT_EQ(step.q[1], -2.0);
    EXPECT_EQ(step.d[0], 0.5);
    EXPECT_FALSE(result.atEnd());

    ASSERT_TRUE(result.readStep(mesh, step));
    EXPECT_EQ(step.la, 42);
    EXPECT_EQ(step.time, 7200.0);
    EXPECT_EQ(step.dvx[0], 2.0);
    EXPECT_EQ(step.dvy[0], 4.0);
    EXPECT_TRUE(result.atEnd());
    EXPECT_FALSE(result.readStep(mesh, step));
  }
}

TEST_F(ResultFileLayoutTest, ItemsCutByTheEndOfAReadBlockAreWhole) {
  // Records of several hundred KB, read in blocks that end inside items of
  // every kind; 13 bytes of padding shift the later records off any multiple.
  const int nodes = 10007, elements = 9001;
  const std::string junk(13, '\x5A');
  std::string title(80, 'B');
  std::string nodeItems, elementItems, nodeResults, elementResults;
  for (int n = 1; n <= nodes; ++n) {
    nodeItems += le64(n + 0.5) + le64(-n) + le64(n * 0.25) + le64(1e6 + n) + le32(n % 7 - 3);
    nodeResults += le32(-n) + le64(n * 2.0) + le64(n / 4.0);
  }
  for (int e = 1; e <= elements; ++e) {
    elementItems += le32(e) + le32(e + 1) + le32(e + 2) + le32(e + 3) + le32(-e) + le64(e * 0.5);
    elementResults += le64(e * 3.0) + le64(-e * 1.0) + le64(e + 0.125);
  }
  std::string file = record(title) + record(le32(nodes)) + record(nodeItems + junk) + record(le32(elements)) +
                     record(elementItems + junk);
  for (int s = 1; s <= 2; ++s) file += record(le32(s) + le64(s)) + record(nodeResults + junk) + record(elementResults);

  ResultFile result(write(file), 10, 44444);
  Mesh mesh;
  result.readMesh(mesh);
  int wrong = 0;
  for (int n = 1; n <= nodes; ++n) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    wrong += mesh.x[i] != n + 0.5 || mesh.y[i] != -n || mesh.aux[i] != n * 0.25 || mesh.bl[i] != 1e6 + n ||
             mesh.ncode[i] != n % 7 - 3;
  }
  for (int e = 1; e <= elements; ++e) {
    wrong += mesh.corner(e, 1) != e || mesh.corner(e, 4) != e + 3 || mesh.property(e) != -e ||
             mesh.elv[static_cast<std::size_t>(e - 1)] != e * 0.5;
  }
  Step step;
  for (int s = 1; s <= 2; ++s) {
    ASSERT_TRUE(result.readStep(mesh, step));
    EXPECT_EQ(step.la, s);
    for (int n = 1; n <= nodes; ++n) {
      const std::size_t i = static_cast<std::size_t>(n - 1);
      wrong += step.istat[i] != -n || step.h[i] != n * 2.0 || step.q[i] != n / 4.0;
    }
    for (int e = 1; e <= elements; ++e) {
      const std::size_t i = static_cast<std::size_t>(e - 1);
      wrong += step.dvx[i] != e * 3.0 || step.dvy[i] != -e * 1.0 || step.d[i] != e + 0.125;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(result.atEnd());
  EXPECT_FALSE(result.readStep(mesh, step));

  // The heads alone: the reads stop at the end of each node results record,
  // and the element results after it are passed over unread.
  ResultFile heads(write(file), 10, 44444);
  heads.readMesh(mesh);
  for (int s = 1; s <= 2; ++s) {
    ASSERT_TRUE(heads.readStep(mesh, step, ResultFile::Results::HeadsOnly));
    EXPECT_EQ(step.la, s);
    for (int n = 1; n <= nodes; ++n) wrong += step.h[static_cast<std::size_t>(n - 1)] != n * 2.0;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(heads.atEnd());

  // Only the listed heads, read in small blocks so that the record comes in many
  // pieces and the listed slots fall in different ones.
  ResultFile some(write(file), 10, 44444, 4096);
  some.readMesh(mesh);
  const RunArray<std::size_t> slots = {0, 4999, 5000, static_cast<std::size_t>(nodes - 1)};
  some.decodeHeadsAt(slots);
  Step few;
  for (int s = 1; s <= 2; ++s) {
    ASSERT_TRUE(some.readStep(mesh, few, ResultFile::Results::HeadsOnly));
    for (std::size_t i : slots) wrong += few.h[i] != static_cast<double>(i + 1) * 2.0;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(some.atEnd());
}

}  // namespace
}  // namespace gw
