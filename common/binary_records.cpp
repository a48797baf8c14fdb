#include "binary_records.hpp"

#include "platform.hpp"

namespace gw {

namespace {
constexpr std::size_t kReadBlock = 1 << 20;
}

BinaryRecordReader::BinaryRecordReader(std::string name, int unit)
    : name_(std::move(name)), unit_(unit), buffer_(kReadBlock) {
  fd_ = platform::openFile(name_, platform::Access::Read);
  if (fd_ < 0) {
    throw openFault(unit_, name_, true);
  }
  if (!platform::regularFileSize(fd_, size_)) {
    platform::closeFile(fd_);
    fd_ = -1;
    throw Fault(FaultKind::CannotOpen, unit_, name_, "not a readable regular file");
  }
  platform::adviseSequential(fd_);
}

BinaryRecordReader::~BinaryRecordReader() {
  platform::closeFile(fd_);
}

bool BinaryRecordReader::readBytes(void* dst, std::size_t n) {
  if (n == 0) return true;  // the payload of an empty record has no storage to copy into
  auto* out = static_cast<unsigned char*>(dst);
  std::size_t buffered = bufEnd_ - bufBegin_;
  std::size_t take = buffered < n ? buffered : n;
  std::memcpy(out, buffer_.data() + bufBegin_, take);
  bufBegin_ += take;
  out += take;
  n -= take;
  position_ += take;
  while (n > 0) {
    // Large reads go straight to the destination; small ones refill the buffer.
    bool direct = n >= buffer_.size();
    unsigned char* target = direct ? out : buffer_.data();
    std::size_t want = direct ? n : buffer_.size();
    std::ptrdiff_t got = platform::readSome(fd_, target, want);
    if (got < 0) throw Fault(FaultKind::EndOfFile, unit_, name_, "read failed");
    if (got == 0) return false;
    std::size_t g = static_cast<std::size_t>(got);
    if (direct) {
      out += g;
      n -= g;
      position_ += g;
    } else {
      bufBegin_ = 0;
      bufEnd_ = g;
      std::size_t t = g < n ? g : n;
      std::memcpy(out, buffer_.data(), t);
      bufBegin_ = t;
      out += t;
      n -= t;
      position_ += t;
    }
  }
  return true;
}

bool BinaryRecordReader::next(bool endAllowed) {
  if (atEnd()) {
    if (endAllowed) return false;
    throw Fault(FaultKind::EndOfFile, unit_, name_);
  }
  unsigned char head[4];
  if (!readBytes(head, 4)) throw Fault(FaultKind::EndOfFile, unit_, name_);
  std::int32_t count = int32At(head);
  if (count < 0) throw Fault(FaultKind::CorruptRecord, unit_, name_);
  // A count beyond what the file still holds means the file was cut inside the record.
  if (static_cast<std::uint64_t>(count) + 4 > size_ - position_) {
    throw Fault(FaultKind::EndOfFile, unit_, name_);
  }
  payload_.resize(static_cast<std::size_t>(count));
  unsigned char tail[4];
  if (!readBytes(payload_.data(), payload_.size()) || !readBytes(tail, 4)) {
    throw Fault(FaultKind::EndOfFile, unit_, name_);
  }
  if (int32At(tail) != count) throw Fault(FaultKind::CorruptRecord, unit_, name_);
  return true;
}

}  // namespace gw
