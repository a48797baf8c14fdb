// The solver's result file: a mesh part of five records (title, node count,
// nodes, element count, elements), then one block of three records per saved
// time step (header, node results, element results) up to the end of the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binary_records.hpp"
#include "run_array.hpp"

namespace gw {

// Mesh items, node and element arrays indexed from 0 (node n is slot n-1).
struct Mesh {
  std::string title = std::string(80, ' ');  // TITLE, 80 characters
  std::int32_t numnp = 0;                    // NUMNP
  RunArray<double> x, y, aux, bl;            // X, Y, AUX, BL
  RunArray<std::int32_t> ncode;              // NCODE
  std::int32_t numel = 0;                    // NUMEL
  // IE, element by element: corners 1..4 and the property number, 5 per element.
  RunArray<std::int32_t> ie;
  RunArray<double> elv;                      // ELV

  // IE(e, c) with element e from 1 and column c from 1 to 5.
  std::int32_t corner(std::int32_t e, int c) const {
    return ie[static_cast<std::size_t>(e - 1) * 5 + static_cast<std::size_t>(c - 1)];
  }
  std::int32_t property(std::int32_t e) const { return corner(e, 5); }
  // Node and element counts as loop bounds (0 when the stored count is negative).
  std::int32_t nodes() const { return numnp > 0 ? numnp : 0; }
  std::int32_t elements() const { return numel > 0 ? numel : 0; }
  // Whether n names a node of the mesh.
  bool isNode(std::int32_t n) const { return n >= 1 && n <= numnp; }
};

// Items of one step block; each block overwrites the previous one in the same
// arrays, so that the run touches their memory once.
struct Step {
  std::int32_t la = 0;           // LA
  double time = 0;               // TIME
  RunArray<std::int32_t> istat;  // ISTAT
  RunArray<double> h, q;         // H, Q
  RunArray<double> dvx, dvy, d;  // DVX, DVY, D
};

// Faults of the reader carry an explanation in the user's terms: a file whose
// first record is no title, or that breaks off in its mesh part, is not a
// result file; one that breaks off in a step block was cut short in that step;
// each with the byte offset of the record.
class ResultFile {
 public:
  // Opens the file by name; `capacity` is the most nodes and the most elements
  // the program holds: a count above it is refused before anything is stored.
  ResultFile(const std::string& name, int unit, std::int32_t capacity,
             std::size_t blockBytes = BinaryRecordReader::kReadBlock);

  void readMesh(Mesh& mesh);
  // The results of a step block that a run uses: all, the node results alone
  // (the element results are then passed over unread, with the same faults,
  // and the step's element arrays are left as they were), or of the node
  // results only the heads (ISTAT and Q are left as they were too).
  enum class Results { All, NodesOnly, HeadsOnly };
  // Reads the next step block; false when the file ends before its header.
  bool readStep(const Mesh& mesh, Step& step, Results results = Results::All);
  // The node slots (ascending, each once) whose heads a HeadsOnly read decodes;
  // the other heads are left as they were (unset in a fresh Step). Empty (the
  // default): every head.
  void decodeHeadsAt(RunArray<std::size_t> slots) { headsAt_ = std::move(slots); }
  // Whether the read position is at the end of the file.
  bool atEnd() const { return records_.atEnd(); }
  // The read position (a file offset) and the size of the file.
  std::uint64_t position() const { return records_.position(); }
  std::uint64_t size() const { return records_.size(); }
  // A second reader of the same file, opened again by name, at its start.
  std::unique_ptr<ResultFile> another(std::size_t blockBytes = BinaryRecordReader::kReadBlock) const {
    return std::make_unique<ResultFile>(name(), records_.unit(), capacity_, blockBytes);
  }
  // Goes to `offset`, the start of step block `block` (from 1), where the
  // next readStep reads as it would have after reading the blocks before it.
  void continueAt(std::uint64_t offset, int block) {
    records_.moveTo(offset);
    block_ = block - 1;
  }

  // The step numbers of the blocks after the read position, in file order, up
  // to the first block numbered `wanted` (to the end when none is), from their
  // headers alone: the rest of each block is passed over unread, and the read
  // position stays where it is. A block that `readStep` would fault on faults
  // here, with the same diagnostic.
  std::vector<std::int32_t> stepNumbers(const Mesh& mesh, std::optional<std::int32_t> wanted = {}) const;

  const std::string& name() const { return records_.name(); }

 private:
  std::int32_t readCount(const char* record, const char* what);
  RunArray<std::size_t> headsAt_;
  // Reads the record named `record` ("node record"), of `count` items of
  // `itemBytes` bytes; `decode(p, i)` takes item i from p.
  template <class DecodeItem>
  void readItems(const char* record, std::size_t itemBytes, std::size_t count, DecodeItem decode);
  // Notes the record about to be read, for the explanation of its faults.
  void reading(const char* record, std::size_t itemBytes, std::size_t count);
  // Reads a step header; false at the end of the file.
  bool readHeader(std::int32_t& la, double& time);
  // Passes over the rest of a step block whose header was read.
  void passStepResults(const Mesh& mesh);
  // Adds the explanation of a fault met while reading the noted record.
  void explain(Fault& fault) const;

  BinaryRecordReader records_;
  std::int32_t capacity_;
  // What is being read: the record, the bytes its items need, which step block
  // (from 1; 0 in the mesh part) and, once its header is read, its step number.
  const char* record_ = "";
  std::uint64_t needed_ = 0;
  int block_ = 0;
  bool headerRead_ = false;
  std::int32_t la_ = 0;
};

}  // namespace gw
