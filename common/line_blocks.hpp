// Long runs of independent lines (a line per node, element or step) rendered on
// two processors: the run is cut into blocks of about kBlockBytes, which this
// thread and a second one render into memory as each comes free; this thread
// writes each block straight to the output once the blocks before it are out,
// so the bytes come out exactly as a plain loop writes them.
#pragma once

#include <cstddef>
#include <functional>

#include "text_out.hpp"

namespace gw {

// Whether a run may use a second thread: a machine of two processors or more,
// and no GWPOST_THREADS=1 in the environment (which keeps every run on one).
bool secondThreadAllowed();

// Renders lines [first, last) into `out`.
using BlockRenderer = std::function<void(TextOut& out, std::size_t first, std::size_t last)>;

inline constexpr std::size_t kBlockBytes = 256 * 1024;

// Writes lines [0, count) in order; `bytesPerLine` (an estimate) sizes the
// blocks. Runs of fewer than two blocks, and machines of one processor, use
// one thread. An exception from a line (either thread) ends the run and is
// rethrown here once the second thread has stopped.
void writeBlocks(TextOut& out, std::size_t count, std::size_t bytesPerLine, const BlockRenderer& render);

// Lines [0, count) that lie in memory already, `bytesPerLine` bytes each from
// `lines`: `update(first, last)` brings lines [first, last) up to date in
// place (on either thread, so blocks must not touch each other's bytes), and
// each block goes to the output from where it lies, once updated and once the
// blocks before it are out.
using BlockUpdater = std::function<void(std::size_t first, std::size_t last)>;
void writeUpdatedLines(TextOut& out, const char* lines, std::size_t count, std::size_t bytesPerLine,
                       const BlockUpdater& update);

// The lines one at a time: `line(out, i)` writes line i to `out`. It may run on
// either thread, so it must only read what the lines share.
template <class Line>
void writeLines(TextOut& out, std::size_t count, std::size_t bytesPerLine, Line&& line) {
  writeBlocks(out, count, bytesPerLine, [&line](TextOut& o, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) line(o, i);
  });
}

}  // namespace gw
