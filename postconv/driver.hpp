// The converter's whole run: dialogue, mesh, output set-up, step loop, closing.
#pragma once

#include "command_line.hpp"
#include "console.hpp"

namespace gw::postconv {

// Exit status when the user does not confirm the node and element totals.
inline constexpr int kNotConfirmedStatus = 1111;

// Runs the converter on the console dialogue; returns the exit status. File and
// input faults are thrown as gw::Fault.
int runConverter(Console& console);

// Runs the conversion the command line gives, without the dialogue: the same
// files as the dialogue with the same choices; the console shows the title, the
// totals and the files written. A point file that is not there is refused
// before anything is opened.
int runConverterWith(Console& console, const CommandLine& line);

}  // namespace gw::postconv
