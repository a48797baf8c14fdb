#include "writers.hpp"

namespace gw::postconv {

void writeRxviewStep(TextOut&, const Mesh&, const Step&, NodeWork&) {}

}  // namespace gw::postconv
