// The result-file reader on files no solver writes: empty records, broken
// framing, counts that the records or the program cannot hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fault.hpp"
#include "result_file.hpp"
#include "scratch_files.hpp"

namespace gw {
namespace {

// Builds a result file record by record.
class Records {
 public:
  Records& i32(std::int32_t v) {
    for (int k = 0; k < 4; ++k) payload_ += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
    return *this;
  }
  Records& f64(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int k = 0; k < 8; ++k) payload_ += static_cast<char>((u >> (8 * k)) & 0xFF);
    return *this;
  }
  Records& text(const std::string& s) {
    payload_ += s;
    return *this;
  }
  // Ends the record with the given counts in front and behind (its length by default).
  Records& end(std::int64_t head = -1, std::int64_t tail = -1) {
    auto count = [](std::int64_t v) {
      std::string c;
      for (int k = 0; k < 4; ++k) c += static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * k)) & 0xFF);
      return c;
    };
    const auto size = static_cast<std::int64_t>(payload_.size());
    file_ += count(head >= 0 || head < -1 ? head : size) + payload_ + count(tail >= 0 ? tail : size);
    payload_.clear();
    return *this;
  }
  Records& raw(const std::string& bytes) {
    file_ += bytes;
    return *this;
  }
  // The mesh part with `numnp` in the count record but `nodes` nodes stored.
  Records& mesh(std::int32_t numnp, int nodes, std::int32_t numel, int elements) {
    text(std::string(80, 'T')).end();
    i32(numnp).end();
    for (int n = 0; n < nodes; ++n) f64(n).f64(0).f64(0).f64(0).i32(0);
    end();
    i32(numel).end();
    for (int e = 0; e < elements; ++e) i32(1).i32(2).i32(3).i32(3).i32(1).f64(0);
    return end();
  }
  const std::string& bytes() const { return file_; }

 private:
  std::string payload_;
  std::string file_;
};

using MemoryFile = testing::ScratchFile;

FaultKind faultOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.unit(), 10);
    return fault.kind();
  }
  ADD_FAILURE() << "no fault";
  return FaultKind::Refused;
}

TEST(HardeningResultFileTest, EmptyRecordsOfAnEmptyMeshAreRead) {
  // No nodes, no elements: the node, element and both result records are empty
  // (8 bytes on disk each); a step block still has its three records.
  Records r;
  r.mesh(0, 0, 0, 0).i32(4).f64(2.5).end().end().end();
  MemoryFile file(r.bytes());
  ResultFile result(file.path(), 10, 44444);
  Mesh mesh;
  result.readMesh(mesh);
  EXPECT_EQ(mesh.numnp, 0);
  EXPECT_TRUE(mesh.x.empty());
  Step step;
  ASSERT_TRUE(result.readStep(mesh, step));
  EXPECT_EQ(step.la, 4);
  EXPECT_EQ(step.time, 2.5);
  EXPECT_TRUE(result.atEnd());
  EXPECT_FALSE(result.readStep(mesh, step));
}

TEST(HardeningResultFileTest, NegativeCountsHoldNothing) {
  Records r;
  r.mesh(-3, 1, -2147483647 - 1, 0).i32(1).f64(1).end().end().end();
  MemoryFile file(r.bytes());
  ResultFile result(file.path(), 10, 44444);
  Mesh mesh;
  result.readMesh(mesh);
  EXPECT_EQ(mesh.nodes(), 0);
  EXPECT_EQ(mesh.elements(), 0);
  EXPECT_TRUE(mesh.x.empty());
  EXPECT_TRUE(mesh.ie.empty());
  Step step;
  EXPECT_TRUE(result.readStep(mesh, step));
  EXPECT_TRUE(step.h.empty());
}

TEST(HardeningResultFileTest, BrokenFramingIsAFault) {
  const std::string title(80, 'T');
  struct Case {
    const char* what;
    std::string bytes;
    FaultKind kind;
  };
  const Case cases[] = {
      {"negative byte count", Records().text(title).end(-5).bytes(), FaultKind::CorruptRecord},
      {"trailing count differs", Records().text(title).end(80, 81).bytes(), FaultKind::CorruptRecord},
      // A count far beyond the file: no room is made for it, the file is cut.
      {"count beyond the file", Records().text(title).end(0x7FFFFFFF).bytes(), FaultKind::EndOfFile},
      {"cut inside a count", Records().raw(std::string("\x50\x00", 2)).bytes(), FaultKind::EndOfFile},
      {"title record too short", Records().text("SHORT").end().bytes(), FaultKind::TooMuchData},
      // Framing is checked before what the record holds.
      {"too short, trailing count differs", Records().text("SHORT").end(5, 6).bytes(), FaultKind::CorruptRecord},
      {"node count record empty", Records().text(title).end().end().bytes(), FaultKind::TooMuchData},
      {"node record shorter than its count", Records().mesh(3, 2, 0, 0).bytes(), FaultKind::TooMuchData},
      {"element record shorter than its count", Records().mesh(1, 1, 2, 1).bytes(), FaultKind::TooMuchData},
      {"empty file", std::string(), FaultKind::EndOfFile},
  };
  for (const Case& c : cases) {
    MemoryFile file(c.bytes);
    ResultFile result(file.path(), 10, 44444);
    Mesh mesh;
    EXPECT_EQ(faultOf([&] { result.readMesh(mesh); }), c.kind) << c.what;
  }
}

TEST(HardeningResultFileTest, CountsAboveTheCapacityAreRefusedBeforeTheRecordIsRead) {
  // The node record announced is never read: the count alone is refused.
  for (std::int32_t capacity : {44444, 5000}) {
    Records r;
    r.text(std::string(80, 'T')).end().i32(capacity + 1).end().raw("cut");
    MemoryFile file(r.bytes());
    ResultFile result(file.path(), 10, capacity);
    Mesh mesh;
    EXPECT_EQ(faultOf([&] { result.readMesh(mesh); }), FaultKind::Refused) << capacity;
    EXPECT_TRUE(mesh.x.empty());
  }
  Records r;
  r.mesh(1, 1, 5001, 0);
  MemoryFile file(r.bytes());
  ResultFile result(file.path(), 10, 5000);
  Mesh mesh;
  EXPECT_EQ(faultOf([&] { result.readMesh(mesh); }), FaultKind::Refused);
}

TEST(HardeningResultFileTest, AStepBlockCutShortIsAFault) {
  Records whole;
  whole.mesh(2, 2, 1, 1).i32(1).f64(1).end();
  const std::string head = whole.bytes();
  Records nodes = whole;
  nodes.i32(0).f64(1).f64(2).i32(0).f64(1).f64(2).end();
  const std::string withNodes = nodes.bytes();
  for (const std::string& bytes : {head, withNodes, withNodes.substr(0, withNodes.size() - 3)}) {
    MemoryFile file(bytes);
    ResultFile result(file.path(), 10, 44444);
    Mesh mesh;
    result.readMesh(mesh);
    Step step;
    EXPECT_EQ(faultOf([&] { result.readStep(mesh, step); }), FaultKind::EndOfFile);
  }
  // Node results shorter than NUMNP entries.
  Records shortNodes = whole;
  shortNodes.i32(0).f64(1).f64(2).end();
  MemoryFile file(shortNodes.bytes());
  ResultFile result(file.path(), 10, 44444);
  Mesh mesh;
  result.readMesh(mesh);
  Step step;
  EXPECT_EQ(faultOf([&] { result.readStep(mesh, step); }), FaultKind::TooMuchData);
}

TEST(HardeningResultFileTest, TheStepWalkSeesTheBlocksThatReadingFinds) {
  // Blocks numbered 3, 1, 3; the node results of the second are longer than
  // NUMNP entries (the rest is passed over); the file then ends inside a fourth.
  Records r;
  r.mesh(1, 1, 1, 1);
  for (std::int32_t la : {3, 1, 3}) {
    r.i32(la).f64(la).end().i32(0).f64(1).f64(2);
    if (la == 1) r.text(std::string(5000, 'x'));
    r.end().f64(1).f64(2).f64(3).end();
  }
  r.i32(4).f64(4).end().i32(0);
  MemoryFile file(r.bytes());
  ResultFile result(file.path(), 10, 44444);
  Mesh mesh;
  result.readMesh(mesh);
  EXPECT_EQ(result.stepNumbers(mesh, 1), (std::vector<std::int32_t>{3, 1}));
  Step step;
  try {
    result.stepNumbers(mesh);
    ADD_FAILURE() << "the walk did not fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.kind(), FaultKind::EndOfFile);
    EXPECT_NE(fault.explanation().find("ends inside step 4 (step block 4): its node results record"),
              std::string::npos) << fault.explanation();
  }
  // The walk leaves the read position where it was.
  for (std::int32_t la : {3, 1, 3}) {
    ASSERT_TRUE(result.readStep(mesh, step));
    EXPECT_EQ(step.la, la);
  }
  EXPECT_EQ(faultOf([&] { result.readStep(mesh, step); }), FaultKind::EndOfFile);
}

}  // namespace
}  // namespace gw
