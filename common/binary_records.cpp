#include "binary_records.hpp"

#include <algorithm>

#include "platform.hpp"

namespace gw {

namespace {
constexpr std::size_t kSmallestBlock = 4096;
}  // namespace

BinaryRecordReader::BinaryRecordReader(std::string name, int unit, std::size_t blockBytes)
    : name_(std::move(name)), unit_(unit) {
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
  // No bigger than the file, unless that is smaller than the block asked for.
  buffer_.resize(static_cast<std::size_t>(std::clamp<std::uint64_t>(size_, std::min(blockBytes, kSmallestBlock), blockBytes)));
}

BinaryRecordReader::~BinaryRecordReader() {
  platform::closeFile(fd_);
}

void BinaryRecordReader::fill(std::size_t bytes) {
  if (end_ - begin_ >= bytes) return;
  // The few bytes of an item cut by the end of the last block move to the front.
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  // Inside a record's payload a read goes no further than the payload's end
  // and the two counts after it: the next record may be one that is passed
  // over unread, and its bytes would be read for nothing.
  const std::uint64_t limit = left_ > 0 ? position() + left_ + 8 : static_cast<std::uint64_t>(-1);
  while (end_ < bytes) {
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size() - end_, limit - std::min(limit, filePosition_)));
    std::ptrdiff_t got = platform::readSome(fd_, buffer_.data() + end_, room);
    if (got < 0) throw Fault(FaultKind::EndOfFile, unit_, name_, "read failed");
    if (got == 0) throw Fault(FaultKind::EndOfFile, unit_, name_);
    end_ += static_cast<std::size_t>(got);
    filePosition_ += static_cast<std::uint64_t>(got);
  }
}

std::int32_t BinaryRecordReader::takeCount() {
  fill(4);
  std::int32_t count = int32At(buffer_.data() + begin_);
  begin_ += 4;
  return count;
}

bool BinaryRecordReader::beginRecord(bool endAllowed) {
  recordStart_ = position();
  if (atEnd()) {
    if (endAllowed) return false;
    throw Fault(FaultKind::EndOfFile, unit_, name_);
  }
  count_ = takeCount();
  if (count_ < 0) throw Fault(FaultKind::CorruptRecord, unit_, name_);
  // A count beyond what the file still holds means the file was cut inside the record.
  if (static_cast<std::uint64_t>(count_) + 4 > size_ - position()) throw Fault(FaultKind::EndOfFile, unit_, name_);
  left_ = static_cast<std::size_t>(count_);
  return true;
}

const unsigned char* BinaryRecordReader::takeItems(std::size_t itemBytes, std::size_t& n) {
  fill(itemBytes);
  n = std::min(n, (end_ - begin_) / itemBytes);
  const unsigned char* items = buffer_.data() + begin_;
  begin_ += n * itemBytes;
  left_ -= n * itemBytes;
  return items;
}

void BinaryRecordReader::moveTo(std::uint64_t offset) {
  if (!platform::seekTo(fd_, offset)) throw Fault(FaultKind::EndOfFile, unit_, name_, "read failed");
  filePosition_ = offset;
  begin_ = end_ = 0;
}

void BinaryRecordReader::endRecord(bool heldItems) {
  // What the buffer holds of the rest is stepped over; beyond it, the file is
  // not read but moved past (the record lies wholly inside the file).
  const std::size_t buffered = std::min(left_, end_ - begin_);
  begin_ += buffered;
  left_ -= buffered;
  if (left_ > 0) moveTo(position() + left_);
  left_ = 0;
  if (takeCount() != count_) throw Fault(FaultKind::CorruptRecord, unit_, name_);
  if (!heldItems) throw Fault(FaultKind::TooMuchData, unit_, name_);
}

}  // namespace gw
