#include "Export.h"

#include "Format.h"
#include "TextFile.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace myrl {

namespace {

// Nearest integer, halves to the even neighbour, saturating at the 64-bit ends; NaN 0.
int64_t roundHalfEven64(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    constexpr double kTwo63 = 9223372036854775808.0;
    if (x >= kTwo63) {
        return std::numeric_limits<int64_t>::max();
    }
    if (x < -kTwo63) {
        return std::numeric_limits<int64_t>::min();
    }
    double f = std::floor(x);
    const double frac = x - f; // exact: below 2^52 x has a fraction, above it none
    if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0)) {
        f += 1;
    }
    return static_cast<int64_t>(f);
}

} // namespace

std::string ExportBytes(const MeasState& s, char decimalSep) {
    // A comma is the field separator: a locale with a decimal comma gets a full stop in
    // the values, so that every line still splits into two fields.
    if (decimalSep == ',') {
        decimalSep = '.';
    }
    std::string out;
    out.reserve(static_cast<size_t>(kArrayLen) * 32);
    for (int32_t i = 0; i <= s.SweepSteps && i < kArrayLen; ++i) {
        const auto k = static_cast<size_t>(i);
        out += std::to_string(roundHalfEven64(s.FreqAxis[k]));
        out += ',';
        out += FormatGeneral(s.DispTrace[k], decimalSep);
        out += "\r\n";
    }
    return out;
}

bool ExportData(const MeasState& s, const std::string& path, char decimalSep) {
    if (s.ZeroSpan) {
        return false;
    }
    WriteFileReplacing(path, ExportBytes(s, decimalSep));
    return true;
}

} // namespace myrl
