#include "Cepstrum.h"

#include "FFT.h"
#include "Format.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace myrl {

std::optional<CepstrumView> CepstrumStep(MeasState& s, int32_t xGridNum, char decimalSep) {
    const int32_t n = s.PointNum;
    if (n < 1 || n > kArrayLen) {
        return std::nullopt;
    }
    const double spacing = s.FreqAxis[1] - s.FreqAxis[0];
    if (spacing == 0) {
        return std::nullopt;
    }
    const double dt = 1 / (spacing * kCepstrumFftSize);
    // Every bin's delay must be a number, the last one too (the scale takes bin 1024's).
    if (!std::isfinite(dt * (kCepstrumFftSize - 1))) {
        return std::nullopt;
    }

    s.FftSize = kCepstrumFftSize;
    const auto size = static_cast<size_t>(kCepstrumFftSize);
    // The two working records are kept from step to step (per thread); the transform
    // pads the record with zeros itself.
    thread_local std::vector<double> re(size);
    thread_local std::vector<double> im(size);
    std::fill(im.begin(), im.begin() + n, 0.0);

    double sum = 0;
    for (int32_t i = 0; i < n; ++i) {
        sum += s.NormLevel[static_cast<size_t>(i)];
    }
    const double mean = sum / n;
    for (int32_t i = 0; i < n; ++i) {
        re[static_cast<size_t>(i)] = s.NormLevel[static_cast<size_t>(i)] - mean;
    }
    // The size is a fixed power of two no smaller than the points: the transform always runs.
    [[maybe_unused]] const bool transformed = FFT(re, im, n, kCepstrumFftSize, "Gabor4");
    assert(transformed);

    for (size_t k = 0; k < size; ++k) {
        re[k] = std::sqrt(re[k] * re[k] + im[k] * im[k]);
        im[k] = static_cast<double>(k) * dt;
    }
    double peak = re[0];
    for (size_t k = 1; k < size; ++k) {
        if (re[k] > peak) {
            peak = re[k];
        }
    }

    CepstrumView v;
    v.Peak = peak;
    v.Ymax = peak / 0.9;
    v.Xmin = 0;
    v.Xmax = im[static_cast<size_t>(kCepstrumPlotPoints)];
    const int32_t divs = xGridNum > 0 ? xGridNum : 1;
    v.DelayDiv = FormatExponent(v.Xmax / divs, 4, 1, decimalSep) + " sec/div";
    v.X.assign(im.begin(), im.begin() + kCepstrumPlotPoints);
    v.Y.assign(re.begin(), re.begin() + kCepstrumPlotPoints);
    return v;
}

} // namespace myrl
