// Buffered text output: records are written into one large buffer and reach the
// file in big blocks, each record ended by CR LF.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run_array.hpp"

namespace gw {

class TextOut {
 public:
  static constexpr std::size_t kBufferSize = 1 << 20;

  // Writes to an open file descriptor through a buffer of `capacity` bytes; the
  // descriptor is closed with the object when `owned` is true.
  TextOut(int fd, std::string name, int unit, bool owned, std::size_t capacity = kBufferSize);
  // Collects everything written in memory (see `captured`), in a buffer of
  // `capacity` bytes (more goes on into the capture).
  explicit TextOut(std::size_t capacity = kBufferSize);
  ~TextOut();
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  // Creates or opens a text file for writing from its start. Unless
  // `emptyAtOnce`, its old content is kept until the first byte reaches it, so a
  // run that writes nothing to it leaves it as it was.
  static std::unique_ptr<TextOut> openFile(const std::string& name, int unit,
                                           bool emptyAtOnce = false);

  // Room for at least `n` more bytes; write them at the returned pointer, then
  // call `advance` with the count actually written.
  char* claim(std::size_t n) {
    if (cap_ - len_ < n) makeRoom(n);
    return buf_.data() + len_;
  }
  void advance(std::size_t n) { len_ += n; }

  void put(std::string_view text) {
    char* p = claim(text.size());
    if (text.size() <= 16) {
      for (char c : text) *p++ = c;  // short literals: no call into the library
    } else {
      std::memcpy(p, text.data(), text.size());
    }
    len_ += text.size();
  }
  void putChar(char c) { *claim(1) = c; ++len_; }
  void endRecord() {
    char* p = claim(2);
    p[0] = '\r';
    p[1] = '\n';
    len_ += 2;
  }

  // Sends buffered bytes to the file (or to the in-memory capture).
  void flush();

  // Bytes reach the file through `writer` instead of being written as they are
  // (the console converts its text on the way); it returns false on a fault.
  void setWriter(std::function<bool(const char*, std::size_t)> writer) { writer_ = std::move(writer); }

  // Sends `n` bytes as if they were written here, but straight to the file
  // (after what the buffer holds), without copying them into the buffer.
  void putThrough(const char* data, std::size_t n);

  // Sends the pieces, in order, as putThrough sends each; large ones reach a
  // file in one call to the system, after what the buffer holds.
  void putThroughAll(std::span<const std::string_view> pieces);

  // In-memory output: adds what was written so far to `pieces`, in order (the
  // pieces stay valid until the object is written to or emptied).
  void appendWritten(std::vector<std::string_view>& pieces) const;
  // In-memory output: forgets everything written so far.
  void discard();

  const std::string& name() const { return name_; }
  int unit() const { return unit_; }
  const std::string& captured() const { return captured_; }
  // Bytes written since the object was made.
  unsigned long long bytesWritten() const { return flushed_ + len_; }

 private:
  void makeRoom(std::size_t n);
  // Whether `n` bytes sent through are small enough to join the buffer.
  bool joinsBuffer(std::size_t n) const { return n <= kBufferSize / 16 && n <= cap_ - len_; }
  // A file opened to be emptied by its first bytes is emptied now.
  void emptyBeforeFirstBytes();
  // Hands bytes that follow everything sent so far to the file or the capture.
  void send(const char* data, std::size_t n);
  void writeAll(const char* data, std::size_t n);

  // In run memory: the buffers of the in-memory blocks of every long run of
  // lines reuse the same pages.
  RunArray<char> buf_;
  std::size_t cap_ = 0;
  std::size_t len_ = 0;
  unsigned long long flushed_ = 0;
  int fd_ = -1;
  bool owned_ = false;
  bool truncatePending_ = false;
  std::string name_;
  int unit_ = 0;
  std::string captured_;
  std::function<bool(const char*, std::size_t)> writer_;
};

}  // namespace gw
