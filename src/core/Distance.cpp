#include "Distance.h"

namespace myrl {

double OneWayDistanceM(double roundTripSeconds, double vf) {
    return roundTripSeconds * kLightMps * vf / 2;
}

double MetresToFeet(double metres) {
    return metres / kMetresPerFoot;
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
