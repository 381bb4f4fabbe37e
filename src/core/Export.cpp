#include "Export.h"

#include "Format.h"
#include "Rnd.h"
#include "TextFile.h"

#include <cstdint>

namespace myrl {

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
        out += std::to_string(rnd64(s.FreqAxis[k]));
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
