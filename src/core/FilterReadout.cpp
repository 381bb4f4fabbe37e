#include "FilterReadout.h"

#include "Rnd.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace myrl {

namespace {

// Frequency where the level crosses `target` between points a and b (level[a] above it,
// level[b] at or below it).
double crossing(std::span<const double> freq, std::span<const double> level, size_t a, size_t b,
                double target) {
    const double la = level[a];
    const double lb = level[b];
    if (la == lb) {
        return freq[b];
    }
    return freq[a] + (target - la) / (lb - la) * (freq[b] - freq[a]);
}

} // namespace

Edge FindEdge(std::span<const double> freq, std::span<const double> level, int first, int last,
              int peak, double levelDb, bool lower) {
    Edge e;
    const int n = static_cast<int>(std::min(freq.size(), level.size()));
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    if (peak < first || peak > last) {
        return e;
    }
    const int step = lower ? -1 : 1;
    for (int i = peak; i + step >= first && i + step <= last; i += step) {
        const auto a = static_cast<size_t>(i);
        const auto b = static_cast<size_t>(i + step);
        if (level[a] > levelDb && !(level[b] > levelDb)) {
            e.Found = true;
            e.Hz = crossing(freq, level, a, b, levelDb);
            return e;
        }
    }
    return e;
}

FilterReadout ReadFilter(std::span<const double> freq, std::span<const double> level, int first,
                         int last, double downDb) {
    FilterReadout r;
    const int n = static_cast<int>(std::min(freq.size(), level.size()));
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    r.DownDb = downDb > 0 ? downDb : 3;
    if (last - first < 1) {
        return r;
    }
    r.Valid = true;
    r.First = first;
    r.Last = last;
    int peak = first;
    int low = first;
    for (int i = first; i <= last; ++i) {
        const double v = level[static_cast<size_t>(i)];
        if (v > level[static_cast<size_t>(peak)]) {
            peak = i;
        }
        if (v < level[static_cast<size_t>(low)]) {
            low = i;
        }
    }
    // A flat top (neighbouring points reading the same, as a coarse detector gives) peaks
    // in its middle.
    int top = peak;
    while (top < last && level[static_cast<size_t>(top + 1)] == level[static_cast<size_t>(peak)]) {
        ++top;
    }
    r.PeakIndex = peak;
    r.PeakDb = level[static_cast<size_t>(peak)];
    r.PeakHz = (freq[static_cast<size_t>(peak)] + freq[static_cast<size_t>(top)]) / 2;
    r.MinDb = level[static_cast<size_t>(low)];
    r.MinHz = freq[static_cast<size_t>(low)];

    auto edges = [&](double down) {
        const double target = r.PeakDb - down;
        return std::pair{FindEdge(freq, level, first, last, peak, target, true),
                         FindEdge(freq, level, first, last, top, target, false)};
    };
    std::tie(r.Lower, r.Upper) = edges(r.DownDb);
    if (r.Lower.Found && r.Upper.Found) {
        const double bw = r.Upper.Hz - r.Lower.Hz;
        r.BandwidthHz = bw;
        const double centre =
            r.Lower.Hz > 0 ? std::sqrt(r.Lower.Hz * r.Upper.Hz) : (r.Lower.Hz + r.Upper.Hz) / 2;
        r.CentreHz = centre;
        if (bw > 0) {
            r.Q = centre / bw;
        }
    }
    const auto [l6, u6] = edges(6);
    const auto [l60, u60] = edges(60);
    if (l6.Found && u6.Found && l60.Found && u60.Found && u6.Hz > l6.Hz) {
        r.ShapeFactor = (u60.Hz - l60.Hz) / (u6.Hz - l6.Hz);
    }
    return r;
}

std::optional<std::pair<int, int>> PointsBetween(std::span<const double> freq, double lo,
                                                 double hi) {
    if (hi < lo) {
        std::swap(lo, hi);
    }
    int first = -1;
    int last = -1;
    for (size_t i = 0; i < freq.size(); ++i) {
        if (freq[i] >= lo && freq[i] <= hi) {
            if (first < 0) {
                first = static_cast<int>(i);
            }
            last = static_cast<int>(i);
        }
    }
    if (first < 0 || last - first < 1) {
        return std::nullopt;
    }
    return std::pair{first, last};
}

int32_t MarkerColumnFor(double hz, double xmin, double xmax, int width) {
    if (width < 1) {
        return 0;
    }
    const double span = xmax - xmin;
    if (!(span != 0) || !std::isfinite(hz)) {
        return 0;
    }
    const double col = (hz - xmin) / span * (width - 1);
    if (!(col > 0)) {
        return 0;
    }
    if (col >= width - 1) {
        return width - 1;
    }
    return rnd(col);
}

} // namespace myrl
