// Arrays that hold a run's data (the mesh, the current step, the node work
// arrays, the read buffer and text buffers): sized once from the counts of the
// result file and kept for the whole run, or made again with the same size,
// such as the buffers of each long run of lines.
//
// Their memory comes from run memory (see run_memory.cpp): large blocks that
// the system backs with large pages where it can, so that touching the arrays
// for the first time costs a handful of page faults rather than one per 4 KB,
// and an array made again takes the pages of the one freed before it.
// `resize` leaves new elements uninitialised, for arrays that are overwritten
// whole; `assign` gives them a value.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace gw {

namespace run_memory {
// Bytes aligned for any item; a large request is carved out of run memory,
// a small one comes from the heap.
void* allocate(std::size_t bytes);
// The same, but nullptr when the memory is not there, for one array so large
// that a run may not have room for it.
void* tryAllocate(std::size_t bytes) noexcept;
void release(void* p, std::size_t bytes) noexcept;
}  // namespace run_memory

template <class T>
struct RunAllocator {
  using value_type = T;

  RunAllocator() = default;
  template <class U>
  RunAllocator(const RunAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(run_memory::allocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { run_memory::release(p, n * sizeof(T)); }

  // Default-initialises elements made without a value (no zero fill).
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const RunAllocator&, const RunAllocator&) { return true; }
};

template <class T>
using RunArray = std::vector<T, RunAllocator<T>>;

}  // namespace gw
