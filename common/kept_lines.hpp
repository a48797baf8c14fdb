// Step text that repeats from step to step. Most fields of a node line are the
// mesh's (its number, coordinates, codes), and an element line that holds no
// step value is the same in every step: rendering them once per run, not once
// per step, leaves only the step's own values to render.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
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
// later step with as many lines renders the changing items over the kept
// lines, in place, so its bytes are those of rendering every line whole, and
// the lines go to the output from where they are kept. The lines are shared
// between two threads as writeLines shares them.
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
    char* const kept = kept_.data();
    writeUpdatedLines(out, kept, count, bytes, [&](std::size_t first, std::size_t last) {
      if (keeping) {
        composeBlock(format, kept, bytes, first, last, lineItems);
      } else {
        writeOverBlock(format, kept, bytes, first, last, lineItems);
      }
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
  // Composes lines [first, last) in place. Composing a line may touch the bytes
  // after it, which belong to the next block (another thread's) after the
  // last line: that one is composed aside.
  template <class LineItems>
  static void composeBlock(const Format& format, char* kept, std::size_t bytes, std::size_t first,
                           std::size_t last, LineItems& lineItems) {
    for (std::size_t i = first; i + 1 < last; ++i) format.composeLine(kept + i * bytes, lineItems(i));
    if (first == last) return;
    thread_local std::string aside;
    aside.resize(bytes + Format::kLineSlack);
    format.composeLine(aside.data(), lineItems(last - 1));
    std::memcpy(kept + (last - 1) * bytes, aside.data(), bytes);
  }

  // Renders the changing items of lines [first, last) over the kept ones; the
  // fields of the eight-lane renderer's kernel are queued across lines.
  template <class LineItems>
  void writeOverBlock(const Format& format, char* kept, std::size_t bytes, std::size_t first, std::size_t last,
                      LineItems& lineItems) const {
    std::optional<fields::wide::Queue> queue;  // flushed when full, and the rest when it goes
    if (overlay_.wide != fields::straight::Kernel::None) queue.emplace(overlay_.wide);
    fields::wide::Queue* const fields = queue ? &*queue : nullptr;
    for (std::size_t i = first; i < last; ++i) format.writeOver(kept + i * bytes, overlay_, lineItems(i), fields);
  }

  const Format* format_ = nullptr;  // of the kept lines
  std::size_t count_ = 0;
  Format::Overlay overlay_;
  // In run memory: the pages are cleared once, in large pages.
  RunArray<char> kept_;
};

}  // namespace gw
