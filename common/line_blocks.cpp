#include "line_blocks.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace gw {

bool secondThreadAllowed() {
  static const bool allowed = [] {
    const char* setting = std::getenv("GWPOST_THREADS");
    if (setting != nullptr && std::string_view(setting) == "1") return false;
    return std::thread::hardware_concurrency() >= 2;
  }();
  return allowed;
}

namespace {

// Block b is rendered into slot b % kSlots and waits there until the blocks
// before it are out: either thread may run this many blocks ahead.
constexpr std::size_t kSlots = 6;

// The second thread and the slots, made on the first long run and kept for the
// rest of the program: the slots' pages are touched once, and no run waits for
// a thread to start. Both threads take the next block to render as they come
// free; only the calling thread writes, in order, each block straight from its
// slot as soon as it and the blocks before it are done.
class Sharing {
 public:
  static Sharing& instance() {
    static Sharing* sharing = new Sharing;  // never destroyed: its thread waits until the program ends
    return *sharing;
  }

  // Writes lines [0, count) to `out` in blocks of `perBlock` lines.
  void run(TextOut& out, std::size_t count, std::size_t perBlock, const BlockRenderer& render) {
    start(Job{&render, nullptr, nullptr, 0, count, perBlock, (count + perBlock - 1) / perBlock});
    finish(out);
  }
  // The same for lines in memory, updated in place.
  void runInPlace(TextOut& out, const char* lines, std::size_t lineBytes, std::size_t count, std::size_t perBlock,
                  const BlockUpdater& update) {
    start(Job{nullptr, &update, lines, lineBytes, count, perBlock, (count + perBlock - 1) / perBlock});
    finish(out);
  }

 private:
  struct Job {
    const BlockRenderer* render = nullptr;  // into the slots, or
    const BlockUpdater* update = nullptr;   // in place, at
    const char* lines = nullptr;
    std::size_t lineBytes = 0;
    std::size_t count = 0, perBlock = 1, blocks = 0;
    std::size_t claimed = 0;  // blocks taken by a thread
    std::size_t written = 0;  // blocks written
  };

  void start(const Job& job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = job;
      failure_ = nullptr;
      active_ = true;
    }
    helperWakes_.notify_one();
  }

  void finish(TextOut& out) {
    std::exception_ptr failure;
    try {
      writeInOrder(out);
    } catch (...) {
      failure = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    active_ = false;
    callerWakes_.wait(lock, [&] { return !helperRendering_; });  // the render and the slots stay in use till then
    for (bool& ready : ready_) ready = false;
    for (TextOut& slot : slots_) slot.discard();
    if (failure == nullptr) failure = failure_;
    lock.unlock();
    if (failure != nullptr) std::rethrow_exception(failure);
  }


  // A slot holds a block and the line that passes its end; a longer block
  // goes on in the slot's capture. The slots together fill about one large
  // page, so the system clears no more memory for them than that.
  Sharing()
      : slots_{TextOut(kSlotBytes), TextOut(kSlotBytes), TextOut(kSlotBytes), TextOut(kSlotBytes),
               TextOut(kSlotBytes), TextOut(kSlotBytes)},
        helper_([this] { helperLoop(); }) {}
  static constexpr std::size_t kSlotBytes = kBlockBytes + kBlockBytes / 4;
  static_assert(kSlots == 6, "one slot made above for each");

  // Whether the next block can be taken: there is one, and its slot is free.
  bool canClaim() const { return job_.claimed < job_.blocks && job_.claimed < job_.written + kSlots; }

  void renderBlock(std::size_t block) {
    const std::size_t first = block * job_.perBlock;
    const std::size_t last = std::min(job_.count, first + job_.perBlock);
    if (job_.update != nullptr) {
      (*job_.update)(first, last);
    } else {
      (*job_.render)(slots_[block % kSlots], first, last);
    }
  }
  // Sends blocks [first, last), all rendered, in one write where the system
  // allows: fewer calls to the system than a write per block.
  void sendBlocks(std::size_t first, std::size_t last, TextOut& out) {
    if (job_.update == nullptr) {
      pieces_.clear();
      for (std::size_t b = first; b < last; ++b) slots_[b % kSlots].appendWritten(pieces_);
      out.putThroughAll(pieces_);
      for (std::size_t b = first; b < last; ++b) slots_[b % kSlots].discard();
      return;
    }
    const std::size_t from = first * job_.perBlock;
    const std::size_t to = std::min(job_.count, last * job_.perBlock);
    out.putThrough(job_.lines + from * job_.lineBytes, (to - from) * job_.lineBytes);
  }

  void writeInOrder(TextOut& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (job_.written < job_.blocks) {
      if (failure_ != nullptr) return;
      const std::size_t next = job_.written;
      if (ready_[next % kSlots]) {
        // This block and the rendered ones right after it go out together.
        std::size_t last = next + 1;
        while (last < job_.blocks && last < next + kSlots && ready_[last % kSlots]) ++last;
        lock.unlock();
        sendBlocks(next, last, out);
        lock.lock();
        for (std::size_t b = next; b < last; ++b) ready_[b % kSlots] = false;
        job_.written = last;
        helperWakes_.notify_one();
      } else if (canClaim()) {
        const std::size_t block = job_.claimed++;
        lock.unlock();
        renderBlock(block);
        lock.lock();
        ready_[block % kSlots] = true;
      } else {
        callerWakes_.wait(lock);
      }
    }
  }

  void helperLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      helperWakes_.wait(lock, [&] { return active_ && failure_ == nullptr && canClaim(); });
      const std::size_t block = job_.claimed++;
      helperRendering_ = true;
      lock.unlock();
      std::exception_ptr failure;
      try {
        renderBlock(block);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      helperRendering_ = false;
      if (failure != nullptr) {
        failure_ = failure;
      } else {
        ready_[block % kSlots] = true;
      }
      callerWakes_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable helperWakes_, callerWakes_;
  Job job_;
  bool active_ = false;
  bool helperRendering_ = false;
  bool ready_[kSlots] = {};
  std::exception_ptr failure_;
  TextOut slots_[kSlots];  // in memory
  std::vector<std::string_view> pieces_;  // of the blocks being sent
  std::thread helper_;     // last: starts once the rest is made
};

}  // namespace

namespace {
// One caller at a time shares; a run within a run, or beside another, stays on its thread.
std::atomic<bool> sharingInUse{false};
struct ReleaseSharing {
  ~ReleaseSharing() { sharingInUse = false; }
};
std::size_t linesPerBlock(std::size_t bytesPerLine) {
  return std::max<std::size_t>(1, kBlockBytes / std::max<std::size_t>(1, bytesPerLine));
}
}  // namespace

void writeBlocks(TextOut& out, std::size_t count, std::size_t bytesPerLine, const BlockRenderer& render) {
  const std::size_t perBlock = linesPerBlock(bytesPerLine);
  if (count < 2 * perBlock || !secondThreadAllowed() || sharingInUse.exchange(true)) {
    render(out, 0, count);
    return;
  }
  const ReleaseSharing release;
  Sharing::instance().run(out, count, perBlock, render);
}

void writeUpdatedLines(TextOut& out, const char* lines, std::size_t count, std::size_t bytesPerLine,
                       const BlockUpdater& update) {
  const std::size_t perBlock = linesPerBlock(bytesPerLine);
  if (count < 2 * perBlock || !secondThreadAllowed() || sharingInUse.exchange(true)) {
    update(0, count);
    out.putThrough(lines, count * bytesPerLine);
    return;
  }
  const ReleaseSharing release;
  Sharing::instance().runInPlace(out, lines, bytesPerLine, count, perBlock, update);
}

}  // namespace gw
