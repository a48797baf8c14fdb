#include "result_file.hpp"

namespace gw {

namespace {
constexpr std::size_t kNodeBytes = 36;
constexpr std::size_t kElementBytes = 28;
constexpr std::size_t kNodeResultBytes = 20;
constexpr std::size_t kElementResultBytes = 24;

std::size_t slots(std::int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }
}  // namespace

ResultFile::ResultFile(const std::string& name, int unit, std::int32_t capacity)
    : records_(name, unit), capacity_(capacity) {}

std::int32_t ResultFile::readCount(const char* what) {
  records_.next(false);
  records_.require(4);
  std::int32_t count = int32At(records_.payload());
  if (count > capacity_) {
    throw Fault(FaultKind::Refused, records_.unit(), records_.name(),
                "the result file holds " + std::to_string(count) + " " + what + ", more than the " +
                    std::to_string(capacity_) + " this program holds");
  }
  return count;
}

void ResultFile::readMesh(Mesh& mesh) {
  records_.next(false);
  records_.require(80);
  mesh.title.assign(reinterpret_cast<const char*>(records_.payload()), 80);

  mesh.numnp = readCount("nodes");
  std::size_t nodes = slots(mesh.numnp);
  records_.next(false);
  records_.require(kNodeBytes * nodes);
  mesh.x.resize(nodes);
  mesh.y.resize(nodes);
  mesh.aux.resize(nodes);
  mesh.bl.resize(nodes);
  mesh.ncode.resize(nodes);
  for (std::size_t n = 0; n < nodes; ++n) {
    const unsigned char* p = records_.payload() + kNodeBytes * n;
    mesh.x[n] = doubleAt(p);
    mesh.y[n] = doubleAt(p + 8);
    mesh.aux[n] = doubleAt(p + 16);
    mesh.bl[n] = doubleAt(p + 24);
    mesh.ncode[n] = int32At(p + 32);
  }

  mesh.numel = readCount("elements");
  std::size_t elements = slots(mesh.numel);
  records_.next(false);
  records_.require(kElementBytes * elements);
  mesh.ie.resize(5 * elements);
  mesh.elv.resize(elements);
  for (std::size_t e = 0; e < elements; ++e) {
    const unsigned char* p = records_.payload() + kElementBytes * e;
    for (std::size_t c = 0; c < 5; ++c) mesh.ie[5 * e + c] = int32At(p + 4 * c);
    mesh.elv[e] = doubleAt(p + 20);
  }
}

bool ResultFile::readStep(const Mesh& mesh, Step& step) {
  if (!records_.next(true)) return false;
  records_.require(12);
  step.la = int32At(records_.payload());
  step.time = doubleAt(records_.payload() + 4);

  std::size_t nodes = slots(mesh.numnp);
  records_.next(false);
  records_.require(kNodeResultBytes * nodes);
  step.istat.resize(nodes);
  step.h.resize(nodes);
  step.q.resize(nodes);
  for (std::size_t n = 0; n < nodes; ++n) {
    const unsigned char* p = records_.payload() + kNodeResultBytes * n;
    step.istat[n] = int32At(p);
    step.h[n] = doubleAt(p + 4);
    step.q[n] = doubleAt(p + 12);
  }

  std::size_t elements = slots(mesh.numel);
  records_.next(false);
  records_.require(kElementResultBytes * elements);
  step.dvx.resize(elements);
  step.dvy.resize(elements);
  step.d.resize(elements);
  for (std::size_t e = 0; e < elements; ++e) {
    const unsigned char* p = records_.payload() + kElementResultBytes * e;
    step.dvx[e] = doubleAt(p);
    step.dvy[e] = doubleAt(p + 8);
    step.d[e] = doubleAt(p + 16);
  }
  return true;
}

}  // namespace gw
