// An output file written through a large buffer into a temporary name next to
// it and moved into place only when complete, so that a failed run never leaves
// a cut file under the final name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gw::postvtk {

class OutputFile {
 public:
  // Creates PATH.part for writing; a fault names PATH and `unit`.
  OutputFile(std::string path, int unit);
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view bytes);
  void write(const void* data, std::size_t size) {
    write(std::string_view(static_cast<const char*>(data), size));
  }
  // Replaces bytes already written, at `offset` from the start of the file.
  void overwrite(std::uint64_t offset, std::string_view bytes);
  // Writes what is buffered, closes the file and renames it to PATH.
  void commit();

  const std::string& path() const { return path_; }

 private:
  void drain(const char* data, std::size_t size);
  // Removes the temporary file and ends the run with `what` and the system's reason.
  [[noreturn]] void fail(const char* what);

  std::string path_;
  std::string temp_;
  int unit_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

}  // namespace gw::postvtk
