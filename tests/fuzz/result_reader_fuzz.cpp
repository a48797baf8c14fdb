// Fuzz target: the result-file reader on any bytes. The mesh part and every step
// block are read to the end of the file with the converter's capacity; whatever
// is read must match the counts it was read for. A mesh above the extractor's
// capacity must be refused by the extractor's reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "result_file.hpp"

namespace {

using gw::fuzz::expect;

// Reads the whole file; returns the larger of the two counts of the mesh part
// (0 when the mesh part could not be read).
std::int32_t readWhole(const std::string& path, std::int32_t capacity) {
  std::int32_t largest = 0;
  try {
    gw::ResultFile result(path, 10, capacity);
    gw::Mesh mesh;
    result.readMesh(mesh);
    const auto nodes = static_cast<std::size_t>(mesh.nodes());
    const auto elements = static_cast<std::size_t>(mesh.elements());
    expect(mesh.numnp <= capacity && mesh.numel <= capacity, "a count above the capacity was accepted");
    expect(mesh.title.size() == 80, "the title is not 80 characters");
    expect(mesh.x.size() == nodes && mesh.y.size() == nodes && mesh.aux.size() == nodes &&
               mesh.bl.size() == nodes && mesh.ncode.size() == nodes,
           "node arrays do not match NUMNP");
    expect(mesh.ie.size() == 5 * elements && mesh.elv.size() == elements, "element arrays do not match NUMEL");
    largest = std::max(mesh.numnp, mesh.numel);
    gw::Step step;
    bool atEnd = result.atEnd();
    while (result.readStep(mesh, step)) {
      expect(!atEnd, "a step block was read after the end of the file");
      expect(step.istat.size() == nodes && step.h.size() == nodes && step.q.size() == nodes,
             "node results do not match NUMNP");
      expect(step.dvx.size() == elements && step.dvy.size() == elements && step.d.size() == elements,
             "element results do not match NUMEL");
      atEnd = result.atEnd();
    }
    expect(atEnd && result.atEnd(), "the step loop ended before the end of the file");
  } catch (const gw::Fault&) {
    // The normal answer to a damaged file.
  }
  return largest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gw::fuzz::MemoryFile file(gw::fuzz::Bytes(data, size).rest());
  if (readWhole(file.path(), 44444) > 5000) {
    bool refused = false;
    try {
      gw::ResultFile result(file.path(), 7, 5000);
      gw::Mesh mesh;
      result.readMesh(mesh);
    } catch (const gw::Fault& fault) {
      refused = fault.kind() == gw::FaultKind::Refused;
    }
    expect(refused, "a mesh above the extractor's capacity was not refused");
  }
  return 0;
}
