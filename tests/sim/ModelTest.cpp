#include "DeviceModels.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace myrl;
using namespace myrl::sim;

namespace {
const double k3dB = -10.0 * std::log10(2.0);
}

TEST(DeviceModels, BandpassIsDown3dBAtTheBandEdgesAndFlatAtTheCentre) {
    struct Case {
        double centre, bandwidth;
        int order;
    };
    const Case cases[] = {{10.7e6, 100e3, 4}, {10.7e6, 1e6, 2}, {455e3, 6e3, 6}};
    for (const auto& c : cases) {
        // Edges: (f / fc - fc / f) * fc / B = +-1.
        double root = std::sqrt(c.bandwidth * c.bandwidth + 4 * c.centre * c.centre);
        double lower = (root - c.bandwidth) / 2, upper = (root + c.bandwidth) / 2;
        EXPECT_NEAR(upper - lower, c.bandwidth, 1e-6);
        const auto [l, u] = BandpassEdgesHz(c.centre, c.bandwidth);
        EXPECT_DOUBLE_EQ(l, lower);
        EXPECT_DOUBLE_EQ(u, upper);
        EXPECT_NEAR(std::sqrt(l * u), c.centre, 1e-6);
        EXPECT_NEAR(BandpassDb(lower, c.centre, c.bandwidth, c.order), k3dB, 1e-9) << c.centre;
        EXPECT_NEAR(BandpassDb(upper, c.centre, c.bandwidth, c.order), k3dB, 1e-9) << c.centre;
        EXPECT_NEAR(BandpassDb(c.centre, c.centre, c.bandwidth, c.order), 0.0, 1e-12);
        EXPECT_LT(BandpassDb(c.centre + 3 * c.bandwidth, c.centre, c.bandwidth, c.order), -20);
    }
    EXPECT_EQ(BandpassDb(0.0, 10.7e6, 100e3, 4), kFloorDb);
}

TEST(DeviceModels, LowpassThruOpenShort) {
    EXPECT_NEAR(LowpassDb(10e6, 10e6, 4), k3dB, 1e-9);
    EXPECT_NEAR(LowpassDb(20e6, 10e6, 3), -10 * std::log10(1 + 64.0), 1e-9);
    EXPECT_NEAR(LowpassDb(0.0, 10e6, 3), 0.0, 1e-12);

    EXPECT_EQ(ThruDb(0.0), 0.0);
    EXPECT_NEAR(ThruDb(100e6), -0.2, 1e-12);
    EXPECT_LT(ThruDb(200e6), ThruDb(20e6));

    // Full reflection through a 30 dB bridge: open and short differ by the leakage.
    double leak = std::pow(10.0, -30.0 / 20);
    EXPECT_NEAR(ReflectionDb(0.0, 1.0, 30), 20 * std::log10(1 + leak), 1e-9);
    EXPECT_NEAR(ReflectionDb(0.0, -1.0, 30), 20 * std::log10(1 - leak), 1e-9);
}

TEST(DeviceModels, CableRipplesWithThePeriodOfTheRoundTripDelay) {
    struct Case {
        double length, velocity, load;
    };
    const Case cases[] = {{10, 0.66, 75}, {25, 0.8, 25}, {3, 0.66, 100}};
    for (const auto& c : cases) {
        DeviceConfig d;
        d.Kind = DeviceKind::Cable;
        d.CableLengthM = c.length;
        d.VelocityFactor = c.velocity;
        d.LoadOhm = c.load;
        double tau = 2 * c.length / (c.velocity * 299792458.0);
        EXPECT_NEAR(CableRoundTripSeconds(d), tau, 1e-15);
        // Local minima over a span of several periods, 1 kHz apart.
        double period = 1 / tau;
        std::vector<double> minima;
        double step = 1e3;
        for (double f = step; f < 5.5 * period; f += step) {
            double here = DeviceDb(d, f);
            if (here < DeviceDb(d, f - step) && here <= DeviceDb(d, f + step)) {
                minima.push_back(f);
            }
        }
        ASSERT_GE(minima.size(), 4u) << c.length;
        for (size_t k = 1; k < minima.size(); ++k) {
            EXPECT_NEAR(minima[k] - minima[k - 1], period, 2 * step) << c.length;
        }
        // Extremes: |G| + leak and |G| - leak.
        double g = (c.load - 50) / (c.load + 50), leak = std::pow(10.0, -30.0 / 20);
        EXPECT_NEAR(DeviceDb(d, 0.0), 20 * std::log10(std::abs(g + leak)), 1e-9);
        EXPECT_NEAR(DeviceDb(d, minima[0]), 20 * std::log10(std::abs(g) - leak), 1e-3);
    }
}

TEST(DeviceModels, DetectorReadings) {
    struct Case {
        double db;
        int reading;
    };
    const Case cases[] = {{-87, 0},  {12.609375, 255}, {0, 223},   {-200, 0},
                          {40, 255}, {-50, 95},        {-87.1, 0}, {NAN, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(DetectorReading(c.db), c.reading) << c.db;
    }
    // Readings convert back to within half a count of the level.
    for (double db = -86; db < 12; db += 0.37) {
        EXPECT_NEAR(DetectorReading(db) * 100.0 / 256 - 87, db, 0.5 * 100 / 256 + 1e-9);
    }
}

TEST(Generator, WordsAndFrequencies) {
    GeneratorConfig gen;
    EXPECT_EQ(PointWord({-1, 1, 0}, 1), 0u); // 32-bit wrap
    EXPECT_EQ(PointWord({0, 80000, 3}, 250), 20000000u);
    EXPECT_DOUBLE_EQ(GeneratorHz(10700000, 67108864), 10700000.0);
    EXPECT_DOUBLE_EQ(GeneratorHz(1000, 2 * 67108864.0), 2000.0);
    EXPECT_DOUBLE_EQ(*DutHz(gen, 20000000), 20e6);
    EXPECT_TRUE(DutHz(gen, 26843545).has_value()); // 0.4 * 2^26 = 26843545.6
    EXPECT_FALSE(DutHz(gen, 26843546).has_value());
    EXPECT_FALSE(DutHz(gen, 0xFFFFFFFFu).has_value()); // a negative word

    gen.Frex = true;
    EXPECT_NEAR(*DutHz(gen, 12434090), 99999970.909090909, 1e-6);
    EXPECT_NEAR(*DutHz(gen, 12434090 + 250 * 12500), 199999970.909090909, 1e-6);
    EXPECT_FALSE(DutHz(gen, 1000).has_value()); // below the FREX offset
}

TEST(DeviceModels, RippleOnAnyDeviceFromZeroDownToItsDepth) {
    for (auto kind : {DeviceKind::Thru, DeviceKind::Bandpass, DeviceKind::Lowpass}) {
        DeviceConfig d;
        d.Kind = kind;
        EXPECT_EQ(DeviceDb(d, 10.65e6), ModelDb(d, 10.65e6)) << "no ripple by default";
        d.RippleDb = 0.5;
        d.RipplePeriodHz = 40e3;
        struct Case {
            double f, ripple;
        };
        for (const Case& c : {Case{10.64e6, 0}, Case{10.66e6, -0.5}, Case{10.65e6, -0.25}}) {
            EXPECT_NEAR(DeviceDb(d, c.f) - ModelDb(d, c.f), c.ripple, 1e-9) << c.f;
        }
    }
}
