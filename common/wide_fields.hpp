// Fields rendered eight at a time in the 512-bit vector registers of the
// processors that have them: the 1P exponent layouts, the free-form numbers
// and runs of consecutive integers, by the same arithmetic as the straight
// renderers of field_kernels.hpp (one decade product per value, the same tie
// margin), one value per lane, so the bytes are theirs; a lane whose value it
// declines is rendered by them. Exponent fields may be queued with their place
// in the output and rendered when the queue is full or flushed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "field_kernels.hpp"

namespace gw::fields::wide {

// Whether this machine runs the eight-lane renderers (decided once).
bool available();

// Whether `kernel` has an eight-lane renderer here: available() and a layout of
// the scale factor 1P with up to five digits after the point.
bool covers(straight::Kernel kernel);

// Renders values[i] in the layout of `kernel` into the field at targets[i]
// (its width, nothing around it), for i below n. Only where covers(kernel).
void exponents(straight::Kernel kernel, char* const* targets, const double* values, std::size_t n);
// The same for fields `stride` bytes apart, the first at `first`.
void exponents(straight::Kernel kernel, char* first, std::size_t stride, const double* values, std::size_t n);

// Renders the 32-bit reals values[i] in the free-form layout (1P G15.7E2, 15
// columns) at first + i * stride, for i below n: eight at a time where
// available(), else one by one.
void freeSingles(char* first, std::size_t stride, const float* values, std::size_t n);
// The same for doubles (1P G24.15E3, 24 columns).
void freeDoubles(char* first, std::size_t stride, const double* values, std::size_t n);

// Renders values[i] in the layout of `kernel`, each field followed by the one
// byte `separator`, end to end from `first` (each field and its separator
// whole), for i below n. Only where covers(kernel).
void exponentRun(straight::Kernel kernel, char* first, const double* values, std::size_t n, char separator);

// Renders Iw (w up to 16) of the numbers first, first + 1, ... at at + i * stride,
// for i below n: eight at a time where available() and the numbers lie within
// 0 to 10^8 - 1. For w below 8 a field may spill up to 8 - w bytes past its
// end, which the caller writes over.
void countingIntegers(char* at, std::size_t stride, int w, std::int64_t first, std::size_t n);

// A queue of fields of one kernel that covers() accepts.
class Queue {
 public:
  explicit Queue(straight::Kernel kernel) : kernel_(kernel) {}
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;
  ~Queue() { flush(); }

  straight::Kernel kernel() const { return kernel_; }
  void add(char* at, double value) {
    targets_[count_] = at;
    values_[count_] = value;
    if (++count_ == kCapacity) flush();
  }
  void flush() {
    if (count_ == 0) return;
    exponents(kernel_, targets_, values_, count_);
    count_ = 0;
  }

 private:
  static constexpr std::size_t kCapacity = 256;
  straight::Kernel kernel_;
  std::size_t count_ = 0;
  char* targets_[kCapacity];
  double values_[kCapacity];
};

}  // namespace gw::fields::wide
