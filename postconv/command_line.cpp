#include "command_line.hpp"

#include <charconv>
#include <string_view>

#include "ascii_case.hpp"
#include "converter_state.hpp"

namespace gw::postconv {

namespace {

struct KindName {
  std::string_view name;
  std::string_view menuNumber;  // the dialogue's choice for it
  Ktype ktype;
};
constexpr KindName kKinds[] = {
    {"restart", "1", kRestart}, {"tecplot", "2", kTecplot}, {"femap", "3", kFemap},
    {"microavs", "4", kMicroAvs}, {"rxview", "5", kRxview}, {"interp", "6", kInterp},
};

// A kind by its name in any letter case (TECPLOT as the dialogue's menu shows
// it) or by its dialogue menu number.
Ktype kindNamed(const std::string& name) {
  const std::string lower = lowerCase(name);
  for (const KindName& kind : kKinds) {
    if (kind.name == lower || name == kind.menuNumber) return kind.ktype;
  }
  throw UsageError("unknown kind '" + name +
                   "': --kind takes restart, tecplot, femap, microavs, rxview or interp, or their menu numbers 1 to 6");
}

// "all" is every step (ISEL -1), "last" the last step (ISEL 0), a number above
// 0 the steps of that number.
std::int32_t stepNamed(const std::string& text) {
  if (text == "all") return -1;
  if (text == "last") return 0;
  std::int32_t n = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < 1) {
    throw UsageError("--step takes all, last or a step number above 0, not '" + text + "'");
  }
  return n;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  ArgumentWalker walk(args);
  while (walk.next()) {
    const std::string& arg = walk.current();
    if (!walk.isOption()) {
      if (!line.resultFile.empty()) {
        throw UsageError("one result file only; '" + line.resultFile + "' and '" + arg + "' given");
      }
      if (arg.empty()) throw UsageError("the result file name is empty");
      line.resultFile = arg;
    } else if (walk.takeRequest(line.request)) {
    } else if (arg == "--kind") {
      line.ktype = kindNamed(walk.value());
    } else if (arg == "-o" || arg == "--output") {
      line.outputFile = walk.value();
    } else if (arg == "--step") {
      line.isel = stepNamed(walk.value());
    } else if (arg == "--points") {
      line.pointFile = walk.value();
    } else {
      walk.unknownOption();
    }
  }
  if (line.request != Request::Run) return line;
  if (line.resultFile.empty()) throw UsageError("no result file given");
  if (line.ktype == 0) throw UsageError("no output kind given (--kind)");
  if (line.outputFile.empty()) throw UsageError("no output file given (-o)");
  if (line.ktype == kInterp && line.pointFile.empty()) throw UsageError("--kind interp needs --points FILE");
  if (line.ktype != kInterp && !line.pointFile.empty()) throw UsageError("--points goes with --kind interp only");
  return line;
}

const char* helpText() {
  return "usage: postconv RESULT_FILE --kind KIND -o OUTPUT [--step all|last|N] [--points FILE]\n"
         "       postconv                 (no arguments: the console dialogue)\n"
         "\n"
         "Converts a groundwater flow result file into the input of another program,\n"
         "without the dialogue. The file is the one the dialogue writes for the same\n"
         "choices, byte for byte; names may be of any length and hold a path.\n"
         "\n"
         "  --kind KIND       what to write, by name or by the dialogue's menu number:\n"
         "                      restart   TOVA restart data (1)\n"
         "                      tecplot   TECPLOT data (2)\n"
         "                      femap     FEMAP neutral file (3)\n"
         "                      microavs  MicroAVS data (4); uses the scratch file\n"
         "                                AVS.tmp in the current directory\n"
         "                      rxview    rxVIEW data (5)\n"
         "                      interp    heads interpolated at points (6), every step\n"
         "  -o, --output FILE the output file\n"
         "  --step all        every step (default)\n"
         "  --step last       the last step (and a step numbered 0)\n"
         "  --step N          the steps numbered N\n"
         "  --points FILE     the point file of --kind interp: a count on its first line,\n"
         "                    then one point per line (x y, or x,y)\n"
         "  -h, --help        this text\n"
         "  --version         the program's release\n"
         "\n"
         "Shows the title and the node and element totals, then one line per file\n"
         "written with its size and its number of steps; warns of INTERP points that\n"
         "lie in no active element. Exit status: 0 done; 1 no step of that number in\n"
         "the file, or no step at all (nothing written); 2 a bad command line or a\n"
         "missing point file (nothing opened), or a file fault (on standard error: its\n"
         "diagnostic, then what it means, such as the step a file cut short ends in).\n"
         "See README.md for the dialogue, the output files column by column, and faults.\n";
}

}  // namespace gw::postconv
