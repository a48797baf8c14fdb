// The result file as VTK XML unstructured grids: one .vtu file per time step and a
// .pvd collection that ties the files to their times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "result_file.hpp"
#include "node_averages.hpp"
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
  const char* type = "Float64";  // Float64, Int32, UInt8 or String
  std::string name;
  int components = 1;
  std::string payload;
  std::string_view external;

  std::string_view content() const { return external.data() != nullptr ? external : std::string_view(payload); }
  // The XML element: Array for strings, DataArray for numbers.
  const char* tag() const { return std::string_view(type) == "String" ? "Array" : "DataArray"; }
};

// Encodes arrays in one encoding. Every Float64 value that is not a finite number
// (such as a velocity divided by a D of 0) is written as NaN, "nan" in text, so
// that viewers leave it out of colour ranges and grey it out.
class Encoder {
 public:
  explicit Encoder(Encoding encoding) : encoding_(encoding) {}
  Encoding encoding() const { return encoding_; }

  // `tuples` tuples of `components` values each, copied into the array.
  DataArray float64(std::string name, int components, const double* values, std::size_t tuples);
  DataArray int32(std::string name, const std::int32_t* values, std::size_t count);
  DataArray uint8(std::string name, const std::uint8_t* values, std::size_t count);
  // One string, as a String array of one value.
  DataArray string(std::string name, std::string_view text);
  // Int32 values laid out one row per line in text, row r ending before rowEnds[r].
  DataArray int32Rows(std::string name, const std::vector<std::int32_t>& values,
                      const std::vector<std::int32_t>& rowEnds);
  // Refills `array` with new values, reusing its storage; where the raw bytes are
  // the values as they lie in memory, `array` only refers to them.
  void refill(DataArray& array, const double* values, std::size_t tuples);
  void refill(DataArray& array, const std::int32_t* values, std::size_t count);

 private:
  Encoding encoding_;
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
  DataArray aux, bl, ncode;                // point arrays AUX, BL, NCODE
  DataArray property, element, elv, active;  // cell arrays: IE(e,5), the element number, ELV, IE(e,5) > 0
  DataArray title;                         // field array TITLE
};

// Every element becomes a cell, active or not: a triangle or a quadrilateral by
// drawnCorners. An element with one of its drawn corners outside 1..NUMNP cannot
// be drawn and is left out (counted in leftOut), since a reader would follow the
// bad index out of the point list.
MeshArrays buildMeshArrays(const Mesh& mesh, Encoder& encoder);

// Writes the .vtu file of each step; the mesh arrays are built once, at construction.
class StepWriter {
 public:
  StepWriter(const Mesh& mesh, Encoding encoding);

  const MeshArrays& meshArrays() const { return mesh_; }

  // Writes `step` to the file `path` with `timeValue` as the time viewers place
  // it at; `unit` is the unit shown in a fault.
  void write(const Step& step, double timeValue, const std::string& path, int unit);

 private:
  const Mesh& source_;
  Encoder encoder_;
  MeshArrays mesh_;
  NodeWork work_;
  // Step values in file order, kept from step to step so that no step allocates.
  std::vector<double> velocity_, speed_, dVelocity_, dSpeed_;  // per point
  std::vector<double> cellVelocity_, cellDVelocity_, d_;       // per cell
  DataArray timeValue_, time_, number_, istat_, h_, q_, velocityArray_, speedArray_, dVelocityArray_, dSpeedArray_;
  DataArray cellVelocityArray_, cellDVelocityArray_, dArray_;
};

// One step in the collection file.
struct CollectionEntry {
  double time;       // the time viewers place the step at
  std::string file;  // the .vtu file name, relative to the collection file
  std::int32_t la = 0;  // the step number, named in warnings
};

// Writes the .pvd collection file listing the steps with their times.
void writeCollection(const std::string& path, int unit, const std::vector<CollectionEntry>& entries);

// A warning naming the steps whose time is not above that of the step listed
// before them (a viewer would draw the two at one time); empty when every time
// rises.
std::string timeOrderWarning(const std::vector<CollectionEntry>& entries);

// Shortest text that reads back as the same double ("nan", "inf" for those).
std::string formatDouble(double value);
// Text with &, <, >, " and ' replaced for use in an XML attribute.
std::string xmlEscape(const std::string& text);

}  // namespace gw::postvtk
