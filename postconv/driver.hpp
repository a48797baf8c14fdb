// The converter's whole run: dialogue, mesh, output set-up, step loop, closing.
#pragma once

#include "command_line.hpp"
#include "console.hpp"

namespace gw::postconv {

// Exit status when the user does not confirm the node and element totals.
inline constexpr int kNotConfirmedStatus = 1111;
// Exit status of a command line whose step no block of the result file carries
// (or whose result file holds no step): nothing is written.
inline constexpr int kNothingWrittenStatus = 1;

// Runs the converter on the console dialogue; returns the exit status. File and
// input faults are thrown as gw::Fault.
int runConverter(Console& console);

// Runs the conversion the command line gives, without the dialogue: the same
// files as the dialogue with the same choices; the console shows the title, the
// totals and the files written. A run that would write no step is refused before
// its output is opened (status kNothingWrittenStatus), and a point file that is
// not there before anything is opened.
int runConverterWith(Console& console, const CommandLine& line);

}  // namespace gw::postconv
