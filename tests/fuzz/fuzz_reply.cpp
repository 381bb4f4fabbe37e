// Reply decoding and processing: what a sweep step does with the characters of up to four
// completed sweeps. The front of the input is the line (the replies, one after the other);
// the settings of each sweep are taken from the back: mode, SWR box, a change of the
// averaging setting (with its averaging restart), of the frequency plan or of the level
// offset, and how many characters the sweep's text holds (512 and up to 513 more, as
// the reads of one sweep can bring; less only when the input runs out).
//
// Properties: the averaging counters stay in their ranges (AvrNum in 1..64: AvrCount
// 1..AvrNum, AvrSlot 0..AvrNum-1; any other AvrNum counts as the nearest of 1 and 64),
// every reading decodes to its two hexadecimal digits or 0, levels stay within the
// reading scale, the SWR within 1..199, and the mode's tables are filled as named.
#include "Command.h"
#include "FreqPlan.h"
#include "FuzzSupport.h"
#include "Plans.h"
#include "SweepProc.h"

#include <algorithm>
#include <cctype>
#include <fuzzer/FuzzedDataProvider.h>

using namespace myrl;

namespace {

// Reading i of a reply: its two characters as a hexadecimal byte, or 0.
int32_t Expected(const std::string& reply, int i) {
    const auto pos = static_cast<size_t>(2 * i);
    if (pos + 2 > reply.size()) {
        return 0;
    }
    const unsigned char hi = reply[pos], lo = reply[pos + 1];
    if (!std::isxdigit(hi) || !std::isxdigit(lo)) {
        return 0;
    }
    return static_cast<int32_t>(std::stoi(reply.substr(pos, 2), nullptr, 16));
}

void CheckCounters(const MeasState& s) {
    const int32_t num = std::clamp(s.AvrNum, 1, kRingDepth);
    FUZZ_CHECK(s.AvrCount >= 1 && s.AvrCount <= num);
    FUZZ_CHECK(s.AvrNextCount >= 1 && s.AvrNextCount <= num);
    FUZZ_CHECK(s.AvrSlot >= 0 && s.AvrSlot < num);
    FUZZ_CHECK(s.AvrNextSlot >= 0 && s.AvrNextSlot < num);
}

void Sweep(MeasState& s, FuzzedDataProvider& in) {
    const auto ctrl = in.ConsumeIntegral<uint8_t>();
    if (ctrl & 0x80) { // the averaging list changed
        s.AvrNum = in.ConsumeIntegral<int8_t>();
        AvrReset(s);
    }
    if (ctrl & 0x40) { // a new plan (and FREX), taken when the reply completes
        s.GenClock = in.ConsumeIntegral<int32_t>();
        s.FrexRef = in.ConsumeIntegral<int32_t>();
        ApplyStartupValues(s);
        s.StartFreq = in.ConsumeIntegral<int32_t>();
        s.StopFreq = in.ConsumeIntegral<int32_t>();
        s.ZeroSpan = in.ConsumeBool();
        const bool frex = in.ConsumeBool();
        CalcSweepWords(s, frex);
        CalcFreqAxis(s, frex);
    }
    if (ctrl & 0x20) {
        s.LevelOffset = in.ConsumeIntegral<int16_t>() / 16.0;
        s.RefLevel = in.ConsumeIntegral<int8_t>();
    }
    static const char* const kModes[] = {"THRU", "CAL", "NORM", "thru"};
    const char* mode = kModes[ctrl & 3];
    const bool swr = (ctrl & 4) != 0;
    const size_t len = 2 * kPointCount + in.ConsumeIntegralInRange<size_t>(0, 2 * kPointCount + 1);
    s.ReplyText = in.ConsumeBytesAsString(len);
    s.RxCount = static_cast<int32_t>(s.ReplyText.size());

    // What the checks compare with: the counters and the tables the sweep may change.
    const int32_t avrNum = s.AvrNum, avrCount = s.AvrCount;
    const auto slot = static_cast<size_t>(s.AvrSlot);
    const double rawLast = s.RawLevel[kPointCount];
    static PointArray normBefore;
    normBefore = s.NormLevel;

    const AvrStatus status = ProcessReply(s, mode, swr);
    const int32_t num = std::clamp(avrNum, 1, kRingDepth);
    FUZZ_CHECK(status.Num == num);
    FUZZ_CHECK(status.Count == avrCount); // the numbers this sweep is averaged with
    CheckCounters(s);

    const double lo = -87 + s.LevelOffset, hi = 12.609375 + s.LevelOffset;
    for (int i = 0; i < kPointCount; ++i) {
        const auto p = static_cast<size_t>(i);
        FUZZ_CHECK(s.SampleRing[p][slot] == Expected(s.ReplyText, i));
        FUZZ_CHECK(s.RawLevel[p] >= lo - 1e-9 && s.RawLevel[p] <= hi + 1e-9);
    }
    FUZZ_CHECK(fuzz::SameBits(s.RawLevel[kPointCount], rawLast));
    for (size_t i = 0; i < kArrayLen; ++i) {
        FUZZ_CHECK(s.SwrTrace[i] >= 1 && s.SwrTrace[i] <= 199);
        if (std::string_view(mode) == "THRU" || std::string_view(mode) == "CAL") {
            FUZZ_CHECK(fuzz::SameBits(s.NormLevel[i], s.RawLevel[i]));
        }
        if (std::string_view(mode) == "CAL") {
            FUZZ_CHECK(fuzz::SameBits(s.CalLevel[i], s.RawLevel[i]));
            FUZZ_CHECK(fuzz::SameBits(s.CalFreq[i], s.FreqAxis[i]));
        }
        if (std::string_view(mode) == "thru") {
            FUZZ_CHECK(fuzz::SameBits(s.NormLevel[i], normBefore[i]));
        }
        FUZZ_CHECK(
            fuzz::SameBits(s.DispTrace[i], swr ? s.SwrTrace[i] : s.NormLevel[i] - s.RefLevel));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // The state every input starts from: the default plan, averaging over 4 sweeps.
    static const MeasState fresh = [] {
        MeasState f;
        SetPlan(f);
        f.AvrNum = 4;
        AvrReset(f);
        return f;
    }();
    static MeasState s;
    s = fresh;
    for (int sweep = 0; sweep < 4 && in.remaining_bytes() > 0; ++sweep) {
        Sweep(s, in);
    }
    return 0;
}
