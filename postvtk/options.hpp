// Command line of postvtk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "ugrid_export.hpp"

namespace gw::postvtk {

// Which step blocks of the result file are written.
enum class StepChoice { All, Last, Numbered };

// The time each step is placed at: its TIME, or its position in the result file.
enum class TimeChoice { Value, Index };

struct Options {
  std::string resultFile;
  std::string outDir = ".";
  std::string base;  // file name stem; empty: taken from the result file name
  StepChoice steps = StepChoice::All;
  std::vector<std::int32_t> numbers;  // step numbers LA for StepChoice::Numbered, as given
  TimeChoice time = TimeChoice::Value;
  bool ascii = false;
  bool vtk = true;    // the .vtu files and their .pvd collection
  bool html = false;  // the browser view BASE.html
  bool netcdf = false;  // the netCDF file BASE.nc
  NetcdfSettings netcdfSettings;
  bool help = false;
  bool version = false;
};

// A command line that cannot be run; the message says why.
using gw::UsageError;

// Parses the arguments after the program name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

// "EPSG:6677" into 6677; "2000-01-01", "2000-01-01T06:00" or "2000-01-01 06:00:30"
// into "2000-01-01 06:00:30"; "100.5,-20" into the two numbers. Throw UsageError.
std::int32_t parseCrs(const std::string& text);
std::string parseStart(const std::string& text);
void parseShift(const std::string& text, double& dx, double& dy);
// The unit of TIME, in any letter case, singular or plural (Days is day).
std::string parseTimeUnit(const std::string& text);

// The --help text.
const char* helpText();

// The file name stem used when --name is not given: the result file name without
// its directory and its last extension ("run/sample.RES" gives "sample").
std::string defaultBase(const std::string& resultFile);

}  // namespace gw::postvtk
