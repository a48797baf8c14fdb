// Menu 6 (INTERP): heads interpolated at points listed in a text file, written
// for every step block of the result file.
#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <string>

#include "fault.hpp"
#include "format.hpp"
#include "free_form.hpp"
#include "line_input.hpp"
#include "platform.hpp"
#include "point_locator.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

const Format kPointLine("(E14.5,',',E14.5,',',E14.5)");

// Opens the point file for reading; a missing file is created empty, so the
// count read that follows ends the run with the end-of-file fault.
std::unique_ptr<LineInput> openPointFile(const std::string& name) {
  const int fd = platform::openFile(name, platform::Access::ReadOrCreate);
  if (fd < 0) {
    throw openFault(kPointUnit, name, true);
  }
  return std::make_unique<LineInput>(fd, name, kPointUnit, true);
}

// What a fault of the point file means: which line, and what it should hold.
// `read` points were read after the count (none: the count itself failed).
void explainPointFault(Fault& fault, const LineInput& in, std::optional<std::size_t> read, std::size_t count) {
  const std::string line = "line " + std::to_string(in.lineNumber()) + " of " + in.name();
  const std::string point = "point " + std::to_string(read.value_or(0) + 1);
  switch (fault.kind()) {
    case FaultKind::EndOfFile:
      if (!read && in.lineNumber() == 0) {
        fault.explain(in.name() + " is empty: its first line should give the number of points");
      } else if (!read) {
        fault.explain(in.name() + " ends after line " + std::to_string(in.lineNumber()) + " without the number of points");
      } else {
        fault.explain(in.name() + " ends after line " + std::to_string(in.lineNumber()) + " with " +
                      std::to_string(*read) + " of the " + std::to_string(count) + " points its first line gives");
      }
      break;
    case FaultKind::Conversion:
      fault.explain(line + (read ? " is not " + point + " as two numbers (x y or x,y): " : " is not the number of points: ") +
                    quotedLine(in.lastLine()));
      break;
    case FaultKind::RecordTooLong:
      fault.explain(line + " is longer than " + std::to_string(LineInput::kKeptLength) +
                    " characters: " + quotedLine(in.lastLine()));
      break;
    default: break;
  }
}

void readPoints(const std::string& name, PointSet& points) {
  auto in = openPointFile(name);
  std::optional<std::size_t> read;
  std::size_t count = 0;
  try {
    std::int32_t npoint = 0;
    readFree(*in, {&npoint});
    if (npoint > kPointCapacity) {
      throw Fault(FaultKind::Refused, kPointUnit, name,
                  "the point file gives " + std::to_string(npoint) + " points, more than the " +
                      std::to_string(kPointCapacity) + " this program holds");
    }
    count = npoint > 0 ? static_cast<std::size_t>(npoint) : 0;
    points.xp.assign(count, 0.0);
    points.yp.assign(count, 0.0);
    for (read = 0; *read < count; ++*read) readFree(*in, {&points.xp[*read], &points.yp[*read]});
  } catch (Fault& fault) {
    explainPointFault(fault, *in, read, count);
    throw;
  }
}

}  // namespace

void setUpPoints(const Mesh& mesh, const std::string& name, const std::string& outputName, PointSet& points) {
  // The output file is emptied by its first write: reading the points from it
  // would lose them, so that name is refused while the file is still intact.
  if (platform::sameFile(name, outputName)) {
    throw Fault(FaultKind::Refused, kOutputUnit, outputName,
                "the output file would overwrite the point file " + name);
  }
  readPoints(name, points);  // the point file is closed when this returns

  const std::size_t count = points.xp.size();
  points.w1.assign(count, 0.0);
  points.w2.assign(count, 0.0);
  points.w3.assign(count, 0.0);
  points.n1.assign(count, 0);
  points.n2.assign(count, 0);
  points.n3.assign(count, 0);
  points.element.assign(count, 0);
  if (count == 0) return;
  const PointLocator locator(mesh, points.xp, points.yp);
  for (std::size_t i = 0; i < count; ++i) {
    const PointLocation& where = locator.at(i);
    if (!where.found()) continue;
    points.w1[i] = where.w1;
    points.w2[i] = where.w2;
    points.w3[i] = where.w3;
    points.n1[i] = where.n1;
    points.n2[i] = where.n2;
    points.n3[i] = where.n3;
    points.element[i] = where.element;
  }
}

RunArray<std::size_t> cornerSlots(const PointSet& points) {
  RunArray<std::size_t> slots;
  slots.reserve(3 * points.n1.size());
  for (const auto* corner : {&points.n1, &points.n2, &points.n3}) {
    for (const std::int32_t n : *corner) {
      if (n > 0) slots.push_back(static_cast<std::size_t>(n - 1));
    }
  }
  std::sort(slots.begin(), slots.end());
  slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
  return slots;
}

void writePointStep(TextOut& out, const PointSet& points, const Step& step, KeptLines& lines) {
  writeFree(out, "TIME,", step.time);
  writeFree(out, "        X,             Y,             H");
  auto head = [&step](std::int32_t n) { return step.h[static_cast<std::size_t>(n - 1)]; };
  // The coordinates are the same in every step: only the head is rendered again.
  constexpr std::size_t kHeadItem[] = {2};
  lines.write(out, kPointLine, kHeadItem, points.xp.size(), [&](std::size_t i) {
    double hp = 0;
    if (points.n1[i] != 0) {
      hp = points.w1[i] * head(points.n1[i]) + points.w2[i] * head(points.n2[i]);
      hp = hp + points.w3[i] * head(points.n3[i]);
    }
    return std::array<Item, 3>{points.xp[i], points.yp[i], hp};
  });
}

namespace {

// A coordinate as short as it reads back exactly: 15.5, -5, 1e+20.
std::string coordinate(double v) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, v);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

// Whether an active element holds the point (the located element may be an
// inactive one that comes first on a shared edge).
bool inActiveElement(const Mesh& mesh, double x, double y) {
  PointLocation where;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (mesh.property(e) > 0 && locateInElement(mesh, e, x, y, where)) return true;
  }
  return false;
}

}  // namespace

std::string pointsOutsideWarning(const Mesh& mesh, const PointSet& points) {
  constexpr std::size_t kNamed = 3;
  std::size_t outside = 0;
  std::string named;
  for (std::size_t i = 0; i < points.xp.size(); ++i) {
    const std::int32_t e = points.element[i];
    if (e != 0 && (mesh.property(e) > 0 || inActiveElement(mesh, points.xp[i], points.yp[i]))) continue;
    if (++outside > kNamed) continue;
    named += outside == 1 ? ": " : "; ";
    named += "point " + std::to_string(i + 1) + " at (" + coordinate(points.xp[i]) + ", " + coordinate(points.yp[i]) +
             ")" + (e == 0 ? ", outside the mesh (head 0)" : ", in inactive element " + std::to_string(e));
  }
  if (outside == 0) return {};
  if (outside > kNamed) named += "; and " + std::to_string(outside - kNamed) + " more";
  return std::to_string(outside) + " of " + std::to_string(points.xp.size()) + " points lie outside every active element" +
         named;
}

}  // namespace gw::postconv
