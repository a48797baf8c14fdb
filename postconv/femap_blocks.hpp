// The frame shared by every block of a FEMAP neutral file: a separator line, the
// block id line, the block's records, the separator line again; and the constant
// text records that make up most of the model blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "format.hpp"
#include "free_form.hpp"
#include "text_out.hpp"

namespace gw::postconv::femap {

inline const Format kSeparator("(I5)");  // -1: three blanks and "-1"
inline const Format kBlockId("(I6)");    // three blanks and the three-digit id

// Opens a block: the separator line and the block id line.
inline void beginBlock(TextOut& out, std::int32_t id) {
  kSeparator(out, -1);
  kBlockId(out, id);
}

// Closes a block with the separator line.
inline void endBlock(TextOut& out) { kSeparator(out, -1); }

// `count` free-form records of the one text item `text`.
struct TextRun {
  int count;
  std::string_view text;
};

// Writes each run of constant text records in order.
inline void writeTextRuns(TextOut& out, std::span<const TextRun> runs) {
  for (const TextRun& run : runs) {
    for (int k = 0; k < run.count; ++k) writeFree(out, run.text);
  }
}

}  // namespace gw::postconv::femap
