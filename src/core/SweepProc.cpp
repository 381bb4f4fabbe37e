#include "SweepProc.h"

#include "Command.h"
#include "Presentation.h"

#include <algorithm>
#include <cmath>

namespace myrl {

void AvrReset(MeasState& s) {
    s.AvrCount = 1;
    s.AvrSlot = 0;
    s.AvrNextCount = 1;
    s.AvrNextSlot = 0;
    ++s.AvrResets;
}

std::string AvrStatusText(const AvrStatus& status) {
    return "Averaging   " + std::to_string(status.Count) + " / " + std::to_string(status.Num);
}

double CalLookup(const MeasState& s, double x) {
    int j = 255;
    while (j >= 0 && !(s.CalFreq[static_cast<size_t>(j)] < x)) {
        --j;
    }
    if (j <= 0) {
        return s.CalLevel[0];
    }
    if (j >= 255) {
        return s.CalLevel[255];
    }
    // CalFreq[lo] < x <= CalFreq[lo + 1]: the interval rises, its width is never 0.
    auto lo = static_cast<size_t>(j);
    const double df = s.CalFreq[lo + 1] - s.CalFreq[lo];
    return s.CalLevel[lo] + (x - s.CalFreq[lo]) * (s.CalLevel[lo + 1] - s.CalLevel[lo]) / df;
}

double SwrFromLevel(double levelDb) {
    double f = std::pow(10.0, levelDb / 20);
    if (!(f < 0.99)) {
        f = 0.99;
    }
    return (1 + f) / (1 - f);
}

AvrStatus ProcessReply(MeasState& s, std::string_view mode, bool swr) {
    const int32_t avrNum = std::clamp(s.AvrNum, 1, kRingDepth);
    // Counters can only leave their ranges through a state never reset; keep the ring safe.
    const int32_t count = std::clamp(s.AvrCount, 1, avrNum);
    const int32_t slot = std::clamp(s.AvrSlot, 0, kRingDepth - 1);
    const int32_t n = std::clamp(s.PointNum, 0, kPointCount);
    const AvrStatus status{count, avrNum};

    for (int32_t i = 0; i < n; ++i) {
        auto p = static_cast<size_t>(i);
        auto& ring = s.SampleRing[p];
        ring[static_cast<size_t>(slot)] = DecodeReading(s.ReplyText, i);
        int32_t sum = 0;
        for (int32_t k = 0; k < count; ++k) {
            sum += ring[static_cast<size_t>(k)];
        }
        s.SampleSum[p] = sum;
        s.RawLevel[p] =
            (100.0 / s.LevelScale) * static_cast<double>(sum) / count - 87 + s.LevelOffset;
    }

    s.AvrCount = s.AvrNextCount;
    s.AvrNextCount = s.AvrCount + 1;
    if (!(s.AvrNextCount < avrNum)) {
        s.AvrNextCount = avrNum;
    }
    s.AvrSlot = s.AvrNextSlot;
    s.AvrNextSlot = s.AvrSlot + 1;
    if (!(s.AvrNextSlot < avrNum)) {
        s.AvrNextSlot = 0;
    }

    const auto last = static_cast<size_t>(n);
    if (mode == "THRU") {
        for (size_t i = 0; i <= last; ++i) {
            s.NormLevel[i] = s.RawLevel[i];
        }
    }
    if (mode == "CAL") {
        for (size_t i = 0; i <= last; ++i) {
            s.CalLevel[i] = s.RawLevel[i];
            s.NormLevel[i] = s.RawLevel[i];
            s.CalFreq[i] = s.FreqAxis[i];
        }
        s.CalZeroSpan = s.ZeroSpan;
    }
    if (mode == "NORM") {
        for (size_t i = 0; i <= last; ++i) {
            s.CalInterp = CalLookup(s, s.FreqAxis[i]);
            s.NormLevel[i] = s.RawLevel[i] - s.CalInterp;
        }
    }
    for (size_t i = 0; i <= last; ++i) {
        s.SwrTrace[i] = SwrFromLevel(s.NormLevel[i]);
    }
    FillDispTrace(s, swr);
    return status;
}

} // namespace myrl
