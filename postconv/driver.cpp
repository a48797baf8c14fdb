#include "driver.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fault.hpp"
#include "format.hpp"
#include "platform.hpp"
#include "free_form.hpp"
#include "line_blocks.hpp"
#include "line_input.hpp"
#include "result_file.hpp"
#include "converter_state.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

constexpr const char* kWorkList = "WORK.LST";
constexpr const char* kAvsTmp = "AVS.tmp";

// Console texts in code page 932.
// "節点総数　"
constexpr std::string_view kNodeTotal = "\x90\xDF\x93\x5F\x91\x8D\x90\x94\x81\x40";
// "  要素総数　"
constexpr std::string_view kElementTotal = "  \x97\x76\x91\x66\x91\x8D\x90\x94\x81\x40";
// Fifteen blanks and "デ－タ－ＯＫ？　Ｙ／０　Ｎ／１"
constexpr std::string_view kDataOk =
    "               \x83\x66\x81\x7C\x83\x5E\x81\x7C\x82\x6E\x82\x6A\x81\x48\x81\x40"
    "\x82\x78\x81\x5E\x82\x4F\x81\x40\x82\x6D\x81\x5E\x82\x50";

const Format kBanner(
    "('**********************************************',/,"
    "'* This program is for QX-TOVA .              *',/,"
    "'*  It uses the 4th file inWORK.LST.          *',/,"
    "'*   NUMNP= upto 44444                        *',/,"
    "'*   NUMEL= upto 44444                        *',/,"
    "'*--------------------------------------------*',/,"
    "'*                               Yes/0  No/1  *',/,"
    "'**********************************************')");

const Format kSourceBox(
    "('    +--------------------------------------------+',/,"
    "'    | You can choose the file to transform.      |',/,"
    "'    |   Which is your choice?                    |',/,"
    "'    |                                            |',/,"
    "'    |   0:  the 4th file in WORK.LST             |',/,"
    "'    |   1:  input the file-name.                 |',/,"
    "'    +--------------------------------------------+')");

const Format kClosing("(/,/,'   <<<<<  OK! OK!  NORMAL TERMINATION  >>>>> ')");

constexpr std::string_view kMenuLines[] = {
    "        TOVA-ReStart  ------- 1", "        TECPLOT  DATA ------- 2",
    "        FEMAP    DATA ------- 3", "        MicroAVS DATA ------- 4",
    "        rxVIEW   DATA ------- 5", "        INTERP   DATA ------- 6",
};

// An answer that gives no value (a slash) leaves `unanswered`: a value that
// repeats the prompt or declines, so that no choice is made by accident.
std::int32_t askInteger(Console& console, std::int32_t unanswered = -1) {
  writeFree(console.out(), "  INPUT No. ? =");
  return console.readInteger(unanswered);
}

void confirmBanner(Console& console) {
  writeFree(console.out());
  writeFree(console.out());
  kBanner(console.out());
  std::int32_t answer;
  do {
    answer = askInteger(console);
  } while (answer < 0 || answer > 1);
}

std::string nameFromWorkList() {
  auto list = LineInput::openFile(kWorkList, kWorkListUnit);
  std::string field;
  for (int line = 0; line < 4; ++line) field = readText(*list, kNameWidth);
  return fileNameFromField(field);
}

std::string chooseResultFile(Console& console) {
  writeFree(console.out());
  writeFree(console.out());
  kSourceBox(console.out());
  writeFree(console.out());
  for (;;) {
    std::int32_t answer = askInteger(console);
    if (answer == 0) return nameFromWorkList();
    if (answer == 1) {
      writeFree(console.out(), "  INPUT the File Name. ");
      return console.readFileName();
    }
  }
}

// The title record and the node and element totals.
void showTitleAndTotals(TextOut& out, const Mesh& mesh) {
  {
    FreeRecord title(out);
    for (const Item& word : titleWords(mesh.title)) title << word.s;
    title.end();
  }
  writeFree(out, kNodeTotal, mesh.numnp, kElementTotal, mesh.numel);
}

// Shows the title and the totals; true when the user confirms them.
bool confirmTotals(Console& console, const Mesh& mesh) {
  TextOut& out = console.out();
  showTitleAndTotals(out, mesh);
  writeFree(out, "");
  writeFree(out, kDataOk);
  writeFree(out, "");
  return askInteger(console) == 0;
}

std::int32_t chooseKtype(Console& console) {
  writeFree(console.out(), "  Select data-Transfer type");
  for (std::string_view line : kMenuLines) writeFree(console.out(), line);
  std::int32_t v = askInteger(console, 0);
  return v < 3 ? v : v + 1;
}

void refuseOutputName(const std::string& output, const std::string& other, const char* what) {
  if (platform::sameFile(output, other)) {
    throw Fault(FaultKind::Refused, kOutputUnit, output,
                std::string("the output file would overwrite ") + what + " " + other);
  }
}

// The MicroAVS scratch file is emptied as soon as it is opened: a result file
// or work list by that name would be lost.
void refuseScratchName(const std::string& input, const char* what) {
  if (platform::sameFile(kAvsTmp, input)) {
    throw Fault(FaultKind::Refused, kAvsTmpUnit, kAvsTmp,
                std::string("the MicroAVS scratch file would overwrite ") + what + " " + input);
  }
}

std::int32_t chooseStep(Console& console) {
  TextOut& out = console.out();
  writeFree(out, " Input your interest\tNo. OF TIME STEP");
  writeFree(out, "   If input (<0) No., All time step avairable ");
  writeFree(out, "   If input (0) No., Final time step avairable ");
  return askInteger(console);
}

void writeSelectedStep(std::int32_t ktype, TextOut& out, TextOut* avsTmp, const Mesh& mesh, const Step& step,
                       NodeWork& work, KeptSteps& kept, Counters& counters) {
  switch (ktype) {
    case kRestart: writeRestartStep(out, mesh, step, kept); break;
    case kTecplot: writeTecplotStep(out, mesh, step, kept); break;
    case kFemap: writeFemapStep(out, mesh, step, work, counters); break;
    case kMicroAvs: writeMicroAvsStep(*avsTmp, mesh, step, kept, counters); break;
    case kRxview: writeRxviewStep(out, mesh, step, kept); break;
    default: break;  // INTERP writes every step block itself; other codes write nothing
  }
}

// Step numbers as a message names them: "step 4", "steps 1 to 5",
// "steps 1 to 3, 7 and 9"; beyond six runs, the first five and the last.
std::string describeSteps(std::vector<std::int32_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::vector<std::string> items;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (j - i >= 2) {
      items.push_back(std::to_string(numbers[i]) + " to " + std::to_string(numbers[j]));
    } else {
      for (std::size_t k = i; k <= j; ++k) items.push_back(std::to_string(numbers[k]));
    }
    i = j + 1;
  }
  if (items.size() == 1) return (numbers.size() == 1 ? "step " : "steps ") + items[0];
  std::string text = "steps ";
  if (items.size() > 6) {
    for (std::size_t k = 0; k < 5; ++k) text += items[k] + ", ";
    return text + "... " + items.back() + " (" + std::to_string(numbers.size()) + " numbers)";
  }
  for (std::size_t k = 0; k + 1 < items.size(); ++k) text += items[k] + (k + 2 < items.size() ? ", " : " and ");
  return text + items.back();
}

// The choices of a run, in the order the run needs them: asked on the console
// (the dialogue) or given on the command line.
class Choices {
 public:
  virtual ~Choices() = default;
  virtual std::string resultFile() = 0;
  // Shows the title and the totals; false when the user does not confirm them.
  virtual bool acceptTotals(const Mesh& mesh) = 0;
  virtual std::int32_t ktype() = 0;
  virtual std::string outputFile() = 0;
  // Whether the run is to go on to open its output: false when it would write
  // no step (the command line refuses such a run and says why).
  virtual bool writesAStep(const ResultFile&, const Mesh&, std::int32_t /*ktype*/) { return true; }
  virtual std::string pointFile() = 0;
  // The points are located: the command line warns of those in no active element.
  virtual void pointsLocated(const Mesh&, const PointSet&) {}
  virtual std::int32_t isel() = 0;
  // The run has written its files.
  virtual void finished(const std::vector<WrittenFile>& files) = 0;
};

class Dialogue final : public Choices {
 public:
  explicit Dialogue(Console& console) : console_(console) {}
  std::string resultFile() override {
    confirmBanner(console_);
    return chooseResultFile(console_);
  }
  bool acceptTotals(const Mesh& mesh) override { return confirmTotals(console_, mesh); }
  std::int32_t ktype() override { return chooseKtype(console_); }
  std::string outputFile() override {
    writeFree(console_.out(), " ");
    writeFree(console_.out(), "  INPUT Output File Name");
    return console_.readFileName();
  }
  std::string pointFile() override {
    writeFree(console_.out(), " ");
    writeFree(console_.out(), "  INPUT File Name of POINT DATA");
    return console_.readFileName();
  }
  std::int32_t isel() override { return chooseStep(console_); }
  void finished(const std::vector<WrittenFile>&) override {
    kClosing(console_.out());
    writeFree(console_.out(), " ");
  }

 private:
  Console& console_;
};

class GivenChoices final : public Choices {
 public:
  GivenChoices(Console& console, const CommandLine& line) : console_(console), line_(line) {}
  std::string resultFile() override { return line_.resultFile; }
  bool acceptTotals(const Mesh& mesh) override {
    showTitleAndTotals(console_.out(), mesh);
    return true;
  }
  std::int32_t ktype() override { return line_.ktype; }
  std::string outputFile() override { return line_.outputFile; }
  bool writesAStep(const ResultFile& result, const Mesh& mesh, std::int32_t ktype) override {
    if (result.atEnd()) {
      say(result.name() + " holds no time step; nothing written");
      return false;
    }
    // INTERP writes every block, --step all every block, --step last the last.
    if (ktype == kInterp || line_.isel <= 0) return true;
    const std::vector<std::int32_t> numbers = result.stepNumbers(mesh, line_.isel);
    if (std::find(numbers.begin(), numbers.end(), line_.isel) != numbers.end()) return true;
    say("no step numbered " + std::to_string(line_.isel) + " in " + result.name() + " (it holds " +
        describeSteps(numbers) + "); nothing written");
    return false;
  }
  std::string pointFile() override { return line_.pointFile; }
  void pointsLocated(const Mesh& mesh, const PointSet& points) override {
    const std::string warning = pointsOutsideWarning(mesh, points);
    if (!warning.empty()) say("warning: " + warning);
  }
  std::int32_t isel() override { return line_.isel; }
  void finished(const std::vector<WrittenFile>& files) override { reportWritten(console_.out(), files); }

 private:
  // A line on standard error, after the console lines before it.
  void say(const std::string& text) {
    console_.out().flush();
    writeErrorLine("postconv: " + text);
  }

  Console& console_;
  const CommandLine& line_;
};

// The step blocks of the result file read one block ahead, on a second
// thread: while the caller writes one step, the next is read into the other of
// two buffers. They come in file order, each with whether the file ended after
// it; a fault of reading a block comes when the caller asks for that block, as
// it does when the blocks are read in the loop.
class StepsAhead {
 public:
  // `ahead`: whether reading ahead pays (every step is written); otherwise, and
  // on one processor, the blocks are read as they are asked for.
  StepsAhead(ResultFile& result, const Mesh& mesh, ResultFile::Results results, bool ahead)
      : result_(result), mesh_(mesh), results_(results) {
    if (ahead && secondThreadAllowed()) reader_ = std::thread([this] { readLoop(); });
  }
  StepsAhead(const StepsAhead&) = delete;
  StepsAhead& operator=(const StepsAhead&) = delete;
  ~StepsAhead() {
    if (!reader_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    readerWakes_.notify_one();
    reader_.join();
  }

  // The next step block, nullptr after the last; `atEnd`: whether the file
  // ended after it. The block stays valid until the next call.
  const Step* next(bool& atEnd) {
    if (!reader_.joinable()) {
      if (!result_.readStep(mesh_, buffers_[0].step, results_)) return nullptr;
      atEnd = result_.atEnd();
      return &buffers_[0].step;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (taken_ >= 0) {  // the caller is done with the block it had
      buffers_[taken_].state = State::Free;
      readerWakes_.notify_one();
    }
    const int at = taken_ < 0 ? 0 : (taken_ + 1) % 2;
    callerWakes_.wait(lock, [&] { return buffers_[at].state != State::Free; });
    Buffer& b = buffers_[at];
    if (b.state == State::Failed) std::rethrow_exception(b.failure);
    if (b.state == State::Ended) return nullptr;
    taken_ = at;
    atEnd = b.atEnd;
    return &b.step;
  }

 private:
  enum class State { Free, Read, Ended, Failed };
  struct Buffer {
    Step step;
    State state = State::Free;
    bool atEnd = false;
    std::exception_ptr failure;
  };

  void readLoop() {
    for (int at = 0;; at = (at + 1) % 2) {
      Buffer& b = buffers_[at];
      {
        std::unique_lock<std::mutex> lock(mutex_);
        readerWakes_.wait(lock, [&] { return stop_ || b.state == State::Free; });
        if (stop_) return;
      }
      State state = State::Read;
      try {
        if (!result_.readStep(mesh_, b.step, results_)) state = State::Ended;
        b.atEnd = result_.atEnd();
      } catch (...) {
        b.failure = std::current_exception();
        state = State::Failed;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        b.state = state;
      }
      callerWakes_.notify_one();
      if (state != State::Read) return;
    }
  }

  ResultFile& result_;
  const Mesh& mesh_;
  ResultFile::Results results_;
  Buffer buffers_[2];
  int taken_ = -1;  // the buffer the caller holds
  std::mutex mutex_;
  std::condition_variable readerWakes_, callerWakes_;
  bool stop_ = false;
  std::thread reader_;
};

int convert(Console& console, Choices& choices) {
  Counters counters;
  const std::string resultName = choices.resultFile();

  ResultFile result(resultName, kResultUnit, kCapacity);
  Mesh mesh;
  result.readMesh(mesh);
  if (!choices.acceptTotals(mesh)) {
    console.out().flush();
    static constexpr char kLine[] = "1111\r\n";
    platform::writeAll(platform::kStandardError, kLine, sizeof kLine - 1);
    return kNotConfirmedStatus;
  }

  const std::int32_t ktype = choices.ktype();
  const std::string outputName = choices.outputFile();
  refuseOutputName(outputName, resultName, "the result file");
  refuseOutputName(outputName, kWorkList, "the work list");
  if (ktype == kMicroAvs) {
    refuseScratchName(resultName, "the result file");
    refuseScratchName(kWorkList, "the work list");
  }
  if (!choices.writesAStep(result, mesh, ktype)) {
    console.out().flush();
    return kNothingWrittenStatus;
  }
  std::unique_ptr<TextOut> out = TextOut::openFile(outputName, kOutputUnit);

  NodeWork work;  // sized by the first step writer that uses it
  KeptSteps kept;
  std::unique_ptr<TextOut> avsTmp;
  PointSet points;
  if (ktype == kMicroAvs) {
    refuseOutputName(outputName, kAvsTmp, "the MicroAVS scratch file");
    // The scratch file holds only this run's step sections.
    avsTmp = TextOut::openFile(kAvsTmp, kAvsTmpUnit, true);
  }
  if (ktype == kFemap) {
    writeFemapModel(*out, mesh);
    writeFemapGroup(*out, mesh, counters);
  }
  if (ktype == kInterp) {
    setUpPoints(mesh, choices.pointFile(), outputName, points);
    choices.pointsLocated(mesh, points);
    // Of each step's 20-byte node items only the heads at the points' corners
    // are decoded: a few thousand of tens of thousands.
    result.decodeHeadsAt(cornerSlots(points));
  }

  const std::int32_t isel = choices.isel();

  // Restart data and INTERP use no element result: those are passed over;
  // INTERP uses only the heads of the node results.
  const auto results = ktype == kInterp    ? ResultFile::Results::HeadsOnly
                       : ktype == kRestart ? ResultFile::Results::NodesOnly
                                           : ResultFile::Results::All;
  // Reading the next block while a step is written pays when every step is
  // written at length; INTERP's lines per step are few.
  StepsAhead blocksAhead(result, mesh, results, isel < 0 && ktype != kInterp);
  int blocks = 0;
  int selected = 0;
  bool atEnd = false;
  while (const Step* next = blocksAhead.next(atEnd)) {
    const Step& step = *next;
    ++blocks;
    if (ktype == kInterp) writePointStep(*out, points, step, kept.points);
    std::int32_t target = isel >= 0 ? isel : step.la;
    if (atEnd && isel == 0) target = step.la;
    if (target == step.la) {
      writeSelectedStep(ktype, *out, avsTmp.get(), mesh, step, work, kept, counters);
      ++selected;
    }
  }

  if (ktype == kMicroAvs) writeMicroAvsFinal(*out, *avsTmp, mesh, counters);
  out->flush();
  if (avsTmp) avsTmp->flush();
  const int steps = ktype == kInterp ? blocks : selected;
  std::vector<WrittenFile> written{{outputName, out->bytesWritten(), steps}};
  if (avsTmp) written.push_back({kAvsTmp, avsTmp->bytesWritten(), steps});
  choices.finished(written);
  console.out().flush();
  return 0;
}

}  // namespace

int runConverter(Console& console) {
  Dialogue dialogue(console);
  return convert(console, dialogue);
}

int runConverterWith(Console& console, const CommandLine& line) {
  // A point file that is not there is refused before anything is made (the
  // dialogue creates it empty, then meets its end).
  if (!line.pointFile.empty()) LineInput::openFile(line.pointFile, kPointUnit);
  GivenChoices choices(console, line);
  return convert(console, choices);
}

}  // namespace gw::postconv
