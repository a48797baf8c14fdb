// postvtk: writes the time steps of a groundwater flow result file as VTK XML
// unstructured grids with a .pvd collection, for ParaView and other VTK readers.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "fault.hpp"
#include "file_names.hpp"
#include "html_view.hpp"
#include "options.hpp"
#include "platform.hpp"
#include "result_file.hpp"
#include "run_state.hpp"
#include "ugrid_export.hpp"
#include "vtk_export.hpp"

namespace {

using namespace gw::postvtk;

constexpr const char* kProgram = "postvtk";

using gw::writeErrorLine;

// A one-line progress report on standard error, kept only when it is a terminal.
class Progress {
 public:
  Progress() : shown_(gw::platform::isTerminal(gw::platform::kStandardError)) {}
  void step(int written, std::int32_t la, double time) {
    if (!shown_) return;
    std::string line = "\r";
    line += kProgram;
    line += ": " + std::to_string(written) + " written, step " + std::to_string(la);
    line += ", time " + formatDouble(time) + "   ";
    gw::platform::writeAll(gw::platform::kStandardError, line.data(), line.size());
    open_ = true;
  }
  // Ends the progress line so that other messages start on a line of their own.
  void end() {
    if (open_) writeErrorLine("");
    open_ = false;
  }

 private:
  bool shown_;
  bool open_ = false;
};

void warn(Progress& progress, const std::string& text) {
  progress.end();
  writeErrorLine(std::string(kProgram) + ": warning: " + text);
}

// The output files must never replace the result file they are made from.
void refuseResultFile(const std::string& path, const std::string& resultFile) {
  if (gw::platform::sameFile(path, resultFile) || gw::platform::sameFile(path + ".part", resultFile)) {
    throw gw::Fault(gw::FaultKind::Refused, gw::kOutputUnit, path,
                    "output file would replace the result file");
  }
}

std::string blockName(const std::string& base, int block) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", block);
  return base + "_" + digits + ".vtu";
}

std::string joinNumbers(const std::vector<std::int32_t>& numbers) {
  std::string text;
  for (std::int32_t n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
  return text;
}

// The collection file of the run and the step files written so far, and the
// browser view of the steps read so far. Once a step is taken, the collection and
// the view must be written too, however the run ends, so that neither shows
// files or steps of an earlier run.
struct Written {
  gw::Mesh mesh;  // the view draws it, after a fault too
  std::string collection;
  std::vector<CollectionEntry> entries;
  bool closed = false;  // the collection has been written, or its writing tried

  std::string pagePath;
  std::optional<HtmlView> page;
  bool pageClosed = false;

  std::string netcdfPath;
  std::optional<UgridExport> netcdf;
  bool netcdfClosed = false;

  // Every step taken, with the time it is placed at, for the warning of steps
  // out of time order.
  std::vector<CollectionEntry> placed;

  bool mustClose() const { return !closed && !entries.empty(); }
  bool mustClosePage() const { return page && !pageClosed && page->steps() > 0; }
  bool mustCloseNetcdf() const { return netcdf && !netcdfClosed && netcdf->steps() > 0; }
};

// Writes the collection of the step files written. When it cannot be written,
// the old collection is removed, since it would list files of an earlier run.
void closeCollection(Written& written) {
  written.closed = true;
  try {
    writeCollection(written.collection, gw::kOutputUnit, written.entries);
  } catch (...) {
    gw::platform::removeFile(written.collection);
    throw;
  }
}

// Closes a file after a fault with `close` and says so, as the end of the
// fault's line: what it `holds`, or that it could not be written (`file`).
template <class Close>
std::string closeAfterFault(Close close, const std::string& holds, const char* file) {
  try {
    close();
  } catch (const std::exception& fault) {
    return std::string("; no ") + file + " written (" + fault.what() + ")";
  }
  return "; " + holds;
}

// Writes the browser view of the steps read so far.
void closePage(Written& written) {
  written.pageClosed = true;
  written.page->write(written.pagePath, gw::kOutputUnit);
}

// Closes the netCDF file with the steps written so far.
void closeNetcdf(Written& written) {
  written.netcdfClosed = true;
  written.netcdf->commit();
}

// The program and the result file a netCDF file comes from.
std::string netcdfSource(const std::string& resultFile) {
  return std::string(kProgram) + " " + std::string(gw::kVersion) + ", from the result file " +
         gw::platform::nameInUtf8(resultFile);
}

int run(const Options& options, Progress& progress, Written& written) {
  gw::ResultFile file(options.resultFile, gw::kResultUnit, gw::kCapacity);
  gw::Mesh& mesh = written.mesh;
  file.readMesh(mesh);
  const std::string base = options.base.empty() ? defaultBase(options.resultFile) : options.base;
  if (options.netcdf) {
    written.netcdfPath = gw::pathInFolder(options.outDir, base + ".nc");
    const std::string refusal = netcdfMeshRefusal(mesh);
    if (!refusal.empty()) {
      throw gw::Fault(gw::FaultKind::Refused, gw::kOutputUnit, written.netcdfPath, refusal);
    }
  }

  if (!gw::platform::makeFolders(options.outDir)) {
    throw gw::Fault(gw::FaultKind::CannotOpen, gw::kOutputUnit, options.outDir,
                    "cannot create directory (" + gw::platform::lastFailure().reason + ")");
  }

  std::optional<StepWriter> writer;
  if (options.vtk) {
    written.collection = gw::pathInFolder(options.outDir, base + ".pvd");
    refuseResultFile(written.collection, options.resultFile);
    writer.emplace(mesh, options.ascii ? Encoding::Ascii : Encoding::Binary);
  }
  if (options.html) {
    written.pagePath = gw::pathInFolder(options.outDir, base + ".html");
    refuseResultFile(written.pagePath, options.resultFile);
    written.page.emplace(mesh);
  }
  if (options.netcdf) {
    refuseResultFile(written.netcdfPath, options.resultFile);
    written.netcdf.emplace(mesh, options.netcdfSettings, written.netcdfPath, gw::kOutputUnit,
                           netcdfSource(options.resultFile));
  }
  const HtmlView* page = written.page ? &*written.page : nullptr;
  const std::int32_t leftOut = writer ? writer->meshArrays().leftOut : page ? page->cells().leftOut : 0;
  if (leftOut > 0) {
    warn(progress, std::to_string(leftOut) + " element(s) with a corner number outside 1.." +
                       std::to_string(mesh.numnp) + " left out, the first is element " +
                       std::to_string(writer ? writer->meshArrays().firstLeftOut : page->cells().firstLeftOut));
  }

  std::vector<CollectionEntry>& entries = written.entries;
  std::vector<std::int32_t> found;
  gw::Step step;
  int block = 0;
  while (file.readStep(mesh, step)) {
    ++block;
    bool selected = false;
    switch (options.steps) {
      case StepChoice::All: selected = true; break;
      case StepChoice::Last: selected = file.atEnd(); break;
      case StepChoice::Numbered:
        selected = std::find(options.numbers.begin(), options.numbers.end(), step.la) != options.numbers.end();
        break;
    }
    if (!selected) continue;
    const double timeValue = options.time == TimeChoice::Index ? block : step.time;
    const std::string name = blockName(base, block);
    if (writer) {
      const std::string path = gw::pathInFolder(options.outDir, name);
      refuseResultFile(path, options.resultFile);
      writer->write(step, timeValue, path, gw::kOutputUnit);
      entries.push_back({timeValue, name, step.la});
    }
    if (written.page) written.page->addStep(step);
    if (written.netcdf) written.netcdf->addStep(step, timeValue);
    written.placed.push_back({timeValue, writer ? name : "record " + std::to_string(found.size() + 1) + " of " + base + ".nc", step.la});
    found.push_back(step.la);
    progress.step(static_cast<int>(found.size()), step.la, step.time);
  }

  std::vector<std::int32_t> missing;
  if (options.steps == StepChoice::Numbered) {
    for (std::int32_t n : options.numbers) {
      bool seen = std::find(found.begin(), found.end(), n) != found.end() ||
                  std::find(missing.begin(), missing.end(), n) != missing.end();
      if (!seen) missing.push_back(n);
    }
  }
  if (found.empty()) {
    progress.end();
    if (options.steps == StepChoice::Numbered) {
      writeErrorLine(std::string(kProgram) + ": no step numbered " + joinNumbers(missing) + " in " +
                     options.resultFile + "; nothing written");
    } else {
      writeErrorLine(std::string(kProgram) + ": " + options.resultFile + " holds no time step; nothing written");
    }
    return 1;
  }
  if (!missing.empty()) {
    warn(progress, "no step numbered " + joinNumbers(missing) + " in " + options.resultFile);
  }

  if (writer) {
    closeCollection(written);
    progress.end();
    gw::writeConsoleLines(std::string(kProgram) + ": wrote " + written.collection + " and " +
                          std::to_string(entries.size()) + " step file(s): " +
                          std::to_string(writer->meshArrays().points) + " points, " +
                          std::to_string(writer->meshArrays().cells) + " cells\n");
  }
  if (written.netcdf) {
    closeNetcdf(written);
    progress.end();
    gw::writeConsoleLines(std::string(kProgram) + ": wrote " + written.netcdfPath + ": " +
                          std::to_string(written.netcdf->steps()) + " step(s), " + std::to_string(mesh.nodes()) +
                          " nodes, " + std::to_string(written.netcdf->faces()) + " faces (the active elements)\n");
  }
  if (written.page) {
    closePage(written);
    progress.end();
    gw::writeConsoleLines(std::string(kProgram) + ": wrote " + written.pagePath + ": " +
                          std::to_string(written.page->steps()) + " step(s), " + std::to_string(mesh.nodes()) +
                          " nodes, " + std::to_string(written.page->cells().element.size()) + " cells\n");
  }
  return 0;
}

// Warns of steps placed at a time that does not follow the step before them.
void warnOfTimeOrder(Progress& progress, const std::vector<CollectionEntry>& entries) {
  const std::string text = timeOrderWarning(entries);
  if (!text.empty()) warn(progress, text);
}

}  // namespace

int main(int argc, char** argv) {
  // Binary standard streams: messages end with CR LF on every system.
  gw::platform::prepareStandardStreams();
  Options options;
  try {
    options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    gw::reportUsageError(kProgram, error);
    return gw::kUsageExitStatus;
  }
  if (options.help) {
    return gw::writeConsoleLines(helpText()) ? 0 : gw::kFaultExitStatus;
  }
  if (options.version) {
    return gw::writeConsoleLines(gw::versionLine(kProgram) + "\n") ? 0 : gw::kFaultExitStatus;
  }
  Progress progress;
  Written written;
  std::string diagnostic;
  std::string explanation;  // what the fault means in the user's terms, when the reader knows
  try {
    const int status = run(options, progress, written);
    warnOfTimeOrder(progress, written.placed);
    return status;
  } catch (const gw::Fault& fault) {
    diagnostic = gw::diagnosticLine(kProgram, fault);
    explanation = fault.explanation();
  } catch (const std::exception& error) {  // out of memory and the like
    diagnostic = std::string(kProgram) + ": " + error.what();
  }
  if (written.mustClose()) {
    diagnostic += closeAfterFault([&] { closeCollection(written); },
                                  written.collection + " lists the " + std::to_string(written.entries.size()) +
                                      " step file(s) written before the fault",
                                  "collection");
  }
  if (written.mustClosePage()) {
    diagnostic += closeAfterFault([&] { closePage(written); },
                                  written.pagePath + " shows the " + std::to_string(written.page->steps()) +
                                      " step(s) read before the fault",
                                  "view");
  }
  if (written.mustCloseNetcdf()) {
    diagnostic += closeAfterFault([&] { closeNetcdf(written); },
                                  written.netcdfPath + " holds the " + std::to_string(written.netcdf->steps()) +
                                      " step(s) written before the fault",
                                  "netCDF file");
  }
  warnOfTimeOrder(progress, written.placed);
  progress.end();
  writeErrorLine(diagnostic);
  if (!explanation.empty()) writeErrorLine(std::string(kProgram) + ": " + explanation);
  return gw::kFaultExitStatus;
}
