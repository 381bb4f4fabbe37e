#include "FFT.h"
#include "ReferenceFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string_view>
#include <vector>

using namespace myrl;

TEST(FFT, RejectedSizesLeaveTheArraysUntouched) {
    struct Case {
        int32_t m, n;
        size_t len;
    };
    const Case cases[] = {{1000, 1000, 1000}, {65, 64, 128}, {8, 8, 4}, {-1, 8, 8}, {0, 0, 8}};
    for (const auto& c : cases) {
        std::vector<double> re(c.len), im(c.len);
        for (size_t i = 0; i < c.len; ++i) {
            re[i] = static_cast<double>(i) + 0.5;
            im[i] = -static_cast<double>(i);
        }
        auto re0 = re;
        auto im0 = im;
        EXPECT_FALSE(FFT(re, im, c.m, c.n, "Hamming")) << c.m << "/" << c.n;
        EXPECT_EQ(re, re0);
        EXPECT_EQ(im, im0);
    }
}

// Sizes just off a power of two pass a log2 rounded to five decimals; their tables
// would be filled past their end. The arrays hold every size in full, so only the size
// itself can refuse them.
TEST(FFT, SizesNearAPowerOfTwoAreRefusedUntouched) {
    const int32_t sizes[] = {(1 << 19) - 1,
                             (1 << 20) - 3,
                             (1 << 20) - 2,
                             (1 << 20) - 1,
                             (1 << 20) + 1,
                             (1 << 20) + 2,
                             3,
                             6,
                             12,
                             4095,
                             4097};
    const size_t len = (1u << 20) + 8;
    std::vector<double> re(len), im(len);
    for (size_t i = 0; i < len; ++i) {
        re[i] = static_cast<double>(i % 97) - 3.5;
        im[i] = static_cast<double>(i % 13) * 0.25;
    }
    const auto re0 = re;
    const auto im0 = im;
    for (int32_t n : sizes) {
        for (const char* mode : {"Gabor4", "Inv", ""}) {
            EXPECT_FALSE(FFT(re, im, 1, n, mode)) << n << " " << mode;
            EXPECT_FALSE(FFT(re, im, n, n, mode)) << n << " " << mode;
        }
        EXPECT_TRUE(re == re0 && im == im0) << n;
    }
}

// Every power of two up to 2^14 is taken, with arrays of exactly that size: an impulse
// at 1 gives the unit circle, e^(-j 2 pi k / n) in bin k.
TEST(FFT, PowersOfTwoAreAccepted) {
    for (int k = 0; k <= 14; ++k) {
        const int32_t n = 1 << k;
        std::vector<double> re(static_cast<size_t>(n), 0.0), im(static_cast<size_t>(n), 0.0);
        re[n > 1 ? 1 : 0] = 1;
        ASSERT_TRUE(FFT(re, im, n, n, "")) << n;
        for (int32_t b = 0; b < n; ++b) {
            const double a = n > 1 ? -2 * kPi * b / n : 0;
            ASSERT_NEAR(re[static_cast<size_t>(b)], std::cos(a), 1e-9) << n << " " << b;
            ASSERT_NEAR(im[static_cast<size_t>(b)], std::sin(a), 1e-9) << n << " " << b;
        }
    }
}

TEST(FFT, SinglePointInverseIsUnchanged) {
    std::vector<double> re{3.25}, im{-1.5};
    ASSERT_TRUE(FFT(re, im, 1, 1, "Inv"));
    EXPECT_DOUBLE_EQ(re[0], 3.25);
    EXPECT_DOUBLE_EQ(im[0], -1.5);
}

TEST(FFT, ModesThatNameNoWindowNeitherWindowNorScale) {
    for (const char* mode : {"", "hamming", "GABOR4", "inv", "whatever"}) {
        std::vector<double> re(16, 0.0), im(16, 0.0);
        for (int i = 0; i < 10; ++i) {
            re[static_cast<size_t>(i)] = 1;
        }
        ASSERT_TRUE(FFT(re, im, 10, 16, mode));
        EXPECT_NEAR(re[0], 10, 1e-12) << mode;
        EXPECT_NEAR(im[0], 0, 1e-12) << mode;
    }
}

TEST(FFT, BitReversalOrderForEight) {
    // An impulse at input k lands, before the butterflies, at the position whose
    // bit-reversed index is k; a transform of one impulse shows it as phase e^(-j2pi k b/8).
    for (int k = 0; k < 8; ++k) {
        std::vector<double> re(8, 0.0), im(8, 0.0);
        re[static_cast<size_t>(k)] = 1;
        ASSERT_TRUE(FFT(re, im, 8, 8, ""));
        for (int b = 0; b < 8; ++b) {
            EXPECT_NEAR(re[static_cast<size_t>(b)], std::cos(-2 * kPi * k * b / 8), 1e-12);
            EXPECT_NEAR(im[static_cast<size_t>(b)], std::sin(-2 * kPi * k * b / 8), 1e-12);
        }
    }
}

TEST(FFT, MatchesTheDefiningSumWithAWindow) {
    const int m = 24, n = 32;
    std::vector<double> re(n, 99.0), im(n, 99.0); // values beyond m must count as zeros
    std::vector<double> x(m), y(m);
    for (int i = 0; i < m; ++i) {
        x[static_cast<size_t>(i)] = std::sin(0.3 * i) + 0.1 * i;
        y[static_cast<size_t>(i)] = std::cos(0.7 * i);
        re[static_cast<size_t>(i)] = x[static_cast<size_t>(i)];
        im[static_cast<size_t>(i)] = y[static_cast<size_t>(i)];
    }
    ASSERT_TRUE(FFT(re, im, m, n, "Blackman"));
    for (int k = 0; k < n; ++k) {
        double sr = 0, si = 0;
        for (int t = 0; t < m; ++t) {
            double w = WindowWeight("Blackman", t, m);
            double a = -2 * kPi * k * t / n;
            sr += w * (x[static_cast<size_t>(t)] * std::cos(a) -
                       y[static_cast<size_t>(t)] * std::sin(a));
            si += w * (x[static_cast<size_t>(t)] * std::sin(a) +
                       y[static_cast<size_t>(t)] * std::cos(a));
        }
        EXPECT_NEAR(re[static_cast<size_t>(k)], sr, 1e-9) << k;
        EXPECT_NEAR(im[static_cast<size_t>(k)], si, 1e-9) << k;
    }
}

TEST(FFT, ForwardThenInverseReproducesTheRecord) {
    const int m = 200, n = 256;
    std::vector<double> re(n), im(n);
    for (int i = 0; i < n; ++i) {
        re[static_cast<size_t>(i)] = std::sin(0.05 * i * i);
        im[static_cast<size_t>(i)] = 0.25 * i;
    }
    auto re0 = re;
    auto im0 = im;
    ASSERT_TRUE(FFT(re, im, m, n, "none"));
    ASSERT_TRUE(FFT(re, im, n, n, "Inv"));
    for (int i = 0; i < n; ++i) {
        double er = i < m ? re0[static_cast<size_t>(i)] : 0.0;
        double ei = i < m ? im0[static_cast<size_t>(i)] : 0.0;
        EXPECT_NEAR(re[static_cast<size_t>(i)], er, 1e-9) << i;
        EXPECT_NEAR(im[static_cast<size_t>(i)], ei, 1e-9) << i;
    }
}

TEST(FFT, WindowWeights) {
    EXPECT_NEAR(WindowWeight("Gabor4", 0, 256), 0.2076, 5e-5);
    EXPECT_NEAR(WindowWeight("Gabor4", 128, 256), 0.5642, 5e-5);
    EXPECT_NEAR(WindowWeight("Gabor4", 255, 256), 0.2108, 5e-5);
    EXPECT_DOUBLE_EQ(WindowWeight("Hanning", 0, 256), 0);
    EXPECT_NEAR(WindowWeight("Hanning", 128, 256), 1, 1e-15);
    EXPECT_DOUBLE_EQ(WindowWeight("Hamming", 0, 256), 0.08);
    EXPECT_DOUBLE_EQ(WindowWeight("Hcos", 128, 256), 1);
    EXPECT_NEAR(WindowWeight("Blackman", 0, 256), 0.423 - 0.498 + 0.0792, 1e-15);
}

TEST(FFT, Gabor4WeightsTheRecordAndIgnoresWhatLiesBeyondIt) {
    const int m = 256, n = 4096;
    std::vector<double> re(n, 5.0), im(n, 0.0);
    for (int i = 0; i < m; ++i) {
        re[static_cast<size_t>(i)] = 1;
    }
    ASSERT_TRUE(FFT(re, im, m, n, "Gabor4"));
    double sum = 0;
    for (int i = 0; i < m; ++i) {
        sum += WindowWeight("Gabor4", i, m);
    }
    EXPECT_NEAR(re[0], sum, 1e-9); // bin 0 is the sum of the weights of the record alone
}

namespace {

// Equal bits, except that a NaN matches any NaN: which of two NaN operands an operation
// passes on is the compiler's choice of operand order, not the transform's.
bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const bool same =
            std::isnan(a[i]) ? std::isnan(b[i]) : std::memcmp(&a[i], &b[i], sizeof(double)) == 0;
        if (!same) {
            return false;
        }
    }
    return true;
}

} // namespace

// Sizes, record lengths and modes change from call to call (so kept tables and weights must
// follow), with records that hold signed zeros, infinities and NaNs beside plain values and
// values beyond the record that must count as zeros. Every result, bit for bit, is the
// first implementation's; the cepstrum's own call (256 of 4096, "Gabor4") comes back often.
TEST(FFT, GivesTheBitsOfTheFirstImplementationOverManyTransforms) {
    std::mt19937_64 rng(28);
    std::normal_distribution<double> value(0.0, 30.0);
    const char* modes[] = {"Gabor4", "Inv", "Hamming", "Hanning", "Blackman", "Hcos", "", "x"};
    const double specials[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               1e-310,
                               -1e300};
    int transforms = 0;
    for (int round = 0; round < 800; ++round) {
        int32_t n = 4096, m = 256;
        const char* mode = "Gabor4";
        if (round % 3 != 0) {
            n = int32_t{1} << (rng() % 15);
            m = static_cast<int32_t>(rng() % static_cast<uint64_t>(n + 1));
            mode = modes[rng() % std::size(modes)];
        }
        const size_t len = static_cast<size_t>(n) + rng() % 3;
        std::vector<double> re(len), im(len);
        for (size_t i = 0; i < len; ++i) {
            re[i] = value(rng);
            im[i] = round % 2 ? value(rng) : 0.0;
        }
        if (round % 7 == 1 && m > 0) {
            re[rng() % static_cast<uint64_t>(m)] = specials[rng() % std::size(specials)];
            im[rng() % static_cast<uint64_t>(m)] = specials[rng() % std::size(specials)];
        }
        auto wantRe = re, wantIm = im;
        ASSERT_TRUE(ReferenceFFT(wantRe, wantIm, m, n, mode));
        ASSERT_TRUE(FFT(re, im, m, n, mode));
        ASSERT_TRUE(SameBits(re, wantRe) && SameBits(im, wantIm))
            << "round " << round << ": n " << n << ", m " << m << ", mode '" << mode << "'";
        ++transforms;
    }
    EXPECT_EQ(transforms, 800);
}

// A transform larger than the sizes whose tables are kept builds its own for the call, and
// the kept ones serve the next call unharmed.
TEST(FFT, LargeTransformBetweenTwoCepstrumSizedOnesGivesTheSameBits) {
    for (int32_t n : {4096, 1 << 17, 4096}) {
        std::vector<double> re(static_cast<size_t>(n)), im(static_cast<size_t>(n), 0.0);
        for (size_t i = 0; i < re.size(); ++i) {
            re[i] = std::sin(0.001 * static_cast<double>(i * i % 7919));
        }
        auto wantRe = re, wantIm = im;
        const int32_t m = n / 16;
        ASSERT_TRUE(ReferenceFFT(wantRe, wantIm, m, n, "Gabor4"));
        ASSERT_TRUE(FFT(re, im, m, n, "Gabor4"));
        EXPECT_TRUE(SameBits(re, wantRe) && SameBits(im, wantIm)) << n;
    }
}
