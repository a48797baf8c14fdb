// Correctly rounded significant decimal digits of a binary floating-point value.
#pragma once

namespace gw {

// Writes the first `count` (1 to 40) significant decimal digits of `magnitude`
// (finite and greater than zero), rounded to nearest with exact ties to even,
// so that magnitude ~ D1.D2D3... x 10^exp10. Most values take a path of one
// double operation whose error is bounded and checked; values too close to a
// rounding boundary for it take an exact 128-bit integer path, and the rest the
// general conversion.
void roundedDigits(double magnitude, int count, char* digits, int& exp10);
void roundedDigits(float magnitude, int count, char* digits, int& exp10);

// The general conversion alone (the reference the integer path is tested against).
void roundedDigitsGeneral(double magnitude, int count, char* digits, int& exp10);
void roundedDigitsGeneral(float magnitude, int count, char* digits, int& exp10);

}  // namespace gw
