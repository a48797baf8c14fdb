// The result file as VTK XML unstructured grids: one .vtu file per time step and a
// .pvd collection that ties the files to their times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "result_file.hpp"
#include "run_state.hpp"

namespace gw::postvtk {

enum class Encoding {
  Binary,  // raw little-endian values in the file's appended data section
  Ascii,   // values as text inside each DataArray element
};

// One DataArray with its values encoded: the raw bytes for Binary, the text for
// Ascii. The values are either held in `payload` or, for raw bytes that already
// lie in memory in file order, only referred to by `external`, which must then
// stay valid until the array is written.
struct DataArray {
  const char* type = "Float64";  // Float64, Int32 or UInt8
  std::string name;
  int components = 1;
  std::string payload;
  std::string_view external;

  std::string_view content() const { return external.data() != nullptr ? external : std::string_view(payload); }
};

// Encodes arrays in one encoding. Text cannot carry a value that is not a finite
// number (the reader refuses "nan" and "inf"): in Ascii such a value is written as
// 0 and counted, so that the run can warn about it; Binary keeps it as it is.
class Encoder {
 public:
  explicit Encoder(Encoding encoding) : encoding_(encoding) {}
  Encoding encoding() const { return encoding_; }

  // `tuples` tuples of `components` values each, copied into the array.
  DataArray float64(std::string name, int components, const double* values, std::size_t tuples);
  DataArray int32(std::string name, const std::int32_t* values, std::size_t count);
  DataArray uint8(std::string name, const std::uint8_t* values, std::size_t count);
  // Int32 values laid out one row per line in text, row r ending before rowEnds[r].
  DataArray int32Rows(std::string name, const std::vector<std::int32_t>& values,
                      const std::vector<std::int32_t>& rowEnds);
  // Refills `array` with new values, reusing its storage; where the raw bytes are
  // the values as they lie in memory, `array` only refers to them.
  void refill(DataArray& array, const double* values, std::size_t tuples);

  // Values written as 0 because text cannot carry them.
  std::size_t nonFinite() const { return nonFinite_; }

 private:
  Encoding encoding_;
  std::size_t nonFinite_ = 0;
};

inline constexpr std::uint8_t kVtkTriangle = 5;
inline constexpr std::uint8_t kVtkQuad = 9;

// The parts of every step's file that come from the mesh alone, encoded once.
struct MeshArrays {
  std::int32_t points = 0;
  std::int32_t cells = 0;
  std::vector<std::int32_t> cellElements;  // element number (from 1) of each cell
  std::int32_t leftOut = 0;                // elements with a corner outside 1..NUMNP
  std::int32_t firstLeftOut = 0;           // the first of them, 0 when none
  DataArray coordinates;                   // (X, Y, 0)
  DataArray connectivity, offsets, types;  // the cells
  DataArray bl;                            // point array BL
  DataArray property, element;             // cell arrays: IE(e,5) and the element number
};

// Every element becomes a cell, active or not: a triangle when its third and
// fourth corners are the same node, else a quadrilateral. An element with one of
// those corners outside 1..NUMNP cannot be drawn and is left out (counted in
// leftOut), since a reader would follow the bad index out of the point list.
MeshArrays buildMeshArrays(const Mesh& mesh, Encoder& encoder);

// Writes the .vtu file of each step; the mesh arrays are built once, at construction.
class StepWriter {
 public:
  StepWriter(const Mesh& mesh, Encoding encoding);

  const MeshArrays& meshArrays() const { return mesh_; }
  // Values written as 0 in text so far (see Encoder).
  std::size_t nonFinite() const { return encoder_.nonFinite(); }

  // Writes `step` to the file `path`; `unit` is the unit shown in a fault.
  void write(const Step& step, const std::string& path, int unit);

 private:
  const Mesh& source_;
  Encoder encoder_;
  MeshArrays mesh_;
  postconv::NodeWork work_;
  // Step values in file order, kept from step to step so that no step allocates.
  std::vector<double> velocity_, speed_, dVelocity_, dSpeed_;  // per point
  std::vector<double> cellVelocity_, cellDVelocity_, d_;       // per cell
  DataArray time_, number_, h_, q_, velocityArray_, speedArray_, dVelocityArray_, dSpeedArray_;
  DataArray cellVelocityArray_, cellDVelocityArray_, dArray_;
};

// One step in the collection file.
struct CollectionEntry {
  double time;
  std::string file;  // the .vtu file name, relative to the collection file
};

// Writes the .pvd collection file listing the steps with their times.
void writeCollection(const std::string& path, int unit, const std::vector<CollectionEntry>& entries);

// Shortest text that reads back as the same double ("nan", "inf" for those).
std::string formatDouble(double value);
// Text with &, <, >, " and ' replaced for use in an XML attribute.
std::string xmlEscape(const std::string& text);

}  // namespace gw::postvtk
