// Command and reply framing of the analyser unit, shared by the program and the
// simulator.
//
// Command: start word "%8.8X", step word "%8.8X", sweep code "%2.2X", then CR:
// 19 bytes. Reply: two hexadecimal digits per point, points in order, 512 characters
// for 256 points; no terminator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace myrl {

constexpr int kCommandLength = 19;
constexpr int kCommandDigits = 18;

struct SweepCommand {
    int32_t StartWord = 0;
    int32_t StepWord = 0;
    int32_t SweepCode = 0;
    bool operator==(const SweepCommand&) const = default;
};

// The 19-character command line, carriage return included.
std::string BuildCommand(int32_t startWord, int32_t stepWord, int32_t sweepCode);

// A command line without its carriage return: exactly 18 hexadecimal digits (either
// case). Anything else gives nothing.
std::optional<SweepCommand> ParseCommand(std::string_view line);

// Reading of point i (0-based) of a reply text: characters 2i and 2i+1 as a
// hexadecimal byte; 0 when they are not two hexadecimal digits or the text is short.
int32_t DecodeReading(std::string_view reply, int i);

// Two upper-case hexadecimal digits of a reading 0..255, as the unit sends them.
std::string EncodeReading(int reading);

} // namespace myrl
