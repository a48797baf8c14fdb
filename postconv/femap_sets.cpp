#include "writers.hpp"

namespace gw::postconv {

void writeFemapStep(TextOut&, const Mesh&, const Step&, NodeWork&, Counters&) {}

}  // namespace gw::postconv
