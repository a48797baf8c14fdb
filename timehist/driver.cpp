#include "driver.hpp"

namespace gw::timehist {

int runExtractor(Console&) { return 0; }

}  // namespace gw::timehist
