#include "Convert.h"

#include "Errors.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <stdlib.h>

namespace myrl {

namespace {

int hexValue(char c) {
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
        int d = hex ? hexValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
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
    size_t i = b;
    if (i < e && (s[i] == '+' || s[i] == '-')) {
        c += s[i++];
    }
    size_t digits = 0;
    while (i < e && s[i] >= '0' && s[i] <= '9') {
        c += s[i++];
        ++digits;
    }
    if (i < e && s[i] == decimalSep) {
        c += '.';
        ++i;
        while (i < e && s[i] >= '0' && s[i] <= '9') {
            c += s[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < e && (s[i] == 'E' || s[i] == 'e')) {
        c += 'e';
        ++i;
        if (i < e && (s[i] == '+' || s[i] == '-')) {
            c += s[i++];
        }
        size_t expDigits = 0;
        while (i < e && s[i] >= '0' && s[i] <= '9') {
            c += s[i++];
            ++expDigits;
        }
        if (expDigits == 0) {
            return std::nullopt;
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
        return std::nullopt;
    }
    return v;
}

} // namespace

std::string NotAnIntegerText(std::string_view text) {
    return "'" + std::string(text) + "' は整数ではありません";
}

std::string NotAFloatText(std::string_view text) {
    return "'" + std::string(text) + "' は浮動小数点数ではありません";
}

int32_t StrToInt(std::string_view text) {
    if (auto v = parseInt(text)) {
        return *v;
    }
    throw EConvertError(NotAnIntegerText(text));
}

std::optional<int32_t> TryStrToInt(std::string_view text) {
    return parseInt(text);
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
    return parseInt(text).value_or(fallback);
}

double StrToFloat(std::string_view text, char decimalSep) {
    if (auto v = parseFloat(text, decimalSep)) {
        return *v;
    }
    throw EConvertError(NotAFloatText(text));
}

} // namespace myrl
