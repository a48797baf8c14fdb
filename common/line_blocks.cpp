#include "line_blocks.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>

namespace gw {

namespace {

// GWPOST_THREADS=1 in the environment keeps every run on one thread.
bool sharingAllowed() {
  static const bool allowed = [] {
    const char* setting = std::getenv("GWPOST_THREADS");
    if (setting != nullptr && std::string_view(setting) == "1") return false;
    return std::thread::hardware_concurrency() >= 2;
  }();
  return allowed;
}

// This thread renders one block in three straight into the output; besides, it
// copies the other blocks in and makes the system calls, so the second thread
// takes the other two. Four slots let the second thread run ahead.
constexpr std::size_t kCycle = 3;
constexpr std::size_t kSlots = 4;

bool renderedHere(std::size_t block) { return block % kCycle == 0; }

// A block rendered by the second thread, waiting to be copied into the output.
struct Slot {
  TextOut text;  // in memory
  bool ready = false;
};

// Blocks of lines, and the handing over of the second thread's blocks.
class Sharing {
 public:
  Sharing(std::size_t count, std::size_t perBlock, const BlockRenderer& render)
      : count_(count), perBlock_(perBlock), blocks_((count + perBlock - 1) / perBlock), render_(render) {}

  void run(TextOut& out) {
    std::thread second([this] { renderOtherBlocks(); });
    try {
      writeInOrder(out);
    } catch (...) {
      stopSecond(second);
      throw;
    }
    stopSecond(second);
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  void renderBlock(TextOut& out, std::size_t block) const {
    const std::size_t first = block * perBlock_;
    render_(out, first, std::min(count_, first + perBlock_));
  }
  // The second thread's blocks take the slots in turn.
  Slot& slotOf(std::size_t block) {
    const std::size_t ordinal = block - block / kCycle - 1;
    return slots_[ordinal % kSlots];
  }

  // The second thread: its blocks, in order, into the slots.
  void renderOtherBlocks() {
    for (std::size_t block = 1; block < blocks_; ++block) {
      if (renderedHere(block)) continue;
      Slot& slot = slotOf(block);
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || !slot.ready; });
        if (stop_) return;
      }
      try {
        renderBlock(slot.text, block);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::current_exception();
        changed_.notify_all();
        return;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.ready = true;
      }
      changed_.notify_all();
    }
  }

  // This thread: its blocks straight into the output, the others copied from
  // their slots as they become ready.
  void writeInOrder(TextOut& out) {
    for (std::size_t block = 0; block < blocks_; ++block) {
      if (renderedHere(block)) {
        renderBlock(out, block);
        continue;
      }
      Slot& slot = slotOf(block);
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return slot.ready || failure_ != nullptr; });
        if (!slot.ready) return;  // the second thread failed; run() rethrows
      }
      slot.text.drainInto(out);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.ready = false;
      }
      changed_.notify_all();
    }
  }

  void stopSecond(std::thread& second) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    second.join();
  }

  const std::size_t count_;
  const std::size_t perBlock_;
  const std::size_t blocks_;
  const BlockRenderer& render_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::exception_ptr failure_;
};

}  // namespace

void writeBlocks(TextOut& out, std::size_t count, std::size_t bytesPerLine, const BlockRenderer& render) {
  const std::size_t perBlock = std::max<std::size_t>(1, kBlockBytes / std::max<std::size_t>(1, bytesPerLine));
  if (count < 2 * perBlock || !sharingAllowed()) {
    render(out, 0, count);
    return;
  }
  Sharing(count, perBlock, render).run(out);
}

}  // namespace gw
