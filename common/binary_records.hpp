// Sequential binary records: a 32-bit little-endian byte count N, N bytes of
// payload, the same count again. A read may take fewer bytes than a record holds
// (the rest is skipped); asking for more is a fault.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fault.hpp"

namespace gw {

class BinaryRecordReader {
 public:
  // Opens the file; a missing file is the "file not found" fault.
  BinaryRecordReader(std::string name, int unit);
  ~BinaryRecordReader();
  BinaryRecordReader(const BinaryRecordReader&) = delete;
  BinaryRecordReader& operator=(const BinaryRecordReader&) = delete;

  // Reads the next record into the payload buffer. With `endAllowed`, the end of
  // the file before the record returns false; otherwise it is the end-of-file
  // fault. A record cut short by the end of the file is always that fault.
  bool next(bool endAllowed);

  // Whether the read position is at the end of the file.
  bool atEnd() const { return position_ >= size_; }

  // Checks that the current record holds at least `bytes` bytes of payload.
  void require(std::size_t bytes) const {
    if (bytes > payload_.size()) throw Fault(FaultKind::TooMuchData, unit_, name_);
  }
  std::size_t payloadSize() const { return payload_.size(); }
  const unsigned char* payload() const { return payload_.data(); }

  const std::string& name() const { return name_; }
  int unit() const { return unit_; }

 private:
  // Reads exactly n bytes; false when the file ends first.
  bool readBytes(void* dst, std::size_t n);

  std::string name_;
  int unit_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
  std::vector<unsigned char> buffer_;
  std::size_t bufBegin_ = 0;
  std::size_t bufEnd_ = 0;
  std::vector<unsigned char> payload_;
};

// Little-endian item decoding from a payload.
inline std::int32_t int32At(const unsigned char* p) {
  std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                    (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(v);
}
inline double doubleAt(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

}  // namespace gw
