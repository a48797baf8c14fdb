// The converter's whole run: dialogue, mesh, output set-up, step loop, closing.
#pragma once

#include "console.hpp"

namespace gw::postconv {

// Exit status when the user does not confirm the node and element totals.
inline constexpr int kNotConfirmedStatus = 1111;

// Runs the converter on the console; returns the exit status. File and input
// faults are thrown as gw::Fault.
int runConverter(Console& console);

}  // namespace gw::postconv
