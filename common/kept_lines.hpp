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
    if (format_ != &format || count != count_) {
      keep(out, format, changing, count, lineItems);
      return;
    }
    const std::size_t bytes = overlay_.lineBytes;
    writeBlocks(out, count, bytes, [&](TextOut& o, std::size_t first, std::size_t last) {
      const std::size_t n = (last - first) * bytes;
      char* lines = o.claim(n);
      std::memcpy(lines, kept_.data() + first * bytes, n);
      for (std::size_t i = first; i < last; ++i, lines += bytes) {
        const auto items = lineItems(i);
        format.writeOver(lines, overlay_, items);
      }
      o.advance(n);
    });
  }

  // True while lines are rendered over kept ones: only the changing items that
  // `lineItems` gives are read then.
  bool reusing() const { return format_ != nullptr; }

 private:
  template <class LineItems>
  void keep(TextOut& out, const Format& format, std::span<const std::size_t> changing, std::size_t count,
            LineItems& lineItems) {
    format_ = nullptr;  // kept again only once the lines are complete
    overlay_ = format.overlay(std::tuple_size_v<decltype(lineItems(0))>, changing);
    TextOut lines;
    writeLines(lines, count, overlay_.lineBytes, [&](TextOut& o, std::size_t i) { format.write(o, lineItems(i)); });
    kept_ = lines.takeCaptured();
    out.putThrough(kept_.data(), kept_.size());
    format_ = &format;
    count_ = count;
  }

  const Format* format_ = nullptr;  // of the kept lines
  std::size_t count_ = 0;
  Format::Overlay overlay_;
  std::string kept_;
};

// Text that is the same in every step of a run (the element lines of a mesh):
// rendered on the first step, sent again as it was on the later ones.
class KeptText {
 public:
  template <class Render>
  void write(TextOut& out, Render&& render) {
    if (!made_) {
      TextOut text;
      render(text);
      text_ = text.takeCaptured();
      made_ = true;
    }
    out.putThrough(text_.data(), text_.size());
  }

 private:
  bool made_ = false;
  std::string text_;
};

}  // namespace gw
