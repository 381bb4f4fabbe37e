#include "Cepstrum.h"
#include "FFT.h"
#include "FreqPlan.h"
#include "Plans.h"
#include "ReferenceFFT.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

using namespace myrl;

namespace {

// A 100 kHz span from 10.65 MHz: 250 steps of 400 Hz, as the unit sweeps it.
MeasState sweptState(bool zeroSpan = false) {
    MeasState s;
    SetPlan(s, 10650000, 10750000, zeroSpan);
    return s;
}

// A level curve around -20 dB with one cosine ripple of `period` Hz.
void setRipple(MeasState& s, double period, double amplitude = 3) {
    for (int i = 0; i < kPointCount; ++i) {
        auto k = static_cast<size_t>(i);
        s.NormLevel[k] = -20 + amplitude * std::cos(2 * kPi * s.FreqAxis[k] / period);
    }
}

size_t argmax(const std::vector<double>& v) {
    return static_cast<size_t>(std::max_element(v.begin(), v.end()) - v.begin());
}

} // namespace

TEST(Cepstrum, FlatCurveGivesZeroMagnitudesAndScale) {
    // Levels as readings give them (r * 100 / 256 - 87 dB).
    for (double level : {-87.0, -37.0, 12.609375, 0.0}) {
        MeasState s = sweptState();
        s.NormLevel.fill(level);
        auto v = CepstrumStep(s, 10);
        ASSERT_TRUE(v) << level;
        EXPECT_EQ(v->Peak, 0) << level;
        EXPECT_EQ(v->Ymax, 0) << level;
        EXPECT_EQ(v->Xmin, 0);
        ASSERT_EQ(v->Y.size(), static_cast<size_t>(kCepstrumPlotPoints));
        ASSERT_EQ(v->X.size(), static_cast<size_t>(kCepstrumPlotPoints));
        EXPECT_TRUE(std::all_of(v->Y.begin(), v->Y.end(), [](double y) { return y == 0; }));
        EXPECT_EQ(s.FftSize, kCepstrumFftSize);
    }
}

TEST(Cepstrum, DelayAxisAndCaption) {
    struct Case {
        bool zeroSpan;
        char sep;
        double xmax;
        const char* caption;
    };
    const Case cases[] = {
        {false, '.', 1.0 / (4 * 400), "6.250E-5 sec/div"}, // 400 Hz spacing
        {false, ',', 1.0 / (4 * 400), "6,250E-5 sec/div"},
        {true, '.', 0.625, "6.250E-2 sec/div"}, // zero span: 0.4 percent spacing
    };
    for (const auto& c : cases) {
        MeasState s = sweptState(c.zeroSpan);
        setRipple(s, 10000);
        auto v = CepstrumStep(s, 10, c.sep);
        ASSERT_TRUE(v);
        EXPECT_NEAR(v->Xmax, c.xmax, c.xmax * 1e-12);
        EXPECT_EQ(v->DelayDiv, c.caption);
        const double dt = v->Xmax / kCepstrumPlotPoints;
        for (size_t k : {0u, 1u, 511u, 1023u}) {
            EXPECT_NEAR(v->X[k], static_cast<double>(k) * dt, c.xmax * 1e-12) << k;
        }
    }
}

// The magnitudes are those of the mean-free record weighted by the Gaussian window over
// its 256 points and padded to 4096, checked against a direct transform.
TEST(Cepstrum, MagnitudesMatchADirectTransform) {
    MeasState s = sweptState();
    for (int i = 0; i < kPointCount; ++i) {
        s.NormLevel[static_cast<size_t>(i)] = -30 + 0.01 * i * i / 7.0 + (i % 5 == 0 ? 2 : 0);
    }
    double mean = 0;
    for (int i = 0; i < kPointCount; ++i) {
        mean += s.NormLevel[static_cast<size_t>(i)];
    }
    mean /= kPointCount;
    auto v = CepstrumStep(s, 10);
    ASSERT_TRUE(v);
    double peak = 0;
    for (int k = 0; k < kCepstrumFftSize; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < kPointCount; ++i) {
            const double x = WindowWeight("Gabor4", i, kPointCount) *
                             (s.NormLevel[static_cast<size_t>(i)] - mean);
            sum += x * std::polar(1.0, -2 * kPi * i * k / kCepstrumFftSize);
        }
        peak = std::max(peak, std::abs(sum));
        if (k < kCepstrumPlotPoints) {
            EXPECT_NEAR(v->Y[static_cast<size_t>(k)], std::abs(sum), 1e-9) << k;
        }
    }
    EXPECT_NEAR(v->Peak, peak, 1e-9);
    EXPECT_DOUBLE_EQ(v->Ymax, v->Peak / 0.9);
}

// A ripple of period p Hz is an echo delayed by 1/p: the highest drawn bin lies within
// one bin of it, and the scale puts the highest peak at nine tenths of the height.
TEST(Cepstrum, RipplePeaksAtItsDelay) {
    for (double period : {2000.0, 3300.0, 10000.0, 25000.0}) {
        MeasState s = sweptState();
        setRipple(s, period);
        auto v = CepstrumStep(s, 10);
        ASSERT_TRUE(v);
        const double dt = v->Xmax / kCepstrumPlotPoints;
        const size_t top = argmax(v->Y);
        EXPECT_NEAR(v->X[top], 1 / period, dt) << period;
        EXPECT_DOUBLE_EQ(v->Y[top], v->Peak) << period;
        EXPECT_DOUBLE_EQ(v->Ymax, v->Peak / 0.9) << period;
    }
}

// A ripple faster than four points peaks beyond the drawn quarter; the scale still
// follows that peak, so the drawn trace stays low.
TEST(Cepstrum, PeakBeyondTheDrawnBinsStillSetsTheScale) {
    MeasState s = sweptState();
    setRipple(s, 1000); // 1 ms delay: bin 1638 of 4096
    auto v = CepstrumStep(s, 10);
    ASSERT_TRUE(v);
    EXPECT_GT(v->Peak, 0);
    EXPECT_DOUBLE_EQ(v->Ymax, v->Peak / 0.9);
    EXPECT_LT(*std::max_element(v->Y.begin(), v->Y.end()), 0.2 * v->Peak);
}

TEST(Cepstrum, ZeroPointSpacingChangesNothing) {
    MeasState s = sweptState();
    s.StepWord = 0; // a plan with a zero step outside zero span
    CalcFreqAxis(s, false);
    ASSERT_EQ(s.FreqAxis[1], s.FreqAxis[0]);
    setRipple(s, 10000);
    s.FftSize = 123;
    EXPECT_FALSE(CepstrumStep(s, 10));
    EXPECT_EQ(s.FftSize, 123);
}

// A spacing whose bin delay is finite but whose later bins, the scale's 1024th among
// them, are not: nothing to show, as for a zero spacing.
TEST(Cepstrum, SpacingsWithoutFiniteDelaysChangeNothing) {
    const double spacings[] = {0.0, 8.691694759794e-311, -8.691694759794e-311, 1e-310, 4.9e-324};
    for (double spacing : spacings) {
        MeasState s = sweptState();
        s.FreqAxis[0] = 0;
        s.FreqAxis[1] = spacing;
        setRipple(s, 10000);
        s.FftSize = 123;
        EXPECT_FALSE(CepstrumStep(s, 10)) << spacing;
        EXPECT_EQ(s.FftSize, 123) << spacing;
    }
}

TEST(Cepstrum, UsesTheLevelsWhateverTheSwrTraceHolds) {
    MeasState a = sweptState();
    setRipple(a, 10000);
    MeasState b = a;
    for (size_t k = 0; k < kArrayLen; ++k) {
        a.SwrTrace[k] = a.DispTrace[k] = 1.0 + static_cast<double>(k);
        b.SwrTrace[k] = b.DispTrace[k] = 50.0;
    }
    auto va = CepstrumStep(a, 10);
    auto vb = CepstrumStep(b, 10);
    ASSERT_TRUE(va && vb);
    EXPECT_EQ(va->Y, vb->Y);
    EXPECT_EQ(va->Ymax, vb->Ymax);
}

// Step after step with changing levels (a noisy detector: every sweep differs), with
// another transform in between, the view is bit for bit what the first transform gives:
// magnitudes of the mean-free levels, delays k * dt, peak over all bins, scale.
TEST(Cepstrum, StepsGiveTheBitsOfTheFirstTransform) {
    MeasState s = sweptState();
    std::mt19937_64 rng(28);
    std::normal_distribution<double> noise(0.0, 0.3);
    const double dt = 1 / ((s.FreqAxis[1] - s.FreqAxis[0]) * kCepstrumFftSize);
    for (int step = 0; step < 200; ++step) {
        setRipple(s, 2000.0 + 37.0 * step);
        for (int i = 0; i < kPointCount; ++i) {
            s.NormLevel[static_cast<size_t>(i)] += noise(rng);
        }
        if (step == 100) {
            std::vector<double> re(64, 1.0), im(64, 1.0);
            ASSERT_TRUE(FFT(re, im, 64, 64, "Inv"));
        }
        std::vector<double> re(kCepstrumFftSize, 0.0), im(kCepstrumFftSize, 0.0);
        double sum = 0;
        for (int i = 0; i < kPointCount; ++i) {
            sum += s.NormLevel[static_cast<size_t>(i)];
        }
        for (int i = 0; i < kPointCount; ++i) {
            re[static_cast<size_t>(i)] = s.NormLevel[static_cast<size_t>(i)] - sum / kPointCount;
        }
        ASSERT_TRUE(ReferenceFFT(re, im, kPointCount, kCepstrumFftSize, "Gabor4"));
        double peak = 0;
        std::vector<double> wantX, wantY;
        for (size_t k = 0; k < re.size(); ++k) {
            const double mag = std::sqrt(re[k] * re[k] + im[k] * im[k]);
            peak = k == 0 || mag > peak ? mag : peak;
            if (k < kCepstrumPlotPoints) {
                wantY.push_back(mag);
                wantX.push_back(static_cast<double>(k) * dt);
            }
        }
        const auto v = CepstrumStep(s, 10);
        ASSERT_TRUE(v);
        ASSERT_TRUE(v->Y == wantY && v->X == wantX) << "step " << step;
        ASSERT_EQ(v->Peak, peak) << "step " << step;
        ASSERT_EQ(v->Ymax, peak / 0.9) << "step " << step;
        ASSERT_EQ(v->Xmax, kCepstrumPlotPoints * dt) << "step " << step;
    }
}
