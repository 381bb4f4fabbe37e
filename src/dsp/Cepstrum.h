// The cepstrum step: the magnitude spectrum of the measured level curve (dB over
// frequency) against delay, as the delay view plots it. Runs on the user-interface
// thread once per completed sweep; touches no widget, the caller applies the result.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace myrl {

constexpr int32_t kCepstrumFftSize = 4096;                    // transform length
constexpr int32_t kCepstrumPlotPoints = kCepstrumFftSize / 4; // bins 0..1023 are drawn

// What the delay plot and its scale label receive. The plot's Ymin is not part of it:
// the plot keeps its own (-1).
struct CepstrumView {
    double Xmin = 0;       // always 0
    double Xmax = 0;       // delay of bin 1024: 1 / (4 * point spacing), seconds
    double Ymax = 0;       // Peak / 0.9
    double Peak = 0;       // largest magnitude over all 4096 bins, drawn or not
    std::vector<double> X; // kCepstrumPlotPoints delays, bin k at k * dt
    std::vector<double> Y; // kCepstrumPlotPoints magnitudes, same bins
    std::string DelayDiv;  // "6.250E-5 sec/div": Xmax / xGridNum, 4 digits
};

// Computes the cepstrum of s.NormLevel[0 .. s.PointNum-1] (always the dB levels; the
// SWR setting plays no part): the mean is removed, the record is transformed with the
// "Gabor4" window into kCepstrumFftSize bins, and each bin's magnitude is paired with
// its delay k / ((FreqAxis[1] - FreqAxis[0]) * kCepstrumFftSize). Sets s.FftSize to
// kCepstrumFftSize; nothing else in `s` changes. `xGridNum` is the delay plot's number
// of x divisions (10; below 1 counts as 1), `decimalSep` the locale's decimal separator for
// DelayDiv.
//
// Returns nothing, and leaves `s` untouched, when the point spacing is zero (a frequency
// plan with a zero step outside zero span) or so small that the delay of a bin, any of
// the kCepstrumFftSize, is not a finite number, or when PointNum is not a valid point
// count: the caller then leaves the plot and DelayDiv as they were.
std::optional<CepstrumView> CepstrumStep(MeasState& s, int32_t xGridNum, char decimalSep = '.');

} // namespace myrl
