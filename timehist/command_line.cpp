#include "command_line.hpp"

#include "platform.hpp"

namespace gw::timehist {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  std::vector<std::string> operands;
  ArgumentWalker walk(args);
  while (walk.next()) {
    const std::string& arg = walk.current();
    if (!walk.isOption()) {
      operands.push_back(arg);
    } else if (walk.takeRequest(line.request)) {
    } else if (arg == "-C") {
      line.csvFolder = walk.value();
    } else {
      walk.unknownOption();
    }
  }
  if (line.request != Request::Run) return line;
  if (operands.size() < 2) throw UsageError("a result file and a graph data file are needed");
  if (operands.size() > 2) throw UsageError("one result file and one graph data file only; '" + operands[2] + "' is a third");
  for (const std::string& name : operands) {
    if (name.empty()) throw UsageError("a file name is empty");
  }
  line.resultFile = operands[0];
  line.graphFile = operands[1];
  if (!line.csvFolder.empty() && !platform::isFolder(line.csvFolder)) {
    // A name that is the same file as itself exists: then it is not a folder.
    const bool exists = platform::sameFile(line.csvFolder, line.csvFolder);
    throw UsageError("-C " + line.csvFolder + (exists ? ": not a directory" : ": no such directory"));
  }
  return line;
}

const char* helpText() {
  return "usage: timehist RESULT_FILE GRAPH_FILE [-C DIR]\n"
         "       timehist                 (no arguments: the console dialogue)\n"
         "\n"
         "Writes time series of a groundwater flow result file at the nodes and\n"
         "elements that the graph data file lists, without the dialogue: GHTIME.CSV\n"
         "(heads H), GQTIME.csv (Q), GVDTIME.csv (DVX, DVY) and GVATIME.csv (DVX/D,\n"
         "DVY/D), each only when its list has entries. The files are the ones the\n"
         "dialogue writes for the same files, byte for byte; names may be of any\n"
         "length and hold a path.\n"
         "\n"
         "  -C DIR        write the CSV files into DIR (default: the current directory)\n"
         "  -h, --help    this text\n"
         "  --version     the program's release\n"
         "\n"
         "Shows the title and the node and element totals, then one line per file\n"
         "written with its size and its number of steps. Exit status: 0 done; 2 a bad\n"
         "command line or a missing graph data file (nothing opened), or a file fault\n"
         "(on standard error: its diagnostic, then what it means, such as the line of\n"
         "the graph data file that is not numbers).\n"
         "See README.md for the graph data file layout and the CSV columns.\n";
}

}  // namespace gw::timehist
