// Text input: lines (ended by LF or CR LF) from a file or standard input, free-form
// reads of numbers, and formatted reads of fixed-column fields.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "run_array.hpp"

namespace gw {

class LineInput {
 public:
  // The most characters of one line that are kept. Every read of the programs
  // uses far fewer; the rest of a longer line is read past up to its line end,
  // so a file without line ends (a binary file named by mistake) is never held
  // in memory whole.
  static constexpr std::size_t kKeptLength = 1 << 14;

  LineInput(int fd, std::string name, int unit, bool owned);
  ~LineInput();
  LineInput(const LineInput&) = delete;
  LineInput& operator=(const LineInput&) = delete;

  // Opens a text file for reading; a missing file is the "file not found" fault.
  static std::unique_ptr<LineInput> openFile(const std::string& name, int unit);

  // Called before every line is taken (the console flushes its prompt here).
  void setBeforeRead(std::function<void()> hook) { beforeRead_ = std::move(hook); }

  // The next line without its line end, or nothing at the end of the input. The
  // view stays valid until the next call. A line longer than kKeptLength comes
  // back cut to that length (see `lineCut`).
  std::optional<std::string_view> nextLine();
  // Whether the line last returned was cut to kKeptLength.
  bool lineCut() const { return lineCut_; }
  // How many lines have been taken, and the last of them (valid until the next
  // read): where a fault was met, for its explanation.
  std::size_t lineNumber() const { return lines_; }
  std::string_view lastLine() const { return lastLine_; }
  // The next line; the end of the input is the end-of-file fault.
  std::string_view requireLine();

  // Moves back to the beginning of a file.
  void rewind();

  [[noreturn]] void endOfFileFault() const;
  [[noreturn]] void conversionFault() const;

  const std::string& name() const { return name_; }
  int unit() const { return unit_; }

 private:
  bool fill();
  std::optional<std::string_view> takeLine();
  // Keeps the first kKeptLength characters of the pending line and reads past
  // the rest of it.
  std::string_view cutLine();

  int fd_;
  bool owned_;
  std::string name_;
  int unit_;
  RunArray<char> buf_;  // in run memory, and not cleared: only what was read is looked at
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool lineCut_ = false;
  std::size_t lines_ = 0;
  std::string_view lastLine_;
  std::string kept_;
  std::function<void()> beforeRead_;
};

// Target of one value of a free-form read.
using FreeTarget = std::variant<std::int32_t*, double*>;

// Free-form read: values from the next line, separated by blanks, commas or the
// line end; a line with too few values continues on the next; extra values are
// ignored; a slash ends the read leaving the remaining targets unchanged; an
// empty value between two commas leaves its target unchanged. Values wanted
// from beyond the kept part of an over-long line are the "input record too
// long" fault.
void readFree(LineInput& in, std::initializer_list<FreeTarget> targets);

// Formatted (A) read of `width` characters: the line cut or blank-padded.
std::string readText(LineInput& in, std::size_t width);

// Formatted read of `count` integer fields of `width` columns from one line
// (the layout nIw): blanks inside a field are ignored, a blank field is 0, a
// short line reads as if padded with blanks.
void readIntegerFields(LineInput& in, int width, std::span<std::int32_t> values);

// Parses one integer field of a formatted read; false when it is not a number.
bool parseIntegerField(std::string_view field, std::int32_t& value);
// Parses a free-form number; false when it is not one.
bool parseFreeInteger(std::string_view token, std::int32_t& value);
bool parseFreeDouble(std::string_view token, double& value);

// A line as a message quotes it: between apostrophes, its first 60 characters
// ("..." after them when there are more), a control character as '?'.
std::string quotedLine(std::string_view line);

// File names are 20-character fields: cut to 20, trailing blanks dropped.
inline constexpr std::size_t kNameWidth = 20;
std::string fileNameFromField(std::string_view field);

}  // namespace gw
