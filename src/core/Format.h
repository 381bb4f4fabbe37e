// Number formatting in the forms the program shows, writes and sends.
// Locale-independent: separators are arguments, supplied by the UI edge.
#pragma once

#include <cstdint>
#include <string>

namespace myrl {

// "%8.8x" / "%2.2x": the 32-bit two's-complement pattern in upper-case hexadecimal,
// zero-padded to `digits` (more digits when the value needs them).
std::string FormatHex(int32_t value, int digits);

// "%<width>.<decimals>f": fixed notation, right-aligned in `width`, halves away from
// zero on the value's 15-significant-digit decimal form, so a value typed or computed
// as a decimal tie rounds as written (0.25 -> "0.3", 2.05 -> "2.1" although the binary
// 2.05 lies a little below). A result that rounds to zero carries no minus sign.
std::string FormatFixed(double value, int width, int decimals, char decimalSep = '.');

// "%<width>.0n": rounded to an integer, halves away from zero, digits grouped by threes
// with `thousandsSep` (none when it is '\0'), right-aligned in `width`.
std::string FormatGrouped(double value, int width, char thousandsSep);

// The general form of the parameter file and the data export: up to 15 significant
// digits, trailing zeros dropped; fixed notation from 0.00001 ("0.00005") up to 15
// digits before the point, scientific ("1.5E-6", "1E15") beyond; "0" for zero;
// "NAN", "INF", "-INF".
std::string FormatGeneral(double value, char decimalSep = '.');

// "%1.3E"-like: `digits` significant digits in scientific form with at least
// `expDigits` exponent digits and an explicit exponent sign, halves away from zero
// ("1.235E-6" for 1.2345e-6 with 4 digits and 1 exponent digit).
std::string FormatExponent(double value, int digits, int expDigits, char decimalSep = '.');

// Right-aligns `text` in a field of `width` characters (never truncates).
std::string PadLeft(const std::string& text, int width);

} // namespace myrl
