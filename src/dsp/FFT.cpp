#include "FFT.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
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

namespace {

// Tables of the last transform size are kept per thread: the program transforms 4096
// points once a sweep, always with the same window. Larger sizes build their tables for
// the one call.
constexpr int32_t kKeptSize = int32_t{1} << 16;

// The rotation factors e^(+-j 2 pi i / n) in the order the stages use them: the stage
// that joins transforms of `len` points takes factor i * (n / 2 / len) for its butterfly
// i, stored at len + i. Entry 0 is unused.
struct Twiddles {
    int32_t n = 0;
    bool inverse = false;
    std::vector<double> cos;
    std::vector<double> sin;
    std::vector<int32_t> perm; // bit-reversed index of each position
};

void build(Twiddles& t, int32_t n, bool inverse) {
    const auto nn = static_cast<size_t>(n);
    std::vector<double> cosT(nn);
    std::vector<double> sinT(nn);
    const double sign = inverse ? 1.0 : -1.0;
    for (size_t i = 0; i < nn; ++i) {
        const double angle = sign * 2 * static_cast<double>(i) * kPi / n;
        cosT[i] = std::cos(angle);
        sinT[i] = std::sin(angle);
    }
    t.cos.assign(nn, 0.0);
    t.sin.assign(nn, 0.0);
    for (int32_t len = 1, span = n / 2; len < n; len *= 2, span /= 2) {
        for (int32_t k = 0; k < len; ++k) {
            const auto from = static_cast<size_t>(k * span);
            t.cos[static_cast<size_t>(len + k)] = cosT[from];
            t.sin[static_cast<size_t>(len + k)] = sinT[from];
        }
    }
    t.perm.assign(nn, 0);
    for (int32_t step = 1, half = n / 2; step < n; step *= 2, half /= 2) {
        for (int32_t j = 0; j < step; ++j) {
            t.perm[static_cast<size_t>(j + step)] = t.perm[static_cast<size_t>(j)] + half;
        }
    }
    t.n = n;
    t.inverse = inverse;
}

const Twiddles& twiddles(int32_t n, bool inverse, Twiddles& once) {
    thread_local Twiddles kept;
    if (n > kKeptSize) {
        build(once, n, inverse);
        return once;
    }
    if (kept.n != n || kept.inverse != inverse) {
        build(kept, n, inverse);
    }
    return kept;
}

// The window weights of an m-value record, kept per thread for the last mode and length.
const std::vector<double>& weights(std::string_view mode, int32_t m, std::vector<double>& once) {
    struct Kept {
        std::string mode;
        int32_t m = -1;
        std::vector<double> w;
    };
    thread_local Kept kept;
    const bool keep = m <= kKeptSize;
    if (keep && kept.m == m && kept.mode == mode) {
        return kept.w;
    }
    std::vector<double>& w = keep ? kept.w : once;
    w.resize(static_cast<size_t>(m));
    for (int32_t i = 0; i < m; ++i) {
        w[static_cast<size_t>(i)] = WindowWeight(mode, i, m);
    }
    if (keep) {
        kept.mode = mode;
        kept.m = m;
    }
    return w;
}

// One butterfly: a (at *r, *i) and b (len further on) become a + w b and a - w b.
inline void butterfly(double* r, double* i, size_t len, double c, double s) {
    const double tr = r[len] * c - i[len] * s;
    const double ti = r[len] * s + i[len] * c;
    r[len] = r[0] - tr;
    i[len] = i[0] - ti;
    r[0] = r[0] + tr;
    i[0] = i[0] + ti;
}

// Two neighbouring butterflies of one stage as one of pairs (two lanes of doubles).
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));

inline Pair load(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(double* p, Pair v) {
    std::memcpy(p, &v, sizeof v);
}

inline void butterflyPair(double* r, double* i, size_t len, const double* c, const double* s) {
    const Pair cw = load(c);
    const Pair sw = load(s);
    const Pair br = load(r + len);
    const Pair bi = load(i + len);
    const Pair ar = load(r);
    const Pair ai = load(i);
    const Pair tr = br * cw - bi * sw;
    const Pair ti = br * sw + bi * cw;
    store(r + len, ar - tr);
    store(i + len, ai - ti);
    store(r, ar + tr);
    store(i, ai + ti);
}

} // namespace

bool FFT(std::span<double> re, std::span<double> im, int32_t m, int32_t n, std::string_view mode) {
    if (n < 1 || m < 0 || n < m || re.size() < static_cast<size_t>(n) ||
        im.size() < static_cast<size_t>(n)) {
        return false;
    }
    // Only a true power of two: the tables hold exactly n entries and the stages fill
    // them completely. (A rounded log2 lets 2^19 - 1 or 2^20 + 1 through.)
    if ((n & (n - 1)) != 0) {
        return false;
    }
    const auto nn = static_cast<size_t>(n);
    const auto mm = static_cast<size_t>(m);
    const bool inverse = mode == "Inv";
    Twiddles tablesOnce;
    const Twiddles& t = twiddles(n, inverse, tablesOnce);

    // The record, windowed (or scaled for the inverse) and padded with zeros, in place.
    if (inverse) {
        for (size_t k = 0; k < mm; ++k) {
            re[k] = re[k] / n;
            im[k] = im[k] / n;
        }
    } else {
        std::vector<double> weightsOnce;
        const std::vector<double>& w = weights(mode, m, weightsOnce);
        for (size_t k = 0; k < mm; ++k) {
            re[k] = w[k] * re[k];
            im[k] = w[k] * im[k];
        }
    }
    for (size_t k = mm; k < nn; ++k) {
        re[k] = 0.0;
        im[k] = 0.0;
    }

    // Bit-reversed order: the permutation is its own inverse, so pairs swap.
    for (size_t i = 0; i < nn; ++i) {
        const auto j = static_cast<size_t>(t.perm[i]);
        if (j > i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }

    // The butterflies, two at a time from the second stage on: the same operations on each
    // lane as one at a time, so the same bits.
    double* xr = re.data();
    double* xi = im.data();
    if (nn >= 2) {
        for (size_t base = 0; base < nn; base += 2) {
            butterfly(xr + base, xi + base, 1, t.cos[1], t.sin[1]);
        }
    }
    for (size_t len = 2; len < nn; len *= 2) {
        const double* c = t.cos.data() + len;
        const double* s = t.sin.data() + len;
        for (size_t base = 0; base < nn; base += 2 * len) {
            double* ar = xr + base;
            double* ai = xi + base;
            for (size_t k = 0; k < len; k += 2) {
                butterflyPair(ar + k, ai + k, len, c + k, s + k);
            }
        }
    }
    return true;
}

} // namespace myrl
