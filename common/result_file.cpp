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

ResultFile::ResultFile(const std::string& name, int unit, std::int32_t capacity)
    : records_(name, unit), capacity_(capacity) {}

template <class DecodeItem>
void ResultFile::readItems(std::size_t itemBytes, std::size_t count, DecodeItem decode) {
  records_.read(false, itemBytes, count, [&](const unsigned char* p, std::size_t first, std::size_t n) {
    for (std::size_t i = first; i < first + n; ++i, p += itemBytes) decode(p, i);
  });
}

std::int32_t ResultFile::readCount(const char* what) {
  std::int32_t count = 0;
  readItems(kCountBytes, 1, [&](const unsigned char* p, std::size_t) { count = int32At(p); });
  if (count > capacity_) {
    throw Fault(FaultKind::Refused, records_.unit(), records_.name(),
                "the result file holds " + std::to_string(count) + " " + what + ", more than the " +
                    std::to_string(capacity_) + " this program holds");
  }
  return count;
}

void ResultFile::readMesh(Mesh& mesh) {
  readItems(kTitleBytes, 1,
            [&](const unsigned char* p, std::size_t) { mesh.title.assign(reinterpret_cast<const char*>(p), kTitleBytes); });

  mesh.numnp = readCount("nodes");
  const std::size_t nodes = slots(mesh.numnp);
  for (auto* items : {&mesh.x, &mesh.y, &mesh.aux, &mesh.bl}) items->resize(nodes);
  mesh.ncode.resize(nodes);
  readItems(kNodeBytes, nodes, [&](const unsigned char* p, std::size_t n) {
    mesh.x[n] = doubleAt(p);
    mesh.y[n] = doubleAt(p + 8);
    mesh.aux[n] = doubleAt(p + 16);
    mesh.bl[n] = doubleAt(p + 24);
    mesh.ncode[n] = int32At(p + 32);
  });

  mesh.numel = readCount("elements");
  const std::size_t elements = slots(mesh.numel);
  mesh.ie.resize(5 * elements);
  mesh.elv.resize(elements);
  readItems(kElementBytes, elements, [&](const unsigned char* p, std::size_t e) {
    for (std::size_t c = 0; c < 5; ++c) mesh.ie[5 * e + c] = int32At(p + 4 * c);
    mesh.elv[e] = doubleAt(p + 20);
  });
}

bool ResultFile::readStep(const Mesh& mesh, Step& step) {
  const bool found = records_.read(true, kStepHeaderBytes, 1, [&](const unsigned char* p, std::size_t, std::size_t) {
    step.la = int32At(p);
    step.time = doubleAt(p + 4);
  });
  if (!found) return false;

  // Same sizes from step to step: the arrays are sized by the first step only.
  const std::size_t nodes = slots(mesh.numnp);
  step.istat.resize(nodes);
  step.h.resize(nodes);
  step.q.resize(nodes);
  readItems(kNodeResultBytes, nodes, [&](const unsigned char* p, std::size_t n) {
    step.istat[n] = int32At(p);
    step.h[n] = doubleAt(p + 4);
    step.q[n] = doubleAt(p + 12);
  });

  const std::size_t elements = slots(mesh.numel);
  for (auto* items : {&step.dvx, &step.dvy, &step.d}) items->resize(elements);
  readItems(kElementResultBytes, elements, [&](const unsigned char* p, std::size_t e) {
    step.dvx[e] = doubleAt(p);
    step.dvy[e] = doubleAt(p + 8);
    step.d[e] = doubleAt(p + 16);
  });
  return true;
}

}  // namespace gw
