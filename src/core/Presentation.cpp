#include "Presentation.h"

#include "SweepProc.h"

#include <algorithm>
#include <string>

namespace myrl {

int ValidDbPerDiv(int dbPerDiv) {
    for (int c : kDbPerDivChoices) {
        if (c == dbPerDiv) {
            return c;
        }
    }
    return kDefaultDbPerDiv;
}

Presentation ChoosePresentation(bool swr, int refPos, double refPosBias, int32_t yGridNum,
                                int dbPerDiv, int32_t memMode) {
    Presentation p;
    if (!swr) {
        const int step = ValidDbPerDiv(dbPerDiv);
        p.Title = "FREQUENCY RESPONSE";
        p.Hdiv = std::to_string(step) + "dB/div";
        p.RefLabel = true;
        p.logY = false;
        p.YGridNum = 10;
        p.RefYEn = true;
        p.Ymax = (refPos + refPosBias) * step;
        p.Ymin = p.Ymax - p.YGridNum * step;
    } else {
        p.Title = "                  SWR";
        p.Hdiv = "  ";
        p.SwrLabels = true;
        p.logY = true;
        p.YGridNum = yGridNum;
        p.RefYEn = false;
        p.Ymax = 10.0;
        p.Ymin = 1.0;
    }
    if (memMode == kMemSubtracted) {
        // Centred over the chart as the chart's own titles are.
        p.Title = swr ? "SWR OF TRACE − MEMORY" : "      TRACE − MEMORY";
    }
    return p;
}

void FillDispTrace(MeasState& s, bool swr) {
    const int last = std::min(s.PointNum, kArrayLen - 1);
    if (s.MemMode == kMemOff) {
        for (int i = 0; i <= last; ++i) {
            const auto k = static_cast<size_t>(i);
            s.DispTrace[k] = swr ? s.SwrTrace[k] : s.NormLevel[k] - s.RefLevel;
        }
        return;
    }
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<size_t>(i);
        const double mem = MemoryAt(s, s.FreqAxis[k]);
        if (s.MemMode == kMemSubtracted) {
            const double diff = s.NormLevel[k] - mem;
            s.DispTrace[k] = swr ? SwrFromLevel(diff) : diff - s.RefLevel;
        } else {
            s.DispTrace[k] = swr ? s.SwrTrace[k] : s.NormLevel[k] - s.RefLevel;
            s.MemTrace[k] = swr ? SwrFromLevel(mem) : mem - s.RefLevel;
        }
    }
}

double MemoryAt(const MeasState& s, double x) {
    const int n = std::clamp(s.MemPoints, 0, kArrayLen);
    if (n == 0) {
        return 0;
    }
    const auto last = static_cast<size_t>(n - 1);
    if (!(x > s.MemFreq[0])) {
        return s.MemLevel[0];
    }
    if (!(x < s.MemFreq[last])) {
        return s.MemLevel[last];
    }
    // The last entry below x; its successor is at or above x and lies higher.
    size_t j = last;
    while (j > 0 && !(s.MemFreq[j] < x)) {
        --j;
    }
    const double df = s.MemFreq[j + 1] - s.MemFreq[j];
    return s.MemLevel[j] + (x - s.MemFreq[j]) * (s.MemLevel[j + 1] - s.MemLevel[j]) / df;
}

PointRange MemoryPoints(const MeasState& s) {
    const int n = std::clamp(s.MemPoints, 0, kArrayLen);
    if (n < 2) {
        return {};
    }
    const double low = s.MemFreq[0];
    const double high = s.MemFreq[static_cast<size_t>(n - 1)];
    PointRange r;
    const int points = std::clamp(s.PointNum, 0, kArrayLen);
    for (int i = 0; i < points; ++i) {
        const double f = s.FreqAxis[static_cast<size_t>(i)];
        if (f >= low && f <= high) {
            if (r.Count == 0) {
                r.First = i;
            }
            r.Count = i - r.First + 1;
        }
    }
    return r;
}

} // namespace myrl
