// Number conversion: the whole input is one text, converted as an integer and as a
// floating-point number with either decimal separator.
#include "Convert.h"
#include "Errors.h"
#include "FuzzSupport.h"

#include <string>

using namespace myrl;

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void CheckInteger(std::string_view text) {
    const std::optional<int32_t> tried = TryStrToInt(text);
    std::optional<int32_t> thrown;
    try {
        thrown = StrToInt(text);
    } catch (const EConvertError& e) {
        const std::string msg = e.what();
        FUZZ_CHECK(!msg.empty() && msg[0] == '\'');
        FUZZ_CHECK(EndsWith(msg, "' は整数ではありません"));
    }
    FUZZ_CHECK(tried == thrown);
    FUZZ_CHECK(StrToIntDef(text, 12345) == tried.value_or(12345));
    if (tried && text.find('$') == std::string_view::npos) {
        // A decimal integer is written back the same way, and reads as a number too.
        FUZZ_CHECK(StrToInt(std::to_string(*tried)) == *tried);
        FUZZ_CHECK(StrToFloat(text, '.') == static_cast<double>(*tried));
        FUZZ_CHECK(StrToFloat(text, ',') == static_cast<double>(*tried));
    }
}

std::optional<double> Float(std::string_view text, char sep) {
    try {
        const double v = StrToFloat(text, sep);
        FUZZ_CHECK(std::isfinite(v)); // an overflow is refused, never infinite
        return v;
    } catch (const EConvertError& e) {
        const std::string msg = e.what();
        FUZZ_CHECK(!msg.empty() && msg[0] == '\'');
        FUZZ_CHECK(EndsWith(msg, "' は浮動小数点数ではありません"));
        return std::nullopt;
    }
}

void CheckFloat(std::string_view text) {
    const auto point = Float(text, '.');
    const auto comma = Float(text, ',');
    // The other separator is never part of a number.
    if (text.find(',') != std::string_view::npos) {
        FUZZ_CHECK(!point);
    }
    if (text.find('.') != std::string_view::npos) {
        FUZZ_CHECK(!comma);
    }
    if (text.find(',') == std::string_view::npos && text.find('.') == std::string_view::npos) {
        FUZZ_CHECK(point.has_value() == comma.has_value());
        if (point) {
            FUZZ_CHECK(fuzz::SameBits(*point, *comma));
        }
    }
    // The same number spelt with the other separator converts to the same value.
    if (point) {
        std::string swapped(text);
        for (char& c : swapped) {
            if (c == '.') {
                c = ',';
            }
        }
        const auto back = Float(swapped, ',');
        FUZZ_CHECK(back && fuzz::SameBits(*back, *point));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckInteger(text);
    CheckFloat(text);
    return 0;
}
