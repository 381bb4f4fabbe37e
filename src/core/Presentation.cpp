#include "Presentation.h"

#include <algorithm>

namespace myrl {

Presentation ChoosePresentation(bool swr, int refPos, double refPosBias, int32_t yGridNum) {
    Presentation p;
    if (!swr) {
        p.Title = "FREQUENCY RESPONSE";
        p.Hdiv = "10dB/div";
        p.RefLabel = true;
        p.logY = false;
        p.YGridNum = 10;
        p.RefYEn = true;
        p.Ymax = (refPos + refPosBias) * 10;
        p.Ymin = p.Ymax - p.YGridNum * 10;
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
    return p;
}

void FillDispTrace(MeasState& s, bool swr) {
    const int last = std::min(s.PointNum, kArrayLen - 1);
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<size_t>(i);
        s.DispTrace[k] = swr ? s.SwrTrace[k] : s.NormLevel[k] - s.RefLevel;
    }
}

} // namespace myrl
