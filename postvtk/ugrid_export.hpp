// The result file as one netCDF file that follows the UGRID conventions for
// unstructured meshes (with CF conventions for times, units and the coordinate
// system), the form that GIS programs open as a mesh layer and that Python
// reads with xarray: the mesh, then every selected step as one record.
//
// The faces of the mesh are the active elements that can be drawn, so that an
// inactive element is a hole in a map of node values as well as of element
// values. Every element, active or not, keeps its values by its number on the
// element dimension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "netcdf_file.hpp"
#include "node_averages.hpp"
#include "result_file.hpp"
#include "run_state.hpp"

namespace gw::postvtk {

// How the file places the mesh on a map and the steps on a calendar.
struct NetcdfSettings {
  bool single = false;          // 32-bit reals for the values (coordinates and times stay 64-bit)
  std::int32_t epsg = 0;        // EPSG code of the coordinate system; 0: none given
  double shiftX = 0, shiftY = 0;  // added to X and Y
  std::string timeUnit = "second";  // the unit of TIME: second, minute, hour or day
  std::string start = "2000-01-01 00:00:00";  // the date TIME counts from
  std::string lengthUnit = "m";  // the model's unit of length
};

// The elements that become faces: active and drawable, in element order.
std::vector<std::int32_t> faceElements(const Mesh& mesh);

// Why the mesh cannot be written as a netCDF mesh (a file cannot hold a
// dimension of length 0); empty when it can.
std::string netcdfMeshRefusal(const Mesh& mesh);

class UgridExport {
 public:
  // Writes the header and the mesh into PATH.part; `source` names the program
  // and the result file in the file's global attributes.
  UgridExport(const Mesh& mesh, const NetcdfSettings& settings, const std::string& path, int unit,
              const std::string& source);

  // Appends `step` as the next record, placed at `timeValue` (in the time unit).
  void addStep(const Step& step, double timeValue);
  std::uint32_t steps() const { return file_.records(); }
  std::size_t faces() const { return faces_.size(); }
  // Closes the file with the steps added so far and moves it into place.
  void commit() { file_.commit(); }

 private:
  const Mesh& mesh_;
  std::vector<std::int32_t> faces_;  // element number of each face
  netcdf::ClassicFile file_;
  NodeWork work_;
  std::vector<double> faceValues_;  // one face variable of one step
  std::vector<double> statusValues_;  // ISTAT of one step
};

}  // namespace gw::postvtk
