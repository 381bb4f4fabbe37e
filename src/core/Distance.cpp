#include "Distance.h"

#include "Format.h"

#include <algorithm>
#include <cmath>

namespace myrl {

double OneWayDistanceM(double roundTripSeconds, double vf) {
    return roundTripSeconds * kLightMps * vf / 2;
}

double MetresToFeet(double metres) {
    return metres / kMetresPerFoot;
}

std::string DelayText(double seconds, char decimalSep) {
    struct Unit {
        double scale;
        const char* name;
    };
    static constexpr Unit units[] = {{1e-9, "ns"}, {1e-6, "µs"}, {1e-3, "ms"}, {1, "s"}};
    const double a = std::fabs(seconds);
    const Unit* u = &units[0];
    for (const Unit& next : units) {
        // The largest unit the delay is at least one of, once rounded to four digits.
        if (a >= next.scale * (1 - 0.5e-4)) {
            u = &next;
        }
    }
    const double v = seconds / u->scale;
    const int digitsBefore =
        std::fabs(v) < 1 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1;
    const int decimals = std::clamp(4 - digitsBefore, 0, 3);
    return FormatFixed(v, 0, decimals, decimalSep) + " " + u->name;
}

std::optional<double> HighestPeakBin(std::span<const double> y) {
    const size_t n = y.size();
    if (n < 3) {
        return std::nullopt;
    }
    size_t k = 1;
    while (k < n && !(y[k] > y[k - 1])) {
        ++k;
    }
    if (k >= n) {
        return std::nullopt;
    }
    size_t best = k;
    for (size_t i = k; i < n; ++i) {
        if (y[i] > y[best]) {
            best = i;
        }
    }
    if (best + 1 >= n) {
        return static_cast<double>(best);
    }
    const double a = y[best - 1];
    const double b = y[best];
    const double c = y[best + 1];
    const double den = a - 2 * b + c;
    const double shift = den < 0 ? 0.5 * (a - c) / den : 0.0;
    return static_cast<double>(best) + shift;
}

} // namespace myrl
