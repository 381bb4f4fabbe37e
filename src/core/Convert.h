// Text-to-number conversions with the system's error texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace myrl {

// Decimal integer with optional leading blanks and sign; a leading "$" (after the
// sign) makes it hexadecimal, digits 0-9, A-F, a-f. Nothing may follow the digits.
// Throws EConvertError "'<text>' は整数ではありません" otherwise, or when the value
// does not fit in 32 bits (hexadecimal takes the full 32-bit pattern, "$FFFFFFFF" is -1).
int32_t StrToInt(std::string_view text);

// As StrToInt, but gives nothing instead of throwing.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As StrToInt, but returns `fallback` instead of throwing.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Value of one hexadecimal digit (0-9, A-F, a-f) as the conversions above read it; -1 for
// any other character.
int HexDigitValue(char c);

// Floating-point number: optional blanks around it, sign, digits with at most one
// `decimalSep`, optional exponent (E or e, sign, digits). Throws EConvertError
// "'<text>' は浮動小数点数ではありません" when the text is anything else or overflows. A
// value beyond the largest double by no more than its rounding to 15 significant digits
// (up to 1.79769313486232E308, the form the program writes it in) reads as the largest
// double, with its sign.
double StrToFloat(std::string_view text, char decimalSep = '.');

// How many characters of an offending text a message quotes.
constexpr size_t kQuotedChars = 100;

// An offending text as the messages quote it: in single quotes (or `quote`), cut after
// kQuotedChars characters (never inside a UTF-8 sequence) with "…" after the cut.
std::string QuotedText(std::string_view text, char quote = '\'');

// The message texts, with the offending text quoted in place.
std::string NotAnIntegerText(std::string_view text);
std::string NotAFloatText(std::string_view text);
// A typed count that is an integer but outside lo..hi: "'<text>' は <lo> から <hi> までの
// 整数ではありません".
std::string NotAnIntegerInRangeText(std::string_view text, int32_t lo, int32_t hi);

} // namespace myrl
