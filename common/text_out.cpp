#include "text_out.hpp"

#include "fault.hpp"
#include "platform.hpp"

namespace gw {

TextOut::TextOut(int fd, std::string name, int unit, bool owned, std::size_t capacity)
    : buf_(capacity), cap_(capacity), fd_(fd), owned_(owned),
      name_(std::move(name)), unit_(unit) {}

TextOut::TextOut(std::size_t capacity) : buf_(capacity), cap_(capacity) {}

TextOut::~TextOut() {
  try {
    flush();
  } catch (const Fault&) {
    // Nothing more can be done for a file whose last write fails while the run ends.
  }
  if (owned_) platform::closeFile(fd_);
}

std::unique_ptr<TextOut> TextOut::openFile(const std::string& name, int unit,
                                           bool emptyAtOnce) {
  int fd = platform::openFile(name, emptyAtOnce ? platform::Access::WriteEmpty : platform::Access::Write);
  if (fd < 0) throw openFault(unit, name, false);
  auto out = std::make_unique<TextOut>(fd, name, unit, true);
  out->truncatePending_ = !emptyAtOnce;
  return out;
}

void TextOut::makeRoom(std::size_t n) {
  flush();
  if (cap_ < n) {
    buf_ = RunArray<char>(n);
    cap_ = n;
  }
}

void TextOut::writeAll(const char* data, std::size_t n) {
  const bool written = writer_ ? writer_(data, n) : platform::writeAll(fd_, data, n);
  if (!written) throw Fault(FaultKind::WriteFailed, unit_, name_);
}

void TextOut::send(const char* data, std::size_t n) {
  flushed_ += n;
  if (fd_ < 0) {
    captured_.append(data, n);
    return;
  }
  emptyBeforeFirstBytes();
  writeAll(data, n);
}

void TextOut::emptyBeforeFirstBytes() {
  if (truncatePending_) {
    truncatePending_ = false;
    // Only a file with old bytes is emptied. One that is empty already (such
    // as one this run made) is left as it is: emptying it anyway makes some
    // file systems (ext4) write the whole output out to the disk when the file
    // is closed. A device or a pipe holds no old bytes (and cannot be emptied).
    std::uint64_t size = 0;
    const bool oldBytes = platform::regularFileSize(fd_, size) && size > 0;
    if (oldBytes && !platform::truncateToEmpty(fd_)) throw Fault(FaultKind::WriteFailed, unit_, name_);
  }
}

void TextOut::flush() {
  if (len_ == 0) return;
  const std::size_t n = len_;
  len_ = 0;
  send(buf_.data(), n);
}

void TextOut::putThrough(const char* data, std::size_t n) {
  // Small pieces join the buffer; large ones go out as they are.
  if (joinsBuffer(n)) {
    put(std::string_view(data, n));
    return;
  }
  if (len_ > 0 && fd_ >= 0 && !writer_) {
    // What the buffer holds and the piece, in one call to the system.
    const std::string_view piece(data, n);
    putThroughAll({&piece, 1});
    return;
  }
  flush();
  send(data, n);
}

void TextOut::putThroughAll(std::span<const std::string_view> pieces) {
  std::size_t total = 0;
  for (std::string_view piece : pieces) total += piece.size();
  // Pieces for the console or memory, and small ones, go as putThrough takes them.
  if (fd_ < 0 || writer_ || joinsBuffer(total)) {
    for (std::string_view piece : pieces) putThrough(piece.data(), piece.size());
    return;
  }
  // What the buffer holds comes first, all in one call to the system.
  std::vector<std::string_view> all;
  all.reserve(pieces.size() + 1);
  if (len_ > 0) all.emplace_back(buf_.data(), len_);
  all.insert(all.end(), pieces.begin(), pieces.end());
  flushed_ += total + len_;
  len_ = 0;
  emptyBeforeFirstBytes();
  if (!platform::writeAll(fd_, all)) throw Fault(FaultKind::WriteFailed, unit_, name_);
}

void TextOut::appendWritten(std::vector<std::string_view>& pieces) const {
  if (!captured_.empty()) pieces.push_back(captured_);
  if (len_ > 0) pieces.emplace_back(buf_.data(), len_);
}

void TextOut::discard() {
  captured_.clear();
  len_ = 0;
  flushed_ = 0;
}

}  // namespace gw
