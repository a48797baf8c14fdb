// Sequential binary records: a 32-bit little-endian byte count N, N bytes of
// payload, the same count again. A read may take fewer bytes than a record holds
// (the rest is skipped); asking for more is a fault.
//
// The file is read front to back in large blocks into one buffer that is kept
// for the whole run; the items of a record are decoded from that buffer
// straight into the caller's arrays, so no record is copied whole.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "fault.hpp"
#include "run_array.hpp"

namespace gw {

class BinaryRecordReader {
 public:
  // Large enough that a read costs little beside the bytes it brings, small
  // enough that the items decoded from it are still in the processor's cache.
  static constexpr std::size_t kReadBlock = 256 * 1024;

  // Opens the file; a missing file is the "file not found" fault. The file is
  // read in blocks of up to `blockBytes` bytes, which must hold the largest item
  // read.
  BinaryRecordReader(std::string name, int unit, std::size_t blockBytes = kReadBlock);
  ~BinaryRecordReader();
  BinaryRecordReader(const BinaryRecordReader&) = delete;
  BinaryRecordReader& operator=(const BinaryRecordReader&) = delete;

  // Reads the next record: hands the first `count` items of `itemBytes` bytes
  // each to `decode(p, first, n)` (items first .. first+n-1, packed from p; it
  // is called as often as the buffer needs) and skips the rest of the payload.
  // With `endAllowed`, the end of the file before the record returns false;
  // otherwise it is the end-of-file fault. The faults come in the order of the
  // record's bytes: a record cut short by the end of the file, then broken
  // framing, then a record shorter than the items asked of it ("too much
  // data"), in which case nothing is decoded.
  template <class Decode>
  bool read(bool endAllowed, std::size_t itemBytes, std::size_t count, Decode&& decode) {
    if (!beginRecord(endAllowed)) return false;
    const bool holdsItems = count <= left_ / itemBytes;
    for (std::size_t first = 0; holdsItems && first < count;) {
      std::size_t n = count - first;
      const unsigned char* p = takeItems(itemBytes, n);
      decode(p, first, n);
      first += n;
    }
    endRecord(holdsItems);
    return true;
  }

  // Passes over the next record as `read` would take `count` items from it,
  // with the same faults, without reading its payload.
  bool pass(bool endAllowed, std::size_t itemBytes, std::size_t count) {
    if (!beginRecord(endAllowed)) return false;
    endRecord(count <= left_ / itemBytes);
    return true;
  }

  // Whether the read position is at the end of the file.
  bool atEnd() const { return position() >= size_; }
  // File offset of the next unread byte; `moveTo` goes to one between records.
  std::uint64_t position() const { return filePosition_ - (end_ - begin_); }
  void moveTo(std::uint64_t offset);

  const std::string& name() const { return name_; }
  int unit() const { return unit_; }
  std::uint64_t size() const { return size_; }
  // File offset and byte count of the record read last (or being read).
  std::uint64_t recordStart() const { return recordStart_; }
  std::int32_t recordBytes() const { return count_; }

 private:
  // Reads a record's leading count; false at the end of the file when allowed.
  bool beginRecord(bool endAllowed);
  // Between 1 and `n` whole items of the current record; `n` becomes how many.
  const unsigned char* takeItems(std::size_t itemBytes, std::size_t& n);
  // Skips the unread payload and checks the trailing count, then that the
  // record held the items asked of it.
  void endRecord(bool heldItems);
  // Makes at least `bytes` bytes (at most the buffer) stand in the buffer.
  void fill(std::size_t bytes);
  std::int32_t takeCount();

  std::string name_;
  int unit_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t filePosition_ = 0;  // bytes read from the file so far
  RunArray<unsigned char> buffer_;
  std::size_t begin_ = 0;  // unread bytes: buffer_[begin_, end_)
  std::size_t end_ = 0;
  std::uint64_t recordStart_ = 0;
  std::int32_t count_ = 0;  // byte count of the current record
  std::size_t left_ = 0;    // its payload bytes not read yet
};

// Little-endian item decoding from a payload.
inline std::int32_t int32At(const unsigned char* p) {
  std::uint32_t v;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof v);
  } else {
    v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  return static_cast<std::int32_t>(v);
}
inline double doubleAt(const unsigned char* p) {
  std::uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof v);
  } else {
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  }
  return std::bit_cast<double>(v);
}

}  // namespace gw
