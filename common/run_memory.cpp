// Run memory: the arrays of a run are carved one after the other out of large
// blocks of pages (platform::allocatePages), so that together they fill a few
// large pages instead of touching hundreds of small ones. A run sizes its
// arrays once and keeps them, so a block is a bump allocator: freed space is
// reused when the block's last array goes, or when the array freed is the one
// carved last.
#include <algorithm>
#include <cstdint>
#include <list>
#include <mutex>
#include <new>

#include "platform.hpp"
#include "run_array.hpp"

namespace gw::run_memory {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Arrays below this size come from the heap: a few pages do not matter. Under
// AddressSanitizer every array does, so that the sanitizer knows its bounds.
constexpr std::size_t kSmallArray = kSanitized ? static_cast<std::size_t>(-1) : 16 * 1024;
// Address space of one block: room for every array of a run at the largest
// capacity; pages of it that are never touched cost nothing.
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;
constexpr std::size_t kAlignment = 64;

std::size_t rounded(std::size_t bytes) { return (bytes + kAlignment - 1) & ~(kAlignment - 1); }

struct Block {
  unsigned char* base;
  std::size_t size;
  std::size_t top = 0;   // bytes carved so far
  std::size_t live = 0;  // arrays not freed yet

  bool holds(const void* p) const {
    const auto* b = static_cast<const unsigned char*>(p);
    return b >= base && b < base + size;
  }
  void* carve(std::size_t bytes) {
    void* p = base + top;
    top += bytes;
    ++live;
    return p;
  }
  // Returns whether the block is now empty.
  bool release(void* p, std::size_t bytes) {
    --live;
    if (live == 0) {
      top = 0;
    } else if (static_cast<unsigned char*>(p) + bytes == base + top) {
      top -= bytes;
    }
    return live == 0;
  }
};

class Blocks {
 public:
  void* allocate(std::size_t bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Block& b : blocks_) {
      if (b.size - b.top >= bytes) return b.carve(bytes);
    }
    const std::size_t size = std::max(kBlockBytes, bytes);
    void* base = platform::allocatePages(size);
    if (base == nullptr) return nullptr;
    blocks_.push_back(Block{static_cast<unsigned char*>(base), size});
    return blocks_.back().carve(bytes);
  }

  // False when `p` is not from a block.
  bool release(void* p, std::size_t bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto b = blocks_.begin(); b != blocks_.end(); ++b) {
      if (!b->holds(p)) continue;
      // The first block stays for the next run's arrays; others go back.
      if (b->release(p, bytes) && b != blocks_.begin()) {
        platform::freePages(b->base, b->size);
        blocks_.erase(b);
      }
      return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::list<Block> blocks_;
};

Blocks& blocks() {
  static Blocks* all = new Blocks;  // never destroyed: arrays of static objects may outlive it
  return *all;
}

}  // namespace

void* tryAllocate(std::size_t bytes) noexcept {
  if (bytes >= kSmallArray) {
    try {
      if (void* p = blocks().allocate(rounded(bytes))) return p;
    } catch (const std::bad_alloc&) {  // no room for the block's record
      return nullptr;
    }
  }
  // The nothrow form gives nullptr on every allocator, also under the
  // sanitizers, which end the process when a throwing allocation fails.
  return ::operator new(bytes, std::nothrow);
}

void* allocate(std::size_t bytes) {
  if (void* p = tryAllocate(bytes)) return p;
  throw std::bad_alloc();
}

void release(void* p, std::size_t bytes) noexcept {
  if (p == nullptr) return;
  if (bytes >= kSmallArray && blocks().release(p, rounded(bytes))) return;
  ::operator delete(p);
}

}  // namespace gw::run_memory
