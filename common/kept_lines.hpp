// Step text that repeats from step to step. Most fields of a node line are the
// mesh's (its number, coordinates, codes), and an element line that holds no
// step value is the same in every step: rendering them once per run, not once
// per step, leaves only the step's own values to render.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <tuple>

#include "format.hpp"
#include "line_blocks.hpp"
#include "run_array.hpp"
#include "text_out.hpp"

namespace gw {

// Lines [0, count) of one format, of which only the items `changing` differ
// from step to step. The first step's lines are rendered whole and kept; a
// later step with as many lines copies the kept lines and renders the changing
// items over the copies, in place, so its bytes are those of rendering every
// line whole. The lines are shared between two threads as writeLines shares them.
class KeptLines {
 public:
  // `lineItems(i)` gives the items of line i (a std::array of Item); every
  // field of the format's line must have a fixed width.
  template <class LineItems>
  void write(TextOut& out, const Format& format, std::span<const std::size_t> changing, std::size_t count,
             LineItems&& lineItems) {
    const bool keeping = format_ != &format || count != count_;
    if (keeping) {
      format_ = nullptr;  // kept again only once the lines are complete
      overlay_ = format.overlay(std::tuple_size_v<decltype(lineItems(0))>, changing);
      kept_.resize(count * overlay_.lineBytes);
    }
    const std::size_t bytes = overlay_.lineBytes;
    writeBlocks(out, count, bytes, [&](TextOut& o, std::size_t first, std::size_t last) {
      const std::size_t n = (last - first) * bytes;
      char* const block = o.claim(n + Format::kLineSlack);
      char* line = block;
      char* const lines = kept_.data() + first * bytes;
      if (keeping) {
        // Composed in the block (a line may touch the bytes after it, which
        // in the kept lines another thread may be composing), then kept.
        for (std::size_t i = first; i < last; ++i, line += bytes) format.composeLine(line, lineItems(i));
        std::memcpy(lines, block, n);
      } else {
        std::memcpy(block, lines, n);
        for (std::size_t i = first; i < last; ++i, line += bytes) format.writeOver(line, overlay_, lineItems(i));
      }
      o.advance(n);
    });
    if (keeping) {
      format_ = &format;
      count_ = count;
    }
  }

  // True while lines are rendered over kept ones: only the changing items that
  // `lineItems` gives are read then.
  bool reusing() const { return format_ != nullptr; }

 private:
  const Format* format_ = nullptr;  // of the kept lines
  std::size_t count_ = 0;
  Format::Overlay overlay_;
  // In run memory: the pages are cleared once, in large pages.
  RunArray<char> kept_;
};

}  // namespace gw
