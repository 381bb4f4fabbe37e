#include "FFT.h"

#include <cmath>
#include <vector>

namespace myrl {

double WindowWeight(std::string_view mode, int32_t i, int32_t m) {
    const double x = static_cast<double>(i);
    const double mm = static_cast<double>(m);
    if (mode == "Hamming") {
        return 0.54 - 0.46 * std::cos(6.28318530717958 * x / mm);
    }
    if (mode == "Hanning") {
        return 0.5 - 0.5 * std::cos(6.28318530717958 * x / mm);
    }
    if (mode == "Blackman") {
        return 0.423 - 0.498 * std::cos(6.28318530717958 * x / mm) +
               0.0792 * std::cos(12.56637061435916 * x / mm);
    }
    if (mode == "Hcos") {
        return std::cos(kPi * x / mm - 1.570796326794895);
    }
    if (mode == "Gabor4") {
        const double sigma = 0.25;
        const double half = mm / 2;
        const double u = (x - half) / half;
        return std::exp(-u * u / (4 * sigma)) / (2 * std::sqrt(kPi * sigma));
    }
    return 1.0;
}

bool FFT(std::span<double> re, std::span<double> im, int32_t m, int32_t n, std::string_view mode) {
    if (n < 1 || m < 0 || n < m || re.size() < static_cast<size_t>(n) ||
        im.size() < static_cast<size_t>(n)) {
        return false;
    }
    // Only a true power of two: the tables below hold exactly n entries and the stages
    // fill them completely. (A rounded log2 lets 2^19 - 1 or 2^20 + 1 through.)
    if ((n & (n - 1)) != 0) {
        return false;
    }
    int32_t stages = 0;
    while ((int32_t{1} << stages) < n) {
        ++stages;
    }
    const auto nn = static_cast<size_t>(n);

    std::vector<double> wr(nn, 0.0);
    std::vector<double> wi(nn, 0.0);
    std::vector<double> cosT(nn);
    std::vector<double> sinT(nn);
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
