#include "writers.hpp"

namespace gw::postconv {

void writeTecplotStep(TextOut&, const Mesh&, const Step&, NodeWork&) {}

}  // namespace gw::postconv
