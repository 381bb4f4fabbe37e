// Searches along a trace for the marker functions: the peaks of a trace and the next one
// down from where a marker stands, and the first crossing of a level to either side of a
// frequency. The trace is given by its points (frequency rising, value in the chart's unit);
// callers pass the points a data file holds (0 .. SweepSteps), never those beyond STOP.
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace myrl {

// A peak: a point, or a run of neighbouring points of equal value (a flat top), higher than
// the points on both sides of it; the range's end points are no peaks.
struct TracePeak {
    int First = 0, Last = 0; // the points of its top
    double Hz = 0;           // the middle of its top
    double Value = 0;
    bool operator==(const TracePeak&) const = default;
};

// The peaks among points [first, last] that rise at least `excursion` above the lowest
// point between them and the next point at least as high on each side (or the range's
// end), in the order of the trace.
std::vector<TracePeak> FindPeaks(std::span<const double> freq, std::span<const double> value,
                                 int first, int last, double excursion);

// The next peak down from a marker at `markerHz`: the highest of `peaks` below the peak
// the marker stands on (its top holds the point nearest the marker), or below the trace's
// value at the marker when it stands on none; among peaks of equal value the next one to the
// right. Nothing when there is no lower peak.
std::optional<TracePeak> NextPeakDown(const std::vector<TracePeak>& peaks,
                                      std::span<const double> freq, std::span<const double> value,
                                      double markerHz);

// The trace's value at `hz`, interpolated linearly between the two points around it; the
// end points' values outside the trace. Nothing for an empty trace.
std::optional<double> TraceAt(std::span<const double> freq, std::span<const double> value,
                              double hz);

// The first frequency beyond `fromHz` (above it with `right`, below it otherwise) where the
// trace, straight between its points, crosses `level`: goes from below it to at or above it,
// or back. Nothing when it does not cross there.
std::optional<double> CrossingFrom(std::span<const double> freq, std::span<const double> value,
                                   double fromHz, double level, bool right);

} // namespace myrl
