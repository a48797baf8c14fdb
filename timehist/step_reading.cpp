#include "step_reading.hpp"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

#include "fault.hpp"
#include "line_blocks.hpp"

namespace gw::timehist {

namespace {

// Below this many bytes of kept blocks one thread reads them all: a second
// would cost about as much to start as it saves.
constexpr std::uint64_t kSharedReadBytes = std::uint64_t{8} << 20;

// The extractor's loop from the read position on, with `kept` steps kept
// before it: each block is read, and kept while the store has room; the block
// that finds the store full ends the loop unkept. Returns the steps kept in all.
std::int32_t readOn(ResultFile& file, const Mesh& mesh, const SeriesStore& store, Step& step, std::int32_t kept) {
  while (file.readStep(mesh, step)) {
    if (kept == store.stepCapacity()) break;
    ++kept;
    store.gather(kept, step);
  }
  return kept;
}

// The first block at which a second reader starts, when the kept blocks, all
// `blockBytes` long as far as the file's size tells, are many enough to share;
// 0 when they are not.
std::int32_t secondHalfStart(const ResultFile& result, const SeriesStore& store, std::uint64_t blockBytes) {
  const std::uint64_t rest = result.size() - result.position();
  if (blockBytes == 0 || rest % blockBytes != 0 || !secondThreadAllowed()) return 0;
  const std::uint64_t blocks = 1 + rest / blockBytes;
  const auto kept = std::min<std::uint64_t>(blocks, static_cast<std::uint64_t>(store.stepCapacity()));
  if (kept < 4 || kept * blockBytes < kSharedReadBytes) return 0;
  return static_cast<std::int32_t>(kept / 2) + 1;
}

// Opens the second reader; none when the file cannot be opened again.
std::unique_ptr<ResultFile> secondReader(const ResultFile& result) {
  try {
    return result.another();
  } catch (const Fault&) {
    return nullptr;
  }
}

}  // namespace

std::int32_t readKeptSteps(ResultFile& result, const Mesh& mesh, SeriesStore& store) {
  store.expectStepSizes(static_cast<std::size_t>(mesh.nodes()), static_cast<std::size_t>(mesh.elements()));
  Step step;
  // The first block tells how long a block is.
  const std::uint64_t firstStart = result.position();
  if (!result.readStep(mesh, step) || store.stepCapacity() == 0) return 0;
  store.gather(1, step);
  const std::uint64_t blockBytes = result.position() - firstStart;

  const std::int32_t split = secondHalfStart(result, store, blockBytes);
  std::unique_ptr<ResultFile> second = split > 0 ? secondReader(result) : nullptr;
  if (!second) return readOn(result, mesh, store, step, 1);

  const std::uint64_t splitStart = firstStart + static_cast<std::uint64_t>(split - 1) * blockBytes;
  second->continueAt(splitStart, split);
  std::int32_t keptInAll = 0;
  std::exception_ptr secondFault;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        Step secondStep;
        keptInAll = readOn(*second, mesh, store, secondStep, split - 1);
      } catch (...) {
        secondFault = std::current_exception();
      }
    });
  } catch (const std::system_error&) {  // no thread to be had: one reader reads on
    return readOn(result, mesh, store, step, 1);
  }
  // A fault of the first half ends the run once the helper has stopped.
  struct JoinOnExit {
    std::thread& thread;
    ~JoinOnExit() {
      if (thread.joinable()) thread.join();
    }
  } joinOnExit{helper};

  std::int32_t kept = 1;
  while (kept < split - 1 && result.readStep(mesh, step)) store.gather(++kept, step);
  helper.join();
  if (kept == split - 1 && result.position() == splitStart) {
    if (secondFault) std::rethrow_exception(secondFault);
    return keptInAll;
  }
  // The blocks differ in length after all: the rest is read from here.
  return readOn(result, mesh, store, step, kept);
}

}  // namespace gw::timehist
