// How the response chart Graph1 presents the measurement: the level relative to the
// reference level on a linear dB scale, or the standing-wave ratio on a logarithmic one.
// The one rule for the trace and the scale; the display window only applies it.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <string>

namespace myrl {

// Graph1's scale and the captions around it for one presentation.
struct Presentation {
    std::string Title;      // the chart's title label
    std::string Hdiv;       // the vertical scale caption
    bool RefLabel = false;  // the reference level label beside the reference line is shown
    bool SwrLabels = false; // the SWR scale's end labels are shown
    bool logY = false;
    int32_t YGridNum = 0;
    bool RefYEn = false;
    double Ymin = 0;
    double Ymax = 0;
    bool operator==(const Presentation&) const = default;
};

// The level scales offered, in dB per division; kDefaultDbPerDiv is the one every run
// starts with.
constexpr int kDbPerDivChoices[] = {1, 2, 5, 10};
constexpr int kDefaultDbPerDiv = 10;
// `dbPerDiv` when it is one of kDbPerDivChoices, else kDefaultDbPerDiv.
int ValidDbPerDiv(int dbPerDiv);

// The presentation for the SWR box, the reference position (item index of the REF list)
// and the state's RefPosBias. The level scale spans ten divisions of `dbPerDiv` dB (a
// value not among kDbPerDivChoices counts as kDefaultDbPerDiv) with the reference level
// on the refPos-th grid line from the top, whatever the scale; the SWR scale runs from 1
// to 10 and keeps the chart's grid count `yGridNum` (the logarithmic grid does not use it).
// While the trace memory is subtracted (`memMode` kMemSubtracted) the title says so:
// "TRACE − MEMORY"; otherwise it is the chart's own.
Presentation ChoosePresentation(bool swr, int refPos, double refPosBias, int32_t yGridNum,
                                int dbPerDiv = kDefaultDbPerDiv, int32_t memMode = kMemOff);

// Refills DispTrace for entries 0..PointNum: NormLevel - RefLevel, or SwrTrace with `swr`.
// With the trace memory shown it also fills MemTrace (memory - RefLevel, or its SWR);
// with the memory subtracted DispTrace holds NormLevel - memory - RefLevel (or the SWR of
// NormLevel - memory). Off, DispTrace is exactly as without a memory.
void FillDispTrace(MeasState& s, bool swr);

// The memory's level at x: interpolated linearly over MemFreq / MemLevel (entries
// 0..MemPoints-1), the end entries held flat outside; 0 without a memory.
double MemoryAt(const MeasState& s, double x);

// The points First..Last of FreqAxis (0..PointNum-1) that lie within the memory's own
// frequencies, where the shown memory is drawn: a memory of another plan is drawn only
// where it has points. Count 0 when none does, or without a memory.
struct PointRange {
    int32_t First = 0;
    int32_t Count = 0;
    bool operator==(const PointRange&) const = default;
};
PointRange MemoryPoints(const MeasState& s);

} // namespace myrl
