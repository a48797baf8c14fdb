#include "writers.hpp"

namespace gw::postconv {

void writeFemapModel(TextOut&, const Mesh&) {}
void writeFemapGroup(TextOut&, const Mesh&, Counters&) {}

}  // namespace gw::postconv
