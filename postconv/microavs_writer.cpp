#include "writers.hpp"

namespace gw::postconv {

void writeMicroAvsStep(TextOut&, const Mesh&, const Step&, NodeWork&, Counters&) {}
void writeMicroAvsFinal(TextOut&, TextOut&, const Mesh&, const Counters&) {}

}  // namespace gw::postconv
