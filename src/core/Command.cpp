#include "Command.h"

#include "Convert.h"
#include "Format.h"

namespace myrl {

std::string BuildCommand(int32_t startWord, int32_t stepWord, int32_t sweepCode) {
    return FormatHex(startWord, 8) + FormatHex(stepWord, 8) + FormatHex(sweepCode, 2) + "\r";
}

std::optional<SweepCommand> ParseCommand(std::string_view line) {
    if (line.size() != kCommandDigits) {
        return std::nullopt;
    }
    auto field = [&](size_t pos, size_t len) -> std::optional<int32_t> {
        // After "$" only hexadecimal digits convert: no sign, no blank.
        return TryStrToInt(std::string("$").append(line.substr(pos, len)));
    };
    auto start = field(0, 8);
    auto step = field(8, 8);
    auto code = field(16, 2);
    if (!start || !step || !code) {
        return std::nullopt;
    }
    return SweepCommand{*start, *step, *code};
}

int32_t DecodeReading(std::string_view reply, int i) {
    auto pos = static_cast<size_t>(2 * i);
    if (i < 0 || pos + 2 > reply.size()) {
        return 0;
    }
    // What StrToIntDef makes of "$" and the pair, without building the text: 256 readings a
    // sweep.
    const int hi = HexDigitValue(reply[pos]);
    const int lo = HexDigitValue(reply[pos + 1]);
    return hi < 0 || lo < 0 ? 0 : hi * 16 + lo;
}

std::string EncodeReading(int reading) {
    return FormatHex(reading & 0xFF, 2);
}

} // namespace myrl
