// Scratch folders and files of the tests, made with the standard library and the
// platform unit only, so that the same tests run on Linux and on Windows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "line_input.hpp"
#include "platform.hpp"

namespace gw::testing {

// A fresh folder under the system's temporary folder, removed with all it holds.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device seed;
    std::mt19937_64 pick(seed());
    std::error_code error;
    do {
      path_ = std::filesystem::temp_directory_path() / ("gwpost-test-" + std::to_string(pick()));
    } while (!std::filesystem::create_directory(path_, error) && !error);
    EXPECT_FALSE(error) << error.message();
  }
  ~ScratchDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The name of a file in the folder, as the programs take names.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to the file `name`; false when it cannot.
inline bool writeFileBytes(const std::string& name, std::string_view bytes) {
  const int fd = platform::openFile(name, platform::Access::WriteEmpty);
  const bool written = fd >= 0 && platform::writeAll(fd, bytes.data(), bytes.size());
  return platform::closeFile(fd) && written;
}

// A file holding the given bytes, in a folder of its own; both go with it.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view bytes, const std::string& name = "scratch.dat") : path_(dir_.file(name)) {
    EXPECT_TRUE(writeFileBytes(path_, bytes)) << path_;
  }
  const std::string& path() const { return path_; }
  // A new descriptor reading the file from its start.
  int open() const {
    const int fd = platform::openFile(path_, platform::Access::Read);
    EXPECT_GE(fd, 0) << path_;
    return fd;
  }

 private:
  ScratchDir dir_;
  std::string path_;
};

// Line input over a file holding `text`, read under the given file name and unit.
class TextInput {
 public:
  TextInput(std::string_view text, const std::string& name, int unit)
      : file_(text), in_(file_.open(), name, unit, true) {}
  LineInput& operator*() { return in_; }
  LineInput* operator->() { return &in_; }

 private:
  ScratchFile file_;  // outlives the input, which closes its descriptor first
  LineInput in_;
};

}  // namespace gw::testing
