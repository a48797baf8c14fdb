#include "free_form.hpp"

namespace gw {

void FreeRecord::newRecord() {
  out_.endRecord();
  out_.putChar(' ');
  column_ = 1;
  lastWasText_ = false;
}

}  // namespace gw
