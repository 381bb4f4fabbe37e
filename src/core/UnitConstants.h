// Facts of the analyser unit that the program and the simulator share: how many points a
// sweep measures, how a tuning word becomes a frequency, and the FREX extension. The
// simulator keeps its own formulas over these facts, so it checks the program's.
#pragma once

namespace myrl {

constexpr int kPointCount = 256;              // points measured per sweep
constexpr int kReplyChars = 2 * kPointCount;  // two hexadecimal characters a point
constexpr double kWordsPerClock = 67108864.0; // 2^26: generator Hz = word * clock / 2^26
constexpr double kFrexMultiplier = 32.0;      // FREX output = 32 * generator - offset

// The FREX offset for a reference frequency, Hz: reference * 256 / 11, in that order.
constexpr double FrexOffsetFor(double frexRefHz) {
    return frexRefHz * 256 / 11;
}

// The instrument constants a missing parameter file stands for.
constexpr double kDefaultGenClock = 67108864.0;
constexpr double kDefaultFrexRef = 12800000.0;

} // namespace myrl
