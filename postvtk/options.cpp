#include "options.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "ascii_case.hpp"
#include "platform.hpp"

namespace gw::postvtk {

namespace {

// "1,5,-2" into step numbers; every item must be a whole 32-bit integer.
std::vector<std::int32_t> parseNumbers(std::string_view text) {
  std::vector<std::int32_t> numbers;
  std::size_t at = 0;
  while (true) {
    std::size_t comma = text.find(',', at);
    std::string_view item = text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || ec != std::errc() || end != item.data() + item.size()) {
      throw UsageError("--steps takes all, last or step numbers separated by commas, not '" +
                       std::string(text) + "'");
    }
    numbers.push_back(value);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return numbers;
}

void checkBase(const std::string& base) {
  if (base.empty() || base == "." || base == ".." || base.find('/') != std::string::npos) {
    throw UsageError("--name takes a plain file name stem without '/', not '" + base +
                     "' (use -o for the directory)");
  }
}

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The number of digits `text` holds at `at`, or -1 when they are not all digits.
int digitsAt(const std::string& text, std::size_t at, std::size_t count) {
  if (at + count > text.size() || !allDigits(std::string_view(text).substr(at, count))) return -1;
  return std::stoi(text.substr(at, count));
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

// The options that only the netCDF file takes.
constexpr std::string_view kNetcdfOptions[] = {"--single", "--crs", "--shift", "--time-unit", "--start",
                                               "--length-unit"};

}  // namespace

std::int32_t parseCrs(const std::string& text) {
  const std::string_view code = std::string_view(text).substr(text.size() < 5 ? text.size() : 5);
  const bool prefixed = text.size() > 5 && (text.compare(0, 5, "EPSG:") == 0 || text.compare(0, 5, "epsg:") == 0);
  std::int32_t value = 0;
  if (prefixed && allDigits(code) && code.size() <= 6) {
    std::from_chars(code.data(), code.data() + code.size(), value);
  }
  if (value <= 0) throw UsageError("--crs takes EPSG: and a code number, such as EPSG:6677, not '" + text + "'");
  return value;
}

std::string parseStart(const std::string& text) {
  auto refuse = [&]() -> std::string {
    throw UsageError("--start takes a date YYYY-MM-DD, with a time HH:MM or HH:MM:SS after 'T' or a blank if "
                     "wanted, not '" + text + "'");
  };
  const int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || year < 1 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month)) {
    return refuse();
  }
  int hour = 0, minute = 0, second = 0;
  if (text.size() > 10) {
    if ((text[10] != 'T' && text[10] != ' ') || (text.size() != 16 && text.size() != 19) || text[13] != ':') {
      return refuse();
    }
    hour = digitsAt(text, 11, 2);
    minute = digitsAt(text, 14, 2);
    if (text.size() == 19) second = text[16] == ':' ? digitsAt(text, 17, 2) : -1;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return refuse();
  }
  auto two = [](int n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); };
  return text.substr(0, 4) + "-" + two(month) + "-" + two(day) + " " + two(hour) + ":" + two(minute) + ":" + two(second);
}

void parseShift(const std::string& text, double& dx, double& dy) {
  const std::size_t comma = text.find(',');
  auto number = [&](std::string_view item, double& value) {
    auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    return !item.empty() && ec == std::errc() && end == item.data() + item.size() && std::isfinite(value);
  };
  if (comma == std::string::npos || !number(std::string_view(text).substr(0, comma), dx) ||
      !number(std::string_view(text).substr(comma + 1), dy)) {
    throw UsageError("--shift takes two numbers DX,DY, such as 40000,-12500.5, not '" + text + "'");
  }
}

std::string parseTimeUnit(const std::string& text) {
  std::string unit = lowerCase(text);
  if (unit.size() > 1 && unit.back() == 's') unit.pop_back();
  if (unit != "second" && unit != "minute" && unit != "hour" && unit != "day") {
    throw UsageError("--time-unit takes second, minute, hour or day, not '" + text + "'");
  }
  return unit;
}

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  std::string netcdfOption;  // the first option given that only the netCDF file takes
  bool haveFile = false;
  bool optionsEnded = false;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (haveFile) throw UsageError("one result file only; '" + options.resultFile + "' and '" + arg + "' given");
      options.resultFile = arg;
      haveFile = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Options with a value take it as the next argument or after '='.
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        inlineValue = true;
      }
    }
    auto takeValue = [&]() -> std::string {
      if (inlineValue) return value;
      if (k + 1 >= args.size()) throw UsageError(name + " needs a value");
      return args[++k];
    };
    auto noValue = [&] {
      if (inlineValue) throw UsageError(name + " takes no value");
    };
    if (name == "-h" || name == "--help") {
      noValue();
      options.help = true;
    } else if (name == "--version") {
      noValue();
      options.version = true;
    } else if (name == "--ascii") {
      noValue();
      options.ascii = true;
    } else if (name == "--html") {
      noValue();
      options.html = true;
    } else if (name == "--html-only") {
      noValue();
      options.html = true;
      options.vtk = false;
    } else if (name == "--netcdf") {
      noValue();
      options.netcdf = true;
    } else if (name == "--netcdf-only") {
      noValue();
      options.netcdf = true;
      options.vtk = false;
    } else if (name == "--single") {
      noValue();
      options.netcdfSettings.single = true;
    } else if (name == "--crs") {
      options.netcdfSettings.epsg = parseCrs(takeValue());
    } else if (name == "--shift") {
      parseShift(takeValue(), options.netcdfSettings.shiftX, options.netcdfSettings.shiftY);
    } else if (name == "--time-unit") {
      options.netcdfSettings.timeUnit = parseTimeUnit(takeValue());
    } else if (name == "--start") {
      options.netcdfSettings.start = parseStart(takeValue());
    } else if (name == "--length-unit") {
      std::string unit = takeValue();
      bool letters = !unit.empty() && unit.size() <= 16;
      for (char c : unit) letters = letters && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
      if (!letters) throw UsageError("--length-unit takes a unit symbol of letters, such as m or ft, not '" + unit + "'");
      options.netcdfSettings.lengthUnit = unit;
    } else if (name == "-o" || name == "--output-dir") {
      options.outDir = takeValue();
      if (options.outDir.empty()) throw UsageError(name + " needs a directory name");
    } else if (name == "--name") {
      options.base = takeValue();
      checkBase(options.base);
    } else if (name == "--time") {
      std::string choice = takeValue();
      if (choice != "value" && choice != "index") throw UsageError("--time takes value or index, not '" + choice + "'");
      options.time = choice == "index" ? TimeChoice::Index : TimeChoice::Value;
    } else if (name == "--steps") {
      std::string choice = takeValue();
      options.numbers.clear();
      if (choice == "all") {
        options.steps = StepChoice::All;
      } else if (choice == "last") {
        options.steps = StepChoice::Last;
      } else {
        options.steps = StepChoice::Numbered;
        options.numbers = parseNumbers(choice);
      }
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
    for (std::string_view only : kNetcdfOptions) {
      if (name == only && netcdfOption.empty()) netcdfOption = name;
    }
  }
  if (!options.help && !options.version && !haveFile) throw UsageError("no result file given");
  if (options.ascii && !options.vtk) {
    throw UsageError("--ascii sets how the VTK files hold their values; --html-only and --netcdf-only write none");
  }
  if (!netcdfOption.empty() && !options.netcdf) {
    throw UsageError(netcdfOption + " sets the netCDF file: give it with --netcdf or --netcdf-only");
  }
  return options;
}

std::string defaultBase(const std::string& resultFile) {
  std::string stem = platform::fileStem(resultFile);
  if (stem.empty() || stem == "." || stem == "..") stem = "result";
  return stem;
}

const char* helpText() {
  return "usage: postvtk RESULT_FILE [-o OUTDIR] [--steps all|last|N,...] [--name BASE] [--time value|index]\n"
         "               [--ascii] [--html | --html-only] [--netcdf | --netcdf-only] [netCDF options]\n"
         "\n"
         "Writes the time steps of a groundwater flow result file as VTK XML unstructured\n"
         "grids (one BASE_NNNN.vtu per step, NNNN the position of the step block in the\n"
         "file) and the collection BASE.pvd that gives each its TIME; open BASE.pvd in\n"
         "ParaView to see the run as a time series. Also, or instead, a page for any web\n"
         "browser (BASE.html) and a netCDF file for GIS and Python (BASE.nc).\n"
         "\n"
         "  -o, --output-dir OUTDIR  directory of the written files (default: the current\n"
         "                           directory; created when missing)\n"
         "  --steps all              every step block (default)\n"
         "  --steps last             the last step block only\n"
         "  --steps N,...            every step block whose step number LA is one of these\n"
         "  --name BASE              file name stem (default: the result file name without\n"
         "                           its extension)\n"
         "  --time value             each step at its TIME (default)\n"
         "  --time index             each step at its position in the file (NNNN), for\n"
         "                           runs whose TIME does not rise from step to step\n"
         "  --ascii                  values as text, for inspection (default: raw binary)\n"
         "  --html                   also write BASE.html, a view of the selected steps\n"
         "                           for any web browser (see below)\n"
         "  --html-only              write BASE.html only, no .vtu or .pvd files\n"
         "  --netcdf                 also write BASE.nc, the mesh and every selected step in\n"
         "                           one netCDF file (UGRID conventions): a mesh layer in\n"
         "                           QGIS, a dataset in xarray, a mesh in ParaView\n"
         "  --netcdf-only            write BASE.nc only, no .vtu or .pvd files\n"
         "  -h, --help               this text\n"
         "  --version                the program's release\n"
         "netCDF options:\n"
         "  --crs EPSG:CODE          the coordinate system of X and Y, e.g. EPSG:6677\n"
         "  --shift DX,DY            add DX to every X and DY to every Y\n"
         "  --time-unit UNIT         the unit of TIME: second (default), minute, hour, day\n"
         "  --start DATE             the date TIME counts from: YYYY-MM-DD, or with a time\n"
         "                           YYYY-MM-DDTHH:MM[:SS] (default 2000-01-01)\n"
         "  --length-unit UNIT       the model's unit of length (default m)\n"
         "  --single                 values as 32-bit reals, half the size (coordinates and\n"
         "                           times stay 64-bit); by default every value is the\n"
         "                           result file's 64-bit real, bit for bit\n"
         "\n"
         "Points carry H, Q, BL, the node averages of the element velocities over the\n"
         "active elements (velocity, D_velocity and their magnitudes), ISTAT, AUX and\n"
         "NCODE; cells carry velocity (DVX/D, DVY/D), D_velocity (DVX, DVY), D, the\n"
         "property number, the element number, ELV and active (1 when the property\n"
         "number is above 0); the field data carries TimeValue, TIME, step (LA) and\n"
         "TITLE. A value that is not a finite number (the velocity of an element with\n"
         "D = 0) is written as NaN. Every element is kept, inactive ones too, a fourth\n"
         "corner of 0 making a triangle; an element with a corner number outside\n"
         "1..NUMNP is left out with a warning. A step whose TIME is not above the one\n"
         "before gets a warning. A progress line is shown on standard error when it is\n"
         "a terminal.\n"
         "\n"
         "BASE.html is one self-contained file (no network needed) that opens by\n"
         "double-click: the mesh coloured by H, Q, the velocity magnitude or D of a step,\n"
         "a colour bar, a slider and play button over the steps, pan (drag), zoom (wheel)\n"
         "and the node and element under the pointer with their values. Values are held\n"
         "as 32-bit reals.\n"
         "\n"
         "BASE.nc: the mesh is the active elements (an inactive element is a hole);\n"
         "nodes carry H, Q, ISTAT, the node means of the velocities, AUX, BL, NCODE;\n"
         "faces the velocity, D, the property number, ELV and the element number; every\n"
         "element, inactive ones too, keeps DVX, DVY and D by its number (element_*).\n"
         "Steps are placed at TIME in UNIT since DATE, as GIS programs take them.\n"
         "\n"
         "Exit status: 0 written; 1 no selected step in the file, nothing written;\n"
         "2 bad command line or a fault in reading or writing a file. A fault after step\n"
         "files were written still writes BASE.pvd, listing those files, and BASE.nc,\n"
         "holding those steps.\n"
         "See README.md for more.\n";
}

}  // namespace gw::postvtk
