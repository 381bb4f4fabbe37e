#include "SweepProc.h"

#include "Command.h"
#include "Presentation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {

// ring[0] + ... + ring[count - 1], four slots at a time (the readings are 0..255: no
// overflow, and integer sums in any order are the same).
int32_t sumOfFirst(const std::array<int32_t, kRingDepth>& ring, int32_t count) {
    typedef int32_t Quad __attribute__((vector_size(4 * sizeof(int32_t))));
    Quad quads = {0, 0, 0, 0};
    int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        Quad q;
        std::memcpy(&q, &ring[static_cast<size_t>(k)], sizeof q);
        quads += q;
    }
    int32_t sum = quads[0] + quads[1] + quads[2] + quads[3];
    for (; k < count; ++k) {
        sum += ring[static_cast<size_t>(k)];
    }
    return sum;
}

// CalInterp for the interval whose lower entry j is the last of 0..255 below x.
double calInterp(const MeasState& s, int j, double x) {
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

} // namespace

double CalLookup(const MeasState& s, double x) {
    int j = 255;
    while (j >= 0 && !(s.CalFreq[static_cast<size_t>(j)] < x)) {
        --j;
    }
    return calInterp(s, j, x);
}

bool CalAxisRises(const MeasState& s) {
    for (size_t i = 0; i < 255; ++i) {
        if (!(s.CalFreq[i] <= s.CalFreq[i + 1])) {
            return false;
        }
    }
    return true;
}

double CalLookupRising(const MeasState& s, double x) {
    // On an axis that never falls the entries below x are a leading run (none for x NaN):
    // its last one is the entry the downward scan stops at.
    const auto first = s.CalFreq.begin();
    const auto end = std::lower_bound(first, first + 256, x);
    return calInterp(s, static_cast<int>(end - first) - 1, x);
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
        const int32_t sum = sumOfFirst(ring, count);
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
        const bool rises = CalAxisRises(s);
        for (size_t i = 0; i <= last; ++i) {
            s.CalInterp = rises ? CalLookupRising(s, s.FreqAxis[i]) : CalLookup(s, s.FreqAxis[i]);
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
