#include "result_file.hpp"

namespace gw {

namespace {
constexpr std::size_t kTitleBytes = 80;
constexpr std::size_t kCountBytes = 4;
constexpr std::size_t kStepHeaderBytes = 12;
constexpr std::size_t kNodeBytes = 36;
constexpr std::size_t kElementBytes = 28;
constexpr std::size_t kNodeResultBytes = 20;
constexpr std::size_t kElementResultBytes = 24;

std::size_t slots(std::int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }
}  // namespace

ResultFile::ResultFile(const std::string& name, int unit, std::int32_t capacity, std::size_t blockBytes)
    : records_(name, unit, blockBytes), capacity_(capacity) {}

template <class DecodeItem>
void ResultFile::readItems(const char* record, std::size_t itemBytes, std::size_t count, DecodeItem decode) {
  reading(record, itemBytes, count);
  records_.read(false, itemBytes, count, [&](const unsigned char* p, std::size_t first, std::size_t n) {
    for (std::size_t i = first; i < first + n; ++i, p += itemBytes) decode(p, i);
  });
}

void ResultFile::reading(const char* record, std::size_t itemBytes, std::size_t count) {
  record_ = record;
  needed_ = static_cast<std::uint64_t>(itemBytes) * count;
}

std::int32_t ResultFile::readCount(const char* record, const char* what) {
  std::int32_t count = 0;
  readItems(record, kCountBytes, 1, [&](const unsigned char* p, std::size_t) { count = int32At(p); });
  if (count > capacity_) {
    throw Fault(FaultKind::Refused, records_.unit(), records_.name(),
                "the result file holds " + std::to_string(count) + " " + what + ", more than the " +
                    std::to_string(capacity_) + " this program holds");
  }
  return count;
}

void ResultFile::readMesh(Mesh& mesh) try {
  readItems("title record", kTitleBytes, 1,
            [&](const unsigned char* p, std::size_t) { mesh.title.assign(reinterpret_cast<const char*>(p), kTitleBytes); });

  mesh.numnp = readCount("node count record", "nodes");
  const std::size_t nodes = slots(mesh.numnp);
  for (auto* items : {&mesh.x, &mesh.y, &mesh.aux, &mesh.bl}) items->resize(nodes);
  mesh.ncode.resize(nodes);
  readItems("node record", kNodeBytes, nodes, [&](const unsigned char* p, std::size_t n) {
    mesh.x[n] = doubleAt(p);
    mesh.y[n] = doubleAt(p + 8);
    mesh.aux[n] = doubleAt(p + 16);
    mesh.bl[n] = doubleAt(p + 24);
    mesh.ncode[n] = int32At(p + 32);
  });

  mesh.numel = readCount("element count record", "elements");
  const std::size_t elements = slots(mesh.numel);
  mesh.ie.resize(5 * elements);
  mesh.elv.resize(elements);
  readItems("element record", kElementBytes, elements, [&](const unsigned char* p, std::size_t e) {
    for (std::size_t c = 0; c < 5; ++c) mesh.ie[5 * e + c] = int32At(p + 4 * c);
    mesh.elv[e] = doubleAt(p + 20);
  });
} catch (Fault& fault) {
  explain(fault);
  throw;
}

bool ResultFile::readHeader(std::int32_t& la, double& time) {
  ++block_;
  headerRead_ = false;
  reading("header", kStepHeaderBytes, 1);
  bool found = false;
  try {
    found = records_.read(true, kStepHeaderBytes, 1, [&](const unsigned char* p, std::size_t, std::size_t) {
      la = int32At(p);
      time = doubleAt(p + 4);
    });
  } catch (Fault& fault) {
    explain(fault);
    throw;
  }
  if (!found) {
    --block_;
    return false;
  }
  headerRead_ = true;
  la_ = la;
  return true;
}

bool ResultFile::readStep(const Mesh& mesh, Step& step, Results results) {
  if (!readHeader(step.la, step.time)) return false;
  try {
    // Same sizes from step to step: the arrays are sized by the first step only.
    const std::size_t nodes = slots(mesh.numnp);
    step.h.resize(nodes);
    if (results == Results::HeadsOnly && !headsAt_.empty()) {
      reading("node results record", kNodeResultBytes, nodes);
      std::size_t k = 0;
      records_.read(false, kNodeResultBytes, nodes, [&](const unsigned char* p, std::size_t first, std::size_t n) {
        for (; k < headsAt_.size() && headsAt_[k] < first + n; ++k) {
          step.h[headsAt_[k]] = doubleAt(p + (headsAt_[k] - first) * kNodeResultBytes + 4);
        }
      });
    } else if (results == Results::HeadsOnly) {
      readItems("node results record", kNodeResultBytes, nodes,
                [&](const unsigned char* p, std::size_t n) { step.h[n] = doubleAt(p + 4); });
    } else {
      step.istat.resize(nodes);
      step.q.resize(nodes);
      readItems("node results record", kNodeResultBytes, nodes, [&](const unsigned char* p, std::size_t n) {
        step.istat[n] = int32At(p);
        step.h[n] = doubleAt(p + 4);
        step.q[n] = doubleAt(p + 12);
      });
    }

    const std::size_t elements = slots(mesh.numel);
    if (results != Results::All) {
      reading("element results record", kElementResultBytes, elements);
      records_.pass(false, kElementResultBytes, elements);
      return true;
    }
    for (auto* items : {&step.dvx, &step.dvy, &step.d}) items->resize(elements);
    readItems("element results record", kElementResultBytes, elements, [&](const unsigned char* p, std::size_t e) {
      step.dvx[e] = doubleAt(p);
      step.dvy[e] = doubleAt(p + 8);
      step.d[e] = doubleAt(p + 16);
    });
  } catch (Fault& fault) {
    explain(fault);
    throw;
  }
  return true;
}

void ResultFile::passStepResults(const Mesh& mesh) try {
  reading("node results record", kNodeResultBytes, slots(mesh.numnp));
  records_.pass(false, kNodeResultBytes, slots(mesh.numnp));
  reading("element results record", kElementResultBytes, slots(mesh.numel));
  records_.pass(false, kElementResultBytes, slots(mesh.numel));
} catch (Fault& fault) {
  explain(fault);
  throw;
}

std::vector<std::int32_t> ResultFile::stepNumbers(const Mesh& mesh, std::optional<std::int32_t> wanted) const {
  // A reader of its own, in blocks of a header record and the next count: only
  // those bytes of each block are read.
  const std::unique_ptr<ResultFile> walk = another(2 * kCountBytes + kStepHeaderBytes + kCountBytes);
  walk->continueAt(position(), block_ + 1);
  std::vector<std::int32_t> numbers;
  std::int32_t la = 0;
  double time = 0;
  while (walk->readHeader(la, time)) {
    numbers.push_back(la);
    if (la == wanted) break;
    walk->passStepResults(mesh);
  }
  return numbers;
}

void ResultFile::explain(Fault& fault) const {
  const FaultKind kind = fault.kind();
  if (kind != FaultKind::EndOfFile && kind != FaultKind::CorruptRecord && kind != FaultKind::TooMuchData) return;
  const std::string& file = records_.name();
  const std::string at = " at byte " + std::to_string(records_.recordStart());
  if (block_ == 0 && record_ == std::string_view("title record")) {
    fault.explain(file + " is not a result file of the solver: its first record," + at +
                  ", is not an 80-character title");
    return;
  }
  // What is wrong with the record, and where the file says so.
  const std::string record = std::string(record_) + at;
  std::string wrong;
  switch (kind) {
    case FaultKind::EndOfFile:
      wrong = "its " + record + (records_.recordStart() >= records_.size() ? " is missing" : " is cut off") +
              " (the file has " + std::to_string(records_.size()) + " bytes)";
      break;
    case FaultKind::CorruptRecord: wrong = "the byte counts around its " + record + " are negative or differ"; break;
    default:
      wrong = "its " + record + " holds " + std::to_string(records_.recordBytes()) + " bytes, fewer than the " +
              std::to_string(needed_) + " it needs";
      break;
  }
  if (block_ == 0) {
    fault.explain(file + (kind == FaultKind::EndOfFile
                              ? " is not a result file of the solver, or was cut short before its first step: "
                              : " is not a result file of the solver: ") +
                  "in its mesh part, " + wrong);
    return;
  }
  const std::string step = headerRead_ ? "step " + std::to_string(la_) + " (step block " + std::to_string(block_) + ")"
                                       : "step block " + std::to_string(block_);
  fault.explain(file + (kind == FaultKind::EndOfFile ? " was cut short: it ends inside " : " is damaged in ") + step +
                ": " + wrong);
}

}  // namespace gw
