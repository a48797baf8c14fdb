#include "output_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "fault.hpp"

namespace gw::postvtk {

namespace {
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
}

OutputFile::OutputFile(std::string path, int unit)
    : path_(std::move(path)), temp_(path_ + ".part"), unit_(unit), buffer_(kBufferBytes) {
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw Fault(FaultKind::CannotOpen, unit_, path_, std::string("cannot open file (") + std::strerror(errno) + ")");
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}

void OutputFile::fail() {
  std::string why = std::string("write failed (") + std::strerror(errno) + ")";
  ::close(fd_);
  ::unlink(temp_.c_str());
  fd_ = -1;
  throw Fault(FaultKind::WriteFailed, unit_, path_, why);
}

void OutputFile::drain(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      fail();
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
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

void OutputFile::commit() {
  if (fd_ < 0) throw Fault(FaultKind::WriteFailed, unit_, path_);
  drain(buffer_.data(), used_);
  used_ = 0;
  if (::close(fd_) != 0) {
    fd_ = -1;
    std::string why = std::string("write failed (") + std::strerror(errno) + ")";
    ::unlink(temp_.c_str());
    throw Fault(FaultKind::WriteFailed, unit_, path_, why);
  }
  fd_ = -1;
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    std::string why = std::string("cannot replace file (") + std::strerror(errno) + ")";
    ::unlink(temp_.c_str());
    throw Fault(FaultKind::WriteFailed, unit_, path_, why);
  }
}

}  // namespace gw::postvtk
