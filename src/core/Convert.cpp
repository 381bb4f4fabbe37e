#include "Convert.h"

#include "Errors.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <stdlib.h>

namespace myrl {

namespace {

std::optional<int32_t> parseInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    }
    if (i == s.size()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        int d = hex ? HexDigitValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (hex) {
        // A hexadecimal text gives the 32-bit pattern it spells.
        auto pattern = static_cast<uint32_t>(value);
        if (negative) {
            pattern = 0u - pattern;
        }
        return static_cast<int32_t>(pattern);
    }
    if (negative) {
        if (value > 2147483648ull) {
            return std::nullopt;
        }
        return static_cast<int32_t>(-static_cast<int64_t>(value));
    }
    if (value > 2147483647ull) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// The largest double in the 15 significant digits the program writes it with:
// 1.79769313486232E308, as the digits after "0." and the power of ten of the first one.
constexpr std::string_view kMaxDigits = "179769313486232";
constexpr long kMaxExp10 = 308;

// True when the decimal number 0.<digits> x 10^(intDigits + exp10), its magnitude at
// least, is not above 1.79769313486232E308: a value beyond the largest double only
// through the rounding to 15 digits.
bool withinRoundingOfMax(const std::string& digits, size_t intDigits, long exp10) {
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return true;
    }
    std::string_view sig(digits);
    sig = sig.substr(first, sig.find_last_not_of('0') + 1 - first);
    // Power of ten of the first significant digit.
    const long lead = static_cast<long>(intDigits) - static_cast<long>(first) - 1 + exp10;
    if (lead != kMaxExp10) {
        return lead < kMaxExp10;
    }
    // Same power: both digit strings start with a non-zero digit and end without zeros,
    // so their order as strings is the order of the values.
    return sig <= kMaxDigits;
}

std::optional<double> parseFloat(std::string_view s, char decimalSep) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] == ' ') {
        ++b;
    }
    while (e > b && s[e - 1] == ' ') {
        --e;
    }
    // Rebuild the number in the C locale's spelling so strtod can take it.
    std::string c;
    std::string digits; // mantissa digits, without the separator
    size_t intDigits = 0;
    size_t i = b;
    const bool negative = i < e && s[i] == '-';
    if (i < e && (s[i] == '+' || s[i] == '-')) {
        c += s[i++];
    }
    while (i < e && s[i] >= '0' && s[i] <= '9') {
        digits += s[i];
        c += s[i++];
        ++intDigits;
    }
    if (i < e && s[i] == decimalSep) {
        c += '.';
        ++i;
        while (i < e && s[i] >= '0' && s[i] <= '9') {
            digits += s[i];
            c += s[i++];
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    long exp10 = 0;
    if (i < e && (s[i] == 'E' || s[i] == 'e')) {
        c += 'e';
        ++i;
        bool expNegative = false;
        if (i < e && (s[i] == '+' || s[i] == '-')) {
            expNegative = s[i] == '-';
            c += s[i++];
        }
        size_t expDigits = 0;
        while (i < e && s[i] >= '0' && s[i] <= '9') {
            // Held far beyond any double's range without overflowing.
            exp10 = std::min(exp10 * 10 + (s[i] - '0'), 100000000L);
            c += s[i++];
            ++expDigits;
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
        if (expNegative) {
            exp10 = -exp10;
        }
    }
    if (i != e) {
        return std::nullopt;
    }
    // The C locale's spelling regardless of the process locale (Qt sets it from the environment).
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    errno = 0;
    double v = strtod_l(c.c_str(), nullptr, cLocale);
    if (errno == ERANGE && std::isinf(v)) {
        // The program writes the largest double as 1.79769313486232E308, which lies
        // above it: such a value reads back as the largest double.
        if (withinRoundingOfMax(digits, intDigits, exp10)) {
            return negative ? -DBL_MAX : DBL_MAX;
        }
        return std::nullopt;
    }
    return v;
}

} // namespace

std::string QuotedText(std::string_view text, char quote) {
    // A NUL byte would end the message where a C string is read from it (what(), the boxes):
    // it is shown as the symbol for NUL, U+2400, and counts as the one character it was.
    std::string quoted(1, quote);
    for (const char c : CutText(text, kQuotedChars)) {
        if (c == '\0') {
            quoted += "\u2400";
        } else {
            quoted += c;
        }
    }
    return quoted + quote;
}

std::string NotAnIntegerText(std::string_view text) {
    return QuotedText(text) + " は整数ではありません";
}

std::string NotAFloatText(std::string_view text) {
    return QuotedText(text) + " は浮動小数点数ではありません";
}

std::string NotAnIntegerInRangeText(std::string_view text, int32_t lo, int32_t hi) {
    return QuotedText(text) + " は " + std::to_string(lo) + " から " + std::to_string(hi) +
           " までの整数ではありません";
}

int32_t StrToInt(std::string_view text) {
    if (auto v = parseInt(text)) {
        return *v;
    }
    throw EConvertError(NotAnIntegerText(text), QuotedText(text) + " is not a whole number");
}

std::optional<int32_t> TryStrToInt(std::string_view text) {
    return parseInt(text);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
    return parseInt(text).value_or(fallback);
}

double StrToFloat(std::string_view text, char decimalSep) {
    if (auto v = parseFloat(text, decimalSep)) {
        return *v;
    }
    throw EConvertError(NotAFloatText(text), QuotedText(text) +
                                                 " is not a number (the decimal separator is '" +
                                                 std::string(1, decimalSep) + "')");
}

} // namespace myrl
