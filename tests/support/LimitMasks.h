// Limit lines for the simulator's band-pass model, shared by the tests of the instrument,
// of myrl measure and of the windows: the version-1 sample mask, where the model itself
// comes closest to it, and a limit that a trace crosses only between two of its points.
#pragma once

#include "DeviceModels.h"
#include "LimitLines.h"
#include "TestData.h"

#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>

namespace myrl {

// The sample mask of tests/data: the band-pass model (10.7 MHz, 100 kHz) swept CENTER/SPAN
// 10.7 MHz / 400 kHz passes it.
inline LimitSet BandpassMask() {
    return ReadLimitFile(TestDataPath("limits-v1.myrllim"));
}

// The worst margin of the model's own continuous response against `set` and its frequency:
// every segment that is on, looked at every hertz (levels in dB).
inline std::pair<double, double> ModelWorstMargin(const LimitSet& set,
                                                  const sim::DeviceConfig& device) {
    double worst = std::numeric_limits<double>::infinity();
    double at = 0;
    for (const LimitSegment& s : set.Segments) {
        if (!s.On) {
            continue;
        }
        for (double f = std::min(s.F1, s.F2); f <= std::max(s.F1, s.F2); f += 1) {
            const double level = sim::DeviceDb(device, f);
            const double margin = s.Upper ? LimitAt(s, f) - level : level - LimitAt(s, f);
            if (margin < worst) {
                worst = margin;
                at = f;
            }
        }
    }
    return {worst, at};
}

// A lower limit that the trace crosses between two neighbouring points only: from 30 % to
// 70 % of the way between the first two points (from `first` on) whose levels differ by
// `step` dB or more and rise, at the level halfway between them. The trace interpolated at
// its left end lies below it, at its right end above; no point lies within it.
inline std::optional<LimitSet> CrossedBetweenPoints(std::span<const double> freq,
                                                    std::span<const double> level, size_t first = 0,
                                                    double step = 0.3) {
    for (size_t i = first; i + 1 < std::min(freq.size(), level.size()); ++i) {
        if (level[i + 1] - level[i] >= step) {
            const double h = freq[i + 1] - freq[i];
            const double mid = (level[i] + level[i + 1]) / 2;
            return LimitSet{LimitView::Level,
                            {{false, freq[i] + 0.3 * h, mid, freq[i] + 0.7 * h, mid, true}}};
        }
    }
    return std::nullopt;
}

} // namespace myrl
