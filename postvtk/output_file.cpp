#include "output_file.hpp"

#include <cstring>

#include "fault.hpp"
#include "platform.hpp"

namespace gw::postvtk {

namespace {
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
}

OutputFile::OutputFile(std::string path, int unit)
    : path_(std::move(path)), temp_(path_ + ".part"), unit_(unit), buffer_(kBufferBytes) {
  fd_ = platform::openFile(temp_, platform::Access::WriteEmpty);
  if (fd_ < 0) fail("cannot open file");
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) {
    platform::closeFile(fd_);
    platform::removeFile(temp_);
  }
}

void OutputFile::fail(const char* what) {
  const bool opened = fd_ >= 0;
  std::string why = std::string(what) + " (" + platform::lastFailure().reason + ")";
  platform::closeFile(fd_);
  fd_ = -1;
  platform::removeFile(temp_);
  throw Fault(opened ? FaultKind::WriteFailed : FaultKind::CannotOpen, unit_, path_, why);
}

void OutputFile::drain(const char* data, std::size_t size) {
  if (!platform::writeAll(fd_, data, size)) fail("write failed");
}

void OutputFile::write(std::string_view bytes) {
  if (fd_ < 0) throw Fault(FaultKind::WriteFailed, unit_, path_);
  if (used_ + bytes.size() <= buffer_.size()) {
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
    return;
  }
  drain(buffer_.data(), used_);
  used_ = 0;
  if (bytes.size() >= buffer_.size() / 2) {
    drain(bytes.data(), bytes.size());
  } else {
    std::memcpy(buffer_.data(), bytes.data(), bytes.size());
    used_ = bytes.size();
  }
}

void OutputFile::overwrite(std::uint64_t offset, std::string_view bytes) {
  if (fd_ < 0) throw Fault(FaultKind::WriteFailed, unit_, path_);
  drain(buffer_.data(), used_);
  used_ = 0;
  std::uint64_t end = 0;
  if (!platform::regularFileSize(fd_, end) || !platform::seekTo(fd_, offset)) fail("write failed");
  drain(bytes.data(), bytes.size());
  if (!platform::seekTo(fd_, end)) fail("write failed");
}

void OutputFile::commit() {
  if (fd_ < 0) throw Fault(FaultKind::WriteFailed, unit_, path_);
  drain(buffer_.data(), used_);
  used_ = 0;
  const bool closed = platform::closeFile(fd_);
  fd_ = -1;
  if (!closed) {
    std::string why = "write failed (" + platform::lastFailure().reason + ")";
    platform::removeFile(temp_);
    throw Fault(FaultKind::WriteFailed, unit_, path_, why);
  }
  if (!platform::replaceFile(temp_, path_)) {
    std::string why = "cannot replace file (" + platform::lastFailure().reason + ")";
    platform::removeFile(temp_);
    throw Fault(FaultKind::WriteFailed, unit_, path_, why);
  }
}

}  // namespace gw::postvtk
