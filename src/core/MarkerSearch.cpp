#include "MarkerSearch.h"

#include <algorithm>
#include <cmath>

namespace myrl {

std::vector<TracePeak> FindPeaks(std::span<const double> freq, std::span<const double> value,
                                 int first, int last, double excursion) {
    const int n = static_cast<int>(std::min(freq.size(), value.size()));
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    std::vector<TracePeak> peaks;
    auto at = [&](int i) { return value[static_cast<size_t>(i)]; };
    for (int i = first + 1; i < last; ++i) {
        if (!(at(i) > at(i - 1))) {
            continue;
        }
        int top = i;
        while (top < last && at(top + 1) == at(i)) {
            ++top;
        }
        if (top == last || !(at(top + 1) < at(i))) {
            i = top;
            continue;
        }
        // How far it rises above each side before a point at least as high (or the end).
        const double v = at(i);
        double leftLow = v;
        for (int k = i - 1; k >= first && at(k) < v; --k) {
            leftLow = std::min(leftLow, at(k));
        }
        double rightLow = v;
        for (int k = top + 1; k <= last && at(k) < v; ++k) {
            rightLow = std::min(rightLow, at(k));
        }
        if (v - leftLow >= excursion && v - rightLow >= excursion) {
            peaks.push_back(
                {i, top, (freq[static_cast<size_t>(i)] + freq[static_cast<size_t>(top)]) / 2, v});
        }
        i = top;
    }
    return peaks;
}

std::optional<double> TraceAt(std::span<const double> freq, std::span<const double> value,
                              double hz) {
    const size_t n = std::min(freq.size(), value.size());
    if (n == 0) {
        return std::nullopt;
    }
    if (!(hz > freq[0])) {
        return value[0];
    }
    for (size_t j = 0; j + 1 < n; ++j) {
        if (hz <= freq[j + 1]) {
            const double df = freq[j + 1] - freq[j];
            if (!(df > 0)) {
                return value[j + 1];
            }
            return value[j] + (hz - freq[j]) * (value[j + 1] - value[j]) / df;
        }
    }
    return value[n - 1];
}

std::optional<TracePeak> NextPeakDown(const std::vector<TracePeak>& peaks,
                                      std::span<const double> freq, std::span<const double> value,
                                      double markerHz) {
    const size_t n = std::min(freq.size(), value.size());
    if (n == 0) {
        return std::nullopt;
    }
    // The point nearest the marker, and the peak whose top holds it.
    size_t near = 0;
    for (size_t i = 1; i < n; ++i) {
        if (std::fabs(freq[i] - markerHz) < std::fabs(freq[near] - markerHz)) {
            near = i;
        }
    }
    double keyValue = TraceAt(freq, value, markerHz).value_or(value[near]);
    double keyHz = markerHz;
    for (const TracePeak& p : peaks) {
        if (static_cast<int>(near) >= p.First && static_cast<int>(near) <= p.Last) {
            keyValue = p.Value;
            keyHz = p.Hz;
        }
    }
    // In the order highest first, left first among equals: the first after the key.
    std::optional<TracePeak> best;
    auto before = [](const TracePeak& a, const TracePeak& b) {
        return a.Value > b.Value || (a.Value == b.Value && a.Hz < b.Hz);
    };
    for (const TracePeak& p : peaks) {
        const bool after = p.Value < keyValue || (p.Value == keyValue && p.Hz > keyHz);
        if (after && (!best || before(p, *best))) {
            best = p;
        }
    }
    return best;
}

std::optional<double> CrossingFrom(std::span<const double> freq, std::span<const double> value,
                                   double fromHz, double level, bool right) {
    const size_t n = std::min(freq.size(), value.size());
    if (n < 2) {
        return std::nullopt;
    }
    auto crossing = [&](size_t a) -> std::optional<double> {
        const double va = value[a];
        const double vb = value[a + 1];
        if ((va < level) == (vb < level)) {
            return std::nullopt;
        }
        return freq[a] + (level - va) / (vb - va) * (freq[a + 1] - freq[a]);
    };
    if (right) {
        for (size_t j = 0; j + 1 < n; ++j) {
            if (freq[j + 1] > fromHz) {
                if (const auto hz = crossing(j); hz && *hz > fromHz) {
                    return hz;
                }
            }
        }
    } else {
        for (size_t j = n - 1; j-- > 0;) {
            if (freq[j] < fromHz) {
                if (const auto hz = crossing(j); hz && *hz < fromHz) {
                    return hz;
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace myrl
