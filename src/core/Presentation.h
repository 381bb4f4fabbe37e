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

// The presentation for the SWR box, the reference position (item index of the REF list)
// and the state's RefPosBias. The level scale spans ten divisions of 10 dB with the
// reference level on the refPos-th grid line from the top; the SWR scale runs from 1 to 10
// and keeps the chart's grid count `yGridNum` (the logarithmic grid does not use it).
Presentation ChoosePresentation(bool swr, int refPos, double refPosBias, int32_t yGridNum);

// Refills DispTrace for entries 0..PointNum: NormLevel - RefLevel, or SwrTrace with `swr`.
void FillDispTrace(MeasState& s, bool swr);

} // namespace myrl
