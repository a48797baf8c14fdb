#include "driver.hpp"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fault.hpp"
#include "file_names.hpp"
#include "format.hpp"
#include "free_form.hpp"
#include "graph_data.hpp"
#include "platform.hpp"
#include "result_file.hpp"
#include "series_store.hpp"
#include "step_reading.hpp"

namespace gw::timehist {

namespace {

// The most nodes and the most elements the extractor holds.
constexpr std::int32_t kCapacity = 5000;

// Fixed unit numbers of the extractor's files, shown in diagnostics.
constexpr int kResultUnit = 7;
constexpr int kWorkListUnit = 98;

constexpr const char* kWorkList = "WORK.LST";

// Console texts in code page 932.
// "---  結果ファイル（図化用）の読み込みの設定 "
constexpr std::string_view kResultSettings =
    "---  \x8C\x8B\x89\xCA\x83\x74\x83\x40\x83\x43\x83\x8B\x81\x69\x90\x7D\x89\xBB\x97\x70\x81\x6A"
    "\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xCC\x90\xDD\x92\xE8 ";
// "---    WORK.LSTから読み込む/0"
constexpr std::string_view kFromWorkList =
    "---    WORK.LST\x82\xA9\x82\xE7\x93\xC7\x82\xDD\x8D\x9E\x82\xDE/0";
// "---    ファイル名を入力　　/1"
constexpr std::string_view kTypeName =
    "---    \x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xF0\x93\xFC\x97\xCD\x81\x40\x81\x40/1";
// "--- 結果ファイル名の入力 "
constexpr std::string_view kResultName =
    "--- \x8C\x8B\x89\xCA\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x93\xFC\x97\xCD ";
// "--- グラフ用データの読み込み "
constexpr std::string_view kGraphSettings =
    "--- \x83\x4F\x83\x89\x83\x74\x97\x70\x83\x66\x81\x5B\x83\x5E\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD ";
// "---   　 データファイル名の入力"
constexpr std::string_view kGraphName =
    "---   \x81\x40 \x83\x66\x81\x5B\x83\x5E\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xCC\x93\xFC\x97\xCD";

const Format kTitle("(20A4)");

std::string nameFromWorkList() {
  auto list = LineInput::openFile(kWorkList, kWorkListUnit);
  std::string field;
  for (int line = 0; line < 4; ++line) field = readText(*list, kNameWidth);
  return fileNameFromField(field);
}

// Asks where the result file name comes from: 1 types it, any other answer
// takes the fourth line of WORK.LST.
std::string chooseResultFile(Console& console, bool& fromWorkList) {
  writeFree(console.out(), kResultSettings);
  writeFree(console.out(), kFromWorkList);
  writeFree(console.out(), kTypeName);
  fromWorkList = console.readInteger() != 1;
  if (fromWorkList) return nameFromWorkList();
  writeFree(console.out(), kResultName);
  return console.readFileName();
}

// A CSV file written over one of the run's inputs would destroy it: such a run
// is refused before anything is written.
void refuseCsvOverInput(const PointLists& lists, const std::string& folder, const std::string& file,
                        const char* what) {
  for (const SeriesFile& csv : kSeriesFiles) {
    const std::string path = pathInFolder(folder, csv.name);
    if (!entries(lists, csv.series).empty() && platform::sameFile(path, file)) {
      throw Fault(FaultKind::Refused, csv.unit, path, std::string("the CSV file would overwrite ") + what + " " + file);
    }
  }
}

// The choices of a run, in the order the run needs them: asked on the console
// (the dialogue) or given on the command line.
class Choices {
 public:
  virtual ~Choices() = default;
  // The result file name, and whether it came from WORK.LST.
  virtual std::string resultFile(bool& fromWorkList) = 0;
  virtual std::string graphFile() = 0;
  // Where the CSV files go; empty: the current directory.
  virtual std::string csvFolder() = 0;
  // The run has written its files.
  virtual void finished(const std::vector<WrittenFile>& files) = 0;
};

class Dialogue final : public Choices {
 public:
  explicit Dialogue(Console& console) : console_(console) {}
  std::string resultFile(bool& fromWorkList) override { return chooseResultFile(console_, fromWorkList); }
  std::string graphFile() override {
    writeFree(console_.out(), kGraphSettings);
    writeFree(console_.out(), kGraphName);
    return console_.readFileName();
  }
  std::string csvFolder() override { return {}; }
  void finished(const std::vector<WrittenFile>&) override {}

 private:
  Console& console_;
};

class GivenChoices final : public Choices {
 public:
  GivenChoices(Console& console, const CommandLine& line) : console_(console), line_(line) {}
  std::string resultFile(bool& fromWorkList) override {
    fromWorkList = false;
    return line_.resultFile;
  }
  std::string graphFile() override { return line_.graphFile; }
  std::string csvFolder() override { return line_.csvFolder; }
  void finished(const std::vector<WrittenFile>& files) override { reportWritten(console_.out(), files); }

 private:
  Console& console_;
  const CommandLine& line_;
};

int extract(Console& console, Choices& choices) {
  bool fromWorkList = false;
  const std::string resultName = choices.resultFile(fromWorkList);

  ResultFile result(resultName, kResultUnit, kCapacity);
  Mesh mesh;
  result.readMesh(mesh);
  kTitle(console.out(), titleWords(mesh.title));
  writeFree(console.out(), mesh.numnp, mesh.numel);

  const std::string graphName = choices.graphFile();
  GraphData graph = readGraphData(graphName);

  const std::string folder = choices.csvFolder();
  refuseCsvOverInput(graph.lists, folder, resultName, "the result file");
  refuseCsvOverInput(graph.lists, folder, graphName, "the graph data file");
  if (fromWorkList) refuseCsvOverInput(graph.lists, folder, kWorkList, "the work list");

  std::unique_ptr<SeriesStore> store;
  try {
    store = std::make_unique<SeriesStore>(graph.caps, std::move(graph.lists));
  } catch (const std::bad_alloc&) {
    throw Fault(FaultKind::Refused, kGraphDataUnit, graphName,
                "the capacities and counts of the graph data file ask for more memory than there is");
  }

  const std::int32_t kept = readKeptSteps(result, mesh, *store);
  choices.finished(store->writeFiles(kept, folder));
  console.out().flush();
  return 0;
}

}  // namespace

int runExtractor(Console& console) {
  Dialogue dialogue(console);
  return extract(console, dialogue);
}

int runExtractorWith(Console& console, const CommandLine& line) {
  // A graph data file that is not there is refused before anything is made (the
  // dialogue creates it empty, then meets its end).
  LineInput::openFile(line.graphFile, kGraphDataUnit);
  GivenChoices choices(console, line);
  return extract(console, choices);
}

}  // namespace gw::timehist
