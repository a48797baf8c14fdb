// Doubles as 32-bit reals, for files and pages that hold values in half the bytes.
#pragma once

#include <cmath>
#include <limits>

namespace gw::postvtk {

// The 32-bit real nearest to `value`; beyond the largest, an infinity of its sign
// (a plain conversion of such a value is undefined).
inline float toFloat32(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  // Halfway between the largest 32-bit real and the next power of two rounds up.
  constexpr double kHalfStepAbove = kLargest + 0x1p103;
  if (std::isfinite(value) && std::fabs(value) > kLargest) {
    const float edge = std::fabs(value) < kHalfStepAbove ? std::numeric_limits<float>::max()
                                                         : std::numeric_limits<float>::infinity();
    return std::signbit(value) ? -edge : edge;
  }
  return static_cast<float>(value);
}

}  // namespace gw::postvtk
