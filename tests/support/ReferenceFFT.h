// The windowed transform as it was first written, kept as the reference of the faster one:
// its tables computed and its buffers allocated at every call. Same contract as FFT.
#pragma once

#include "FFT.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace myrl {

inline bool ReferenceFFT(std::vector<double>& re, std::vector<double>& im, int32_t m, int32_t n,
                         std::string_view mode) {
    if (n < 1 || m < 0 || n < m || re.size() < static_cast<size_t>(n) ||
        im.size() < static_cast<size_t>(n) || (n & (n - 1)) != 0) {
        return false;
    }
    int32_t stages = 0;
    while ((int32_t{1} << stages) < n) {
        ++stages;
    }
    const auto nn = static_cast<size_t>(n);
    std::vector<double> wr(nn, 0.0), wi(nn, 0.0), cosT(nn), sinT(nn);
    std::vector<int32_t> perm(nn);
    const bool inverse = mode == "Inv";
    for (int32_t i = 0; i < m; ++i) {
        auto k = static_cast<size_t>(i);
        if (inverse) {
            wr[k] = re[k] / n;
            wi[k] = im[k] / n;
        } else {
            const double w = WindowWeight(mode, i, m);
            wr[k] = w * re[k];
            wi[k] = w * im[k];
        }
    }
    const double sign = inverse ? 1.0 : -1.0;
    for (size_t i = 0; i < nn; ++i) {
        const double angle = sign * 2 * static_cast<double>(i) * kPi / n;
        cosT[i] = std::cos(angle);
        sinT[i] = std::sin(angle);
    }
    perm[0] = 0;
    for (int32_t step = 1, half = n / 2, s = 0; s < stages; ++s, step *= 2, half /= 2) {
        for (int32_t j = 0; j < step; ++j) {
            perm[static_cast<size_t>(j + step)] = perm[static_cast<size_t>(j)] + half;
        }
    }
    for (size_t i = 0; i < nn; ++i) {
        re[i] = wr[static_cast<size_t>(perm[i])];
        im[i] = wi[static_cast<size_t>(perm[i])];
    }
    for (int32_t span = n / 2, len = 1, s = 0; s < stages; ++s, span /= 2, len *= 2) {
        for (int32_t g = 0; g < span; ++g) {
            const int32_t base = 2 * g * len;
            for (int32_t k = 0; k < len; ++k) {
                const auto a = static_cast<size_t>(base + k);
                const auto b = a + static_cast<size_t>(len);
                const double c = cosT[static_cast<size_t>(k * span)];
                const double t = sinT[static_cast<size_t>(k * span)];
                const double tr = re[b] * c - im[b] * t;
                const double ti = re[b] * t + im[b] * c;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] = re[a] + tr;
                im[a] = im[a] + ti;
            }
        }
    }
    return true;
}

} // namespace myrl
