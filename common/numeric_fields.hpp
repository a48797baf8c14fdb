// Rendering of single numeric fields: each function writes exactly `w` characters
// (or the fixed width of its layout) at `out`. Decimal digits are the correctly
// rounded digits of the exact binary value (ties to even). A negative zero is
// written without a minus sign.
//
// Values that are not finite follow one rule in every field: "NaN", "Infinity"
// or "-Infinity" right-justified, "Inf" or "-Inf" when the long word does not
// fit, asterisks when nothing fits.
#pragma once

namespace gw::fields {

// Iw: the integer right-justified; w asterisks when it does not fit.
void integer(char* out, int w, long long value);

// Ew.d (scale 0: 0.12346E+05 form) and 1PEw.d (scale 1: 1.2346E+04 form).
// `expDigits` 0 is the default exponent (E and two digits, or a sign and three
// digits without the E); otherwise Ew.dEe with exactly that many digits.
void exponent(char* out, int w, int d, int expDigits, int scale, double value);
void exponent(char* out, int w, int d, int expDigits, int scale, float value);

// Fw.d: fixed point, d decimals, a zero before the point when there is room.
void fixed(char* out, int w, int d, double value);
void fixed(char* out, int w, int d, float value);

// Free-form layouts: a double takes 24 columns (1P G24.15E3), a single 15
// columns (1P G15.7E2). The fixed-point form is chosen when the value rounded
// to 15 (or 7) significant digits lies in [0.1, 10^15) (or [0.1, 10^7)).
inline constexpr int kFreeDoubleWidth = 24;
inline constexpr int kFreeSingleWidth = 15;
inline constexpr int kFreeIntegerWidth = 12;
void freeDouble(char* out, double value);
void freeSingle(char* out, float value);
// The same by the general path alone (the reference the straight one is tested against).
void freeDoubleGeneral(char* out, double value);
void freeSingleGeneral(char* out, float value);
// The least magnitudes of the fixed form of the free-form layouts.
float smallestFixedSingle();
double smallestFixedDouble();

}  // namespace gw::fields
