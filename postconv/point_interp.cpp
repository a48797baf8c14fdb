#include "writers.hpp"

namespace gw::postconv {

void setUpPoints(Console&, const Mesh&, const std::string&, PointSet&) {}
void writePointStep(TextOut&, const PointSet&, const Step&) {}

}  // namespace gw::postconv
