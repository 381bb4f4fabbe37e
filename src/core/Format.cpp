#include "Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace myrl {

namespace {

// Significant decimal digits of |v| (v finite, non-zero) and the power of ten of the
// first one: |v| ~= d0.d1d2... x 10^exp10.
struct Digits {
    std::string digits;
    int exp10 = 0;
};

Digits significantDigits(double v, int count) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific,
                             count - 1);
    std::string s(buf, res.ptr);
    Digits d;
    auto ePos = s.find('e');
    for (size_t i = 0; i < ePos; ++i) {
        if (s[i] != '.') {
            d.digits += s[i];
        }
    }
    d.exp10 = std::stoi(s.substr(ePos + 1));
    return d;
}

// Adds one unit to the last digit of a digit string; returns true when it carried out
// of the first digit (the string then reads "000..." and the caller prepends a "1").
bool incrementDigits(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

struct Fixed {
    bool negative = false;
    std::string intPart = "0";
    std::string fracPart;
};

// |value| rounded to `decimals` places, halves away from zero on its 15-digit form.
Fixed roundFixed(double value, int decimals) {
    Fixed f;
    f.fracPart.assign(static_cast<size_t>(decimals), '0');
    if (value == 0 || !std::isfinite(value)) {
        return f;
    }
    Digits d = significantDigits(value, 15);
    // Digits kept: those down to 10^-decimals.
    int keep = d.exp10 + 1 + decimals;
    const int total = static_cast<int>(d.digits.size());
    if (keep < 0) {
        return f;
    }
    std::string kept = d.digits.substr(0, static_cast<size_t>(std::min<int>(keep, total)));
    bool up = keep < total && d.digits[static_cast<size_t>(keep)] >= '5';
    kept.append(static_cast<size_t>(std::max(0, keep - static_cast<int>(kept.size()))), '0');
    int intDigits = d.exp10 + 1;
    if (up) {
        if (kept.empty() || incrementDigits(kept)) {
            kept.insert(kept.begin(), '1');
            ++intDigits;
        }
    }
    // kept now holds the rounded value x 10^decimals as digits; split it.
    if (intDigits > 0) {
        f.intPart = kept.substr(0, static_cast<size_t>(intDigits));
        f.fracPart = kept.substr(static_cast<size_t>(intDigits));
    } else {
        f.intPart.assign(1, '0');
        f.fracPart = std::string(static_cast<size_t>(-intDigits), '0') + kept;
    }
    f.fracPart.resize(static_cast<size_t>(decimals), '0');
    bool allZero = f.intPart.find_first_not_of('0') == std::string::npos &&
                   f.fracPart.find_first_not_of('0') == std::string::npos;
    f.negative = value < 0 && !allZero;
    return f;
}

std::string nonFinite(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    return value < 0 ? "-INF" : "INF";
}

} // namespace

std::string PadLeft(const std::string& text, int width) {
    if (static_cast<int>(text.size()) >= width) {
        return text;
    }
    return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

std::string FormatHex(int32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits,
                  static_cast<unsigned>(static_cast<uint32_t>(value)));
    return buf;
}

std::string FormatFixed(double value, int width, int decimals, char decimalSep) {
    if (!std::isfinite(value)) {
        return PadLeft(nonFinite(value), width);
    }
    Fixed f = roundFixed(value, decimals);
    std::string s = f.negative ? "-" : "";
    s += f.intPart;
    if (decimals > 0) {
        s += decimalSep;
        s += f.fracPart;
    }
    return PadLeft(s, width);
}

std::string FormatGrouped(double value, int width, char thousandsSep) {
    if (!std::isfinite(value)) {
        return PadLeft(nonFinite(value), width);
    }
    Fixed f = roundFixed(value, 0);
    std::string grouped;
    const std::string& d = f.intPart;
    for (size_t i = 0; i < d.size(); ++i) {
        if (i > 0 && (d.size() - i) % 3 == 0 && thousandsSep != '\0') {
            grouped += thousandsSep;
        }
        grouped += d[i];
    }
    return PadLeft((f.negative ? "-" : "") + grouped, width);
}

std::string FormatGeneral(double value, char decimalSep) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    if (value == 0) {
        return "0";
    }
    Digits d = significantDigits(value, 15);
    auto last = d.digits.find_last_not_of('0');
    d.digits.resize(last + 1);
    std::string s = value < 0 ? "-" : "";
    int n = static_cast<int>(d.digits.size());
    // Fixed notation from 0.00001 up to 15 digits before the point, decided on the
    // rounded digits (9.999999999999999E-6 shows as 0.00001).
    if (d.exp10 + 1 > 15 || d.exp10 < -5) {
        s += d.digits[0];
        if (n > 1) {
            s += decimalSep;
            s += d.digits.substr(1);
        }
        s += 'E';
        s += std::to_string(d.exp10);
    } else if (d.exp10 >= 0) {
        int intDigits = d.exp10 + 1;
        if (n <= intDigits) {
            s += d.digits + std::string(static_cast<size_t>(intDigits - n), '0');
        } else {
            s += d.digits.substr(0, static_cast<size_t>(intDigits));
            s += decimalSep;
            s += d.digits.substr(static_cast<size_t>(intDigits));
        }
    } else {
        s += '0';
        s += decimalSep;
        s += std::string(static_cast<size_t>(-d.exp10 - 1), '0');
        s += d.digits;
    }
    return s;
}

std::string FormatExponent(double value, int digits, int expDigits, char decimalSep) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    std::string mant(static_cast<size_t>(digits), '0');
    int exp10 = 0;
    if (value != 0) {
        Digits d = significantDigits(value, 15);
        mant = d.digits.substr(0, static_cast<size_t>(digits));
        exp10 = d.exp10;
        if (d.digits[static_cast<size_t>(digits)] >= '5' && incrementDigits(mant)) {
            mant.insert(mant.begin(), '1');
            mant.pop_back();
            ++exp10;
        }
    }
    std::string s = value < 0 ? "-" : "";
    s += mant[0];
    if (digits > 1) {
        s += decimalSep;
        s += mant.substr(1);
    }
    s += 'E';
    s += exp10 < 0 ? '-' : '+';
    std::string e = std::to_string(std::abs(exp10));
    if (static_cast<int>(e.size()) < expDigits) {
        e.insert(0, static_cast<size_t>(expDigits) - e.size(), '0');
    }
    return s + e;
}

} // namespace myrl
