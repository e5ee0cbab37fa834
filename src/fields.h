// Rendering of the report's numeric fields: integers and fixed-point values, right-aligned in
// a field of a given width with space padding. A value wider than its field is never cut: the
// field grows.
//
// Fixed-point field of width w with d decimals, for a 64-bit IEEE 754 value x:
//   - NaN is "Nan", infinities "+Inf" and "-Inf".
//   - A minus sign stands for every x whose sign bit is set, negative zero included.
//   - Two roundings decide the digits. First |x|, scaled by 10^-k to v with 1 <= v < 16 (k = 0
//     when |x| < 10; each scaling step divides by 10^j, rounded to a 64-bit significand), is
//     rounded to 17 decimal places: D = v * 10^17 rounded to a 64-bit significand and then to
//     an integer, ties to even. The 19 digits of D are |x| to a multiple of 10^(k-17). Then
//     those digits are rounded to d decimals, a dropped part of one half or more rounding up.
//   - Magnitudes from about 10^36 (k > 35) are written in exponent form instead.
// So an exact tie of the binary value rounds up, and so does a value that lies below a tie by
// less than half a unit of the 17th decimal:
//   FormatFixed(2.5, 8, 3)       -> "   2.500"
//   FormatFixed(1.0 / 16, 10, 3) -> "     0.063"  (a single correct rounding gives 0.062)
//   FormatFixed(3.0 / 80, 10, 3) -> "     0.038"  (stored a little below 0.0375)
//   FormatFixed(1.0005, 10, 3)   -> "     1.000"  (stored about 1.07e-17 below 1.0005)
//   FormatFixed(9.9996, 8, 3)    -> "  10.000"
//   FormatFixed(30000, 8, 3)     -> "30000.000"  (nine characters: the field grows)
//   FormatFixed(-0.0, 8, 3)      -> "  -0.000"
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordplan {

using Int128 = __int128;

// Field widths from 0 to MaxFieldWidth and decimals from 0 to MaxFixedDecimals are rendered;
// larger ones are treated as these limits, negative ones as 0.
inline constexpr int MaxFieldWidth = 255;
inline constexpr int MaxFixedDecimals = 216;

// Room that any one field needs in an output buffer. A field shorter than 32 characters may
// write scratch bytes after its end, up to 32 bytes from its start.
inline constexpr std::size_t MaxFieldText = 512;

// Writes the integer field to `out` and returns its length: the decimal form ("-" for a
// negative value, no leading zeros), preceded by spaces up to `width` characters.
std::size_t FormatInteger(std::int64_t value, int width, char* out);
std::size_t FormatInteger(Int128 value, int width, char* out);

// Writes the fixed-point field to `out` and returns its length (rules above).
std::size_t FormatFixed(double value, int width, int decimals, char* out);

// The same field computed step by step in 64-bit-significand arithmetic, without the fast
// path. FormatFixed gives the same text for every value; tests compare the two.
std::size_t FormatFixedStepByStep(double value, int width, int decimals, char* out);

}  // namespace ordplan
