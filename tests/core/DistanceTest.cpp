// Distance to a reflection from its round-trip delay, and the highest peak of a cepstrum.
#include "Distance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace myrl {
namespace {

TEST(OneWayDistance, HalfTheRoundTripAtTheLineVelocity) {
    struct Case {
        double seconds, vf, metres;
    };
    // 10 m of solid PE: 2 * 10 / (0.66 c) round trip.
    for (const Case& c : {Case{2 * 10 / (0.66 * kLightMps), 0.66, 10}, Case{1e-6, 1, 149.896229},
                          Case{0, 0.82, 0}, Case{1e-7, 0.5, 7.49481145}}) {
        EXPECT_NEAR(OneWayDistanceM(c.seconds, c.vf), c.metres, 1e-9);
    }
    EXPECT_DOUBLE_EQ(MetresToFeet(0.3048), 1);
    EXPECT_NEAR(MetresToFeet(10), 32.8083989, 1e-6);
    for (const CableType& t : kCableTypes) {
        EXPECT_NE(std::string(t.Name).find(std::to_string(t.VelocityFactor).substr(0, 4)),
                  std::string::npos)
            << t.Name; // the name shows its factor
    }
}

// Delays as people read them: ns and µs, never a needless exponent.
TEST(DelayText, FourDigitsInTheUnitThatFits) {
    const struct {
        double seconds;
        char sep;
        const char* text;
    } cases[] = {
        {1.234e-7, '.', "123.4 ns"},   {5e-9, '.', "5.000 ns"},      {101.04e-9, ',', "101,0 ns"},
        {999.94e-9, '.', "999.9 ns"},  {999.96e-9, '.', "1.000 µs"}, {2.5e-6, '.', "2.500 µs"},
        {12.3456e-6, '.', "12.35 µs"}, {0.0042, '.', "4.200 ms"},    {1.5, '.', "1.500 s"},
        {0, '.', "0.000 ns"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DelayText(c.seconds, c.sep), c.text) << c.seconds;
    }
}

TEST(HighestPeakBin, BeyondTheFallFromBinZeroWithAParabolicFraction) {
    struct Case {
        const char* name;
        std::vector<double> y;
        double bin; // < 0: none
    };
    const std::vector<Case> cases = {
        {"peak after the low-delay lobe", {10, 6, 2, 1, 3, 5, 3, 1}, 5},
        // Parabola through (4,3) (5,5) (6,4): vertex at 5 + 0.5 * (3 - 4) / (3 - 10 + 4).
        {"asymmetric neighbours", {10, 6, 2, 1, 3, 5, 4, 1}, 5 + 0.5 * (3.0 - 4) / (3 - 10 + 4)},
        {"lobe higher than the peak is skipped", {50, 40, 1, 2, 1}, 3},
        {"only falling", {5, 4, 3, 2}, -1},
        {"flat", {1, 1, 1}, -1},
        {"peak on the last bin", {3, 1, 2, 4}, 3},
        {"too short", {1, 2}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto b = HighestPeakBin(c.y);
        if (c.bin < 0) {
            EXPECT_FALSE(b);
        } else {
            ASSERT_TRUE(b);
            EXPECT_DOUBLE_EQ(*b, c.bin);
        }
    }
}

} // namespace
} // namespace myrl
