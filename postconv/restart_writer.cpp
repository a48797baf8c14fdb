#include "writers.hpp"

namespace gw::postconv {

void writeRestartStep(TextOut&, const Mesh&, const Step&) {}

}  // namespace gw::postconv
