// MicroAVS writer (menu 4): a multi-step unstructured-cell file whose header
// states the number of steps, known only at the end of the result file. Each
// selected step is therefore first written as a step section into the scratch
// file AVS.tmp; at the end of the run the final writer writes the header, then
// copies the sections back line by line, inserting the mesh after the first
// step's label line.
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <string_view>

#include "format.hpp"
#include "line_blocks.hpp"
#include "fault.hpp"
#include "platform.hpp"
#include "node_averages.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

// Step label: the word step, the step ordinal in as many digits as it has (four
// asterisks from 10000 on), the time.
const Format kLabel1("('step',I1,E15.7)");
const Format kLabel2("('step',I2,E15.7)");
const Format kLabel3("('step',I3,E15.7)");
const Format kLabel4("('step',I4,E15.7)");
// Seven node components and six element components, each of size 1.
const Format kNodeCounts("('7   6',/,'7   1   1   1   1   1   1   1')");
const Format kNodeLabels(
    "('Total Head,',/,'D*Velocity X,',/,'D*Velocity Y,',/,'D*Velocity,',/,"
    "'Velocity X,',/,'Velocity Y,',/,'Velocity,')");
// Node number, H, the averaged DVX, DVY and their magnitude, the averaged
// velocities and their magnitude: 100 characters.
const Format kNodeData("(I8,1X,7(1P,E12.5,' '))");
constexpr std::size_t kNodeStepItems[] = {1, 2, 3, 4, 5, 6, 7};
const Format kElementCounts("('6   1   1   1   1   1   1')");
const Format kElementLabels(
    "('D*Velocity X,',/,'D*Velocity Y,',/,'D*Velocity,',/,'Velocity X,',/,"
    "'Velocity Y,',/,'Velocity,')");
// Element number, DVX, DVY, their magnitude, and the same divided by D: 87 characters.
const Format kElementData("(I8,1X,6(1P,E12.5,' '))");
constexpr std::size_t kElementStepItems[] = {1, 2, 3, 4, 5, 6};

// Output file header: the step count between the two fixed lines.
const Format kTitle("('# QX-TOVA ')");
const Format kStepCount("(I5)");
const Format kData("('data')");
// The mesh, inside the first step: counts, nodes (the third coordinate is 0),
// cells with the property number as material.
const Format kMeshCounts("(I10,1X,I10)");
const Format kMeshNode("(I8,3(' ',1P,E12.5))");
const Format kTriCell("(I7,' ',I3,' tri ',3(' ',I7))");
const Format kQuadCell("(I7,' ',I3,' quad ',4(' ',I7))");

// The final writer reads scratch lines into a buffer of this many characters.
constexpr std::size_t kLineBuffer = 200;

// Widths of the copied lines of a step section after its label line: the two
// count lines and the seven node labels; the element count line and the six
// element labels; node and element data lines.
constexpr std::size_t kLabelWidth = 26;
constexpr std::size_t kNodeHeadWidths[] = {5, 29, 11, 13, 13, 13, 13, 13, 13};
constexpr std::size_t kElementHeadWidths[] = {25, 13, 13, 13, 13, 13, 13};
constexpr std::size_t kNodeDataWidth = 100;
constexpr std::size_t kElementDataWidth = 87;

// The scratch file, read ahead in chunks on a thread of its own while the
// lines of the chunks before are copied out, so that reading it and writing
// the output overlap. Lines end with LF or CR LF, as text input reads them.
class ScratchReader {
 public:
  ScratchReader(const std::string& name, int unit) : name_(name), unit_(unit) {
    fd_ = platform::openFile(name, platform::Access::Read);
    if (fd_ < 0) throw openFault(unit, name, true);
    for (auto& chunk : chunks_) chunk.data.resize(kChunkBytes);
    reader_ = std::thread([this] { readAhead(); });
  }
  ~ScratchReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
    platform::closeFile(fd_);
  }
  ScratchReader(const ScratchReader&) = delete;
  ScratchReader& operator=(const ScratchReader&) = delete;

  // The next line without its line end (at most kLineBuffer characters of
  // it); the end of the file is the end-of-file fault of the scratch file.
  std::string_view requireLine() {
    std::string_view line;
    if (!nextLine(line)) throw Fault(FaultKind::EndOfFile, unit_, name_);
    return line;
  }

  // Up to `count` whole lines of exactly `width` characters and CR LF that
  // stand at the read position, taken as they are (at least one when the
  // position has one).
  std::string_view takeExactLines(std::size_t count, std::size_t width) {
    if (!haveBytes()) return {};
    const std::size_t length = width + 2;
    const char* p = current().data.data() + position_;
    const std::size_t fit = std::min(count, (current().size - position_) / length);
    // Each line's first line end is its own, after its CR.
    std::size_t lines = 0;
    while (lines < fit) {
      const char* line = p + lines * length;
      if (std::memchr(line, '\n', length) != line + width + 1 || line[width] != '\r') break;
      ++lines;
    }
    position_ += lines * length;
    return std::string_view(p, lines * length);
  }

 private:
  static constexpr std::size_t kChunkBytes = 256 * 1024;
  static constexpr std::size_t kChunks = 3;
  struct Chunk {
    RunArray<char> data;
    std::size_t size = 0;
    bool ready = false;  // read, not yet taken back
    bool last = false;   // the file ends in it
  };

  Chunk& current() { return chunks_[taken_ % kChunks]; }

  // The reading thread: the chunks in turn, each as soon as it is free.
  void readAhead() {
    for (std::size_t k = 0;; ++k) {
      Chunk& chunk = chunks_[k % kChunks];
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || !chunk.ready; });
        if (stop_) return;
      }
      std::size_t size = 0;
      bool last = false;
      while (size < kChunkBytes) {
        const std::ptrdiff_t got = platform::readSome(fd_, chunk.data.data() + size, kChunkBytes - size);
        if (got <= 0) {  // a failed read ends the input, as in text input
          last = true;
          break;
        }
        size += static_cast<std::size_t>(got);
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        chunk.size = size;
        chunk.last = last;
        chunk.ready = true;
      }
      changed_.notify_all();
      if (last) return;
    }
  }

  // Whether unread bytes stand at the read position (waiting for the reading
  // thread and moving on to its next chunk as needed); false at the end.
  bool haveBytes() {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return current().ready; });
      }
      if (position_ < current().size) return true;
      if (current().last) return false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        current().ready = false;
      }
      changed_.notify_all();
      ++taken_;
      position_ = 0;
    }
  }

  bool nextLine(std::string_view& line) {
    if (!haveBytes()) return false;
    spanning_.clear();
    bool cut = false;
    for (;;) {
      const char* p = current().data.data() + position_;
      const std::size_t available = current().size - position_;
      const char* end = static_cast<const char*>(std::memchr(p, '\n', available));
      const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - p) : available;
      position_ += end != nullptr ? length + 1 : length;
      if (end != nullptr && spanning_.empty() && !cut) {
        line = std::string_view(p, length > 0 && p[length - 1] == '\r' ? length - 1 : length);
        break;
      }
      // A line across chunks: gathered (its first kLineBuffer + 1 characters
      // are all that count).
      const std::size_t keep = std::min(length, kLineBuffer + 1 - std::min(spanning_.size(), kLineBuffer + 1));
      spanning_.append(p, keep);
      cut = cut || keep < length;
      if (end != nullptr || !haveBytes()) {
        if (!cut && !spanning_.empty() && spanning_.back() == '\r') spanning_.pop_back();
        line = spanning_;
        break;
      }
    }
    return true;
  }

  std::string name_;
  int unit_;
  int fd_ = -1;
  Chunk chunks_[kChunks];
  std::size_t taken_ = 0;     // chunks taken back, so current() is chunks_[taken_ % kChunks]
  std::size_t position_ = 0;  // in the current chunk
  std::string spanning_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread reader_;  // last: starts once the rest is made
};

// Copies the next scratch line cut or blank-padded to `width` characters. The
// end of the scratch file here is the end-of-file fault of AVS.tmp.
void copyLine(ScratchReader& in, TextOut& out, std::size_t width) {
  std::string_view line = in.requireLine();
  if (line.size() > kLineBuffer) line = line.substr(0, kLineBuffer);
  if (line.size() >= width) {
    out.put(line.substr(0, width));
  } else {
    out.put(line);
    char* pad = out.claim(width - line.size());
    std::fill(pad, pad + (width - line.size()), ' ');
    out.advance(width - line.size());
  }
  out.endRecord();
}

// Data lines of exactly their width, as this run wrote them, go out as they
// stand, many at a time; any other line the way of copyLine.
void copyLines(ScratchReader& in, TextOut& out, std::size_t count, std::size_t width) {
  while (count > 0) {
    const std::string_view lines = in.takeExactLines(count, width);
    if (lines.empty()) {
      copyLine(in, out, width);
      --count;
      continue;
    }
    out.putThrough(lines.data(), lines.size());
    count -= lines.size() / (width + 2);
  }
}

// Everything of a step section after its label line.
void copySectionBody(ScratchReader& in, TextOut& out, const Mesh& mesh) {
  for (std::size_t width : kNodeHeadWidths) copyLine(in, out, width);
  copyLines(in, out, static_cast<std::size_t>(mesh.nodes()), kNodeDataWidth);
  for (std::size_t width : kElementHeadWidths) copyLine(in, out, width);
  copyLines(in, out, static_cast<std::size_t>(mesh.elements()), kElementDataWidth);
}

void writeMesh(TextOut& out, const Mesh& mesh) {
  kMeshCounts(out, mesh.numnp, mesh.numel);
  writeLines(out, static_cast<std::size_t>(mesh.nodes()), 49, [&](TextOut& o, std::size_t i) {
    kMeshNode(o, static_cast<std::int32_t>(i + 1), mesh.x[i], mesh.y[i], 0.0);
  });
  writeLines(out, static_cast<std::size_t>(mesh.elements()), 50, [&](TextOut& o, std::size_t k) {
    const auto e = static_cast<std::int32_t>(k + 1);
    if (cornerCount(mesh, e) == 3) {
      kTriCell(o, e, mesh.property(e), mesh.corner(e, 1), mesh.corner(e, 2), mesh.corner(e, 3));
    } else {
      kQuadCell(o, e, mesh.property(e), mesh.corner(e, 1), mesh.corner(e, 2), mesh.corner(e, 3),
                mesh.corner(e, 4));
    }
  });
}

const Format& labelFormat(std::int32_t ordinal) {
  if (ordinal < 10) return kLabel1;
  if (ordinal < 100) return kLabel2;
  if (ordinal < 1000) return kLabel3;
  return kLabel4;
}

}  // namespace

void writeMicroAvsStep(TextOut& avsTmp, const Mesh& mesh, const Step& step, KeptSteps& kept, Counters& counters) {
  const std::int32_t s = ++counters.avsSteps;

  labelFormat(s)(avsTmp, s, step.time);
  kNodeCounts(avsTmp);
  kNodeLabels(avsTmp);
  // The lines are kept from the first step: later steps render only their
  // values. Each line averages the velocities onto its own node.
  const NodeElements& around = kept.nodeElements(mesh);
  kept.nodes.write(avsTmp, kNodeData, kNodeStepItems, static_cast<std::size_t>(mesh.nodes()), [&](std::size_t i) {
    const NodeMeans m = nodalVelocityMeans(around, step, i);
    return std::array<Item, 8>{static_cast<std::int32_t>(i + 1), single(step.h[i]), single(m.dvx), single(m.dvy),
                               single(magnitude(m.dvx, m.dvy)),  single(m.vx),      single(m.vy),
                               single(magnitude(m.vx, m.vy))};
  });

  kElementCounts(avsTmp);
  kElementLabels(avsTmp);
  kept.elements.write(avsTmp, kElementData, kElementStepItems, static_cast<std::size_t>(mesh.elements()),
                      [&](std::size_t i) {
                        const double dvx = step.dvx[i], dvy = step.dvy[i], d = step.d[i];
                        const double m = magnitude(dvx, dvy);
                        const Quotients v = quotients(dvx, dvy, d);
                        return std::array<Item, 7>{static_cast<std::int32_t>(i + 1), single(dvx), single(dvy), single(m),
                                                   single(v.a),           single(v.b),     single(m / d)};
                      });
}

void writeMicroAvsFinal(TextOut& out, TextOut& avsTmp, const Mesh& mesh, const Counters& counters) {
  kTitle(out);
  kStepCount(out, counters.avsSteps);
  kData(out);

  // The scratch file holds this run's step sections only (the driver empties it
  // when it opens it): with no step written the first read meets its end.
  avsTmp.flush();
  ScratchReader in(avsTmp.name(), avsTmp.unit());

  copyLine(in, out, kLabelWidth);
  writeMesh(out, mesh);
  copySectionBody(in, out, mesh);
  for (std::int32_t s = 2; s <= counters.avsSteps; ++s) {
    copyLine(in, out, kLabelWidth);
    copySectionBody(in, out, mesh);
  }
}

}  // namespace gw::postconv
