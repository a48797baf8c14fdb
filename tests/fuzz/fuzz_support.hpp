// What the fuzz targets share: in-memory files, a private run directory, whole
// program runs with scripted answers, and a small well-formed result file.
//
// Every target reports a finding by aborting (through `expect`); a gw::Fault is
// the programs' normal answer to bad input and is caught by the targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console.hpp"
#include "fault.hpp"

namespace gw::fuzz {

// Ends the process with a message when `condition` does not hold.
void expect(bool condition, std::string_view what);

// Reads the fuzzer's bytes front to back.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // The next byte, 0 once the bytes run out.
  std::uint8_t take() { return at_ < size_ ? data_[at_++] : 0; }
  // Everything not taken yet.
  std::string_view rest() const {
    return {reinterpret_cast<const char*>(data_) + at_, size_ - at_};
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A scratch file of the given bytes, open for reading; `path` opens it afresh.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes);
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

// While alive, the current directory is an empty directory private to this
// process (made once, memory-backed where the system has /dev/shm, emptied for
// every run, removed at exit); the previous
// current directory is restored afterwards, so relative paths given to the
// fuzzer keep working between runs.
class PrivateDirectory {
 public:
  PrivateDirectory();
  ~PrivateDirectory();
  PrivateDirectory(const PrivateDirectory&) = delete;
  PrivateDirectory& operator=(const PrivateDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// Files in the current directory.
void writeFile(const std::string& name, std::string_view bytes);
std::optional<std::string> readFile(const std::string& name);

// How a whole program run ended.
struct RunOutcome {
  int status = 0;                 // exit status when no fault ended the run
  std::optional<FaultKind> fault;  // the fault that ended it
};

// Runs a program driver as its main() would: answers from `answers`, console
// text thrown away, a gw::Fault caught as the end of the run. Anything else
// thrown leaves this function (the fuzzer reports it as a crash).
RunOutcome runProgram(const std::function<int(Console&)>& driver, std::string_view answers);

// A small well-formed result file: 3 x 3 nodes, one triangle pair and three
// quadrilaterals (one inactive), three steps numbered 1 to 3.
const std::string& sampleResultFile();

}  // namespace gw::fuzz
