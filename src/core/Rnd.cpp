#include "Rnd.h"

#include <cmath>
#include <limits>

namespace myrl {

namespace {

int32_t wrap32(double integral) {
    if (std::isnan(integral) || std::isinf(integral)) {
        return 0;
    }
    // fmod keeps the value exact; beyond 2^63 the low 32 bits of a double are all zero anyway.
    double m = std::fmod(integral, 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    auto u = static_cast<uint32_t>(m);
    return static_cast<int32_t>(u);
}

} // namespace

double RoundHalfEven(double x) {
    if (!std::isfinite(x)) {
        return x;
    }
    double f = std::floor(x);
    const double frac = x - f; // exact: below 2^52 x has a fraction, above it none
    if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0)) {
        f += 1;
    }
    return f;
}

int32_t rnd(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    const double r = RoundHalfEven(x);
    if (r >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (r <= -2147483648.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(r);
}

int64_t rnd64(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    constexpr double kTwo63 = 9223372036854775808.0;
    const double r = RoundHalfEven(x);
    if (r >= kTwo63) {
        return std::numeric_limits<int64_t>::max();
    }
    if (r < -kTwo63) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(r);
}

int32_t floorInt(double x) {
    return wrap32(std::floor(x));
}

int32_t ceilInt(double x) {
    return wrap32(std::ceil(x));
}

int32_t nearestInt(double x) {
    return wrap32(RoundHalfEven(x));
}

} // namespace myrl
