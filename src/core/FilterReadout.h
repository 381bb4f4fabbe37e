// Readouts of a filter's response from the measured trace: the peak, the -N dB edges and
// bandwidth, centre, Q, the shape factor and the minimum, over the whole trace or the
// points between two frequencies; and the marker column that shows a given frequency.
// Levels are interpolated linearly (in dB) between neighbouring points.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace myrl {

// One crossing of a level: found between two points, or off one end of the range.
struct Edge {
    bool Found = false;
    double Hz = 0; // the interpolated frequency when Found
};

// The readout of points [First, Last] of a trace.
struct FilterReadout {
    bool Valid = false; // false: fewer than two points in the range
    int First = 0, Last = 0;
    double PeakDb = 0;
    double PeakHz = 0; // the middle of a flat top of neighbouring equal points
    int PeakIndex = 0; // the first point of the peak
    double MinDb = 0, MinHz = 0;
    double DownDb = 3; // N of the -N dB edges
    Edge Lower, Upper; // the -N dB edges either side of the peak
    // Both edges found: Upper - Lower, their geometric mean (the arithmetic one when the
    // lower edge is at or below 0 Hz) and centre / bandwidth.
    std::optional<double> BandwidthHz, CentreHz, Q;
    // Bandwidth at -60 dB over the bandwidth at -6 dB, when all four edges lie in the range.
    std::optional<double> ShapeFactor;
};

// The level `downDb` below the peak, searched outwards from the peak: the first pair of
// neighbouring points one of which lies above it and the next one at or below it gives the
// edge, interpolated linearly between them. `freq` and `level` have the same length;
// [first, last] is limited to it. A downDb not above 0 is taken as 3.
FilterReadout ReadFilter(std::span<const double> freq, std::span<const double> level, int first,
                         int last, double downDb = 3);

// The -N dB edge below (lower) or above the peak alone, for a marker action.
Edge FindEdge(std::span<const double> freq, std::span<const double> level, int first, int last,
              int peak, double levelDb, bool lower);

// The points whose frequency lies in [lo, hi] (either order) of a rising axis of `count`
// points: the first and last index, or nothing when fewer than two lie there.
std::optional<std::pair<int, int>> PointsBetween(std::span<const double> freq, double lo,
                                                 double hi);

// The marker column showing frequency `hz` on a chart of `width` columns spanning
// [xmin, xmax]: the inverse of the readout's column -> frequency mapping, rounded and
// limited to 0..width-1.
int32_t MarkerColumnFor(double hz, double xmin, double xmax, int width);

} // namespace myrl
