#include "Rnd.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

using namespace myrl;

TEST(Rnd, HalvesGoToTheEvenNeighbour) {
    struct Case {
        double x;
        int32_t expected;
    };
    const Case cases[] = {{0.5, 0},   {1.5, 2},     {2.5, 2},   {3.5, 4},    {-0.5, 0},
                          {-1.5, -2}, {-2.5, -2},   {2.75, 3},  {12.25, 12}, {7.5, 8},
                          {26.5, 26}, {140.5, 140}, {-2.4, -2}, {-2.6, -3},  {0.0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(rnd(c.x), c.expected) << c.x;
    }
}

TEST(Rnd, SaturatesOutsideTheRangeAndMapsNanToZero) {
    EXPECT_EQ(rnd(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(rnd(-1e300), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(rnd(std::nan("")), 0);
    EXPECT_EQ(rnd64(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(rnd64(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(rnd64(std::nan("")), 0);
}

// The one rule behind rnd, rnd64 and nearestInt, whatever rounding mode the
// floating-point environment is left in.
TEST(Rnd, HalvesToEvenInEveryRoundingMode) {
    const struct {
        double x, expected;
    } cases[] = {{10650000.5, 10650000},
                 {10650001.5, 10650002},
                 {-0.5, -0.0},
                 {-3.5, -4},
                 {2.4999999999999996, 2},
                 {4503599627370495.5, 4503599627370496},
                 {9007199254740993.0, 9007199254740992}};
    for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        for (const auto& c : cases) {
            EXPECT_EQ(RoundHalfEven(c.x), c.expected) << c.x << " mode " << mode;
        }
        EXPECT_EQ(rnd64(10650001.5), 10650002) << mode;
        EXPECT_EQ(rnd(2.5), 2) << mode;
    }
    std::fesetround(FE_TONEAREST);
}

TEST(Rnd, FloorAndCeil) {
    EXPECT_EQ(floorInt(2.9), 2);
    EXPECT_EQ(floorInt(-2.1), -3);
    EXPECT_EQ(floorInt(5.0), 5);
    EXPECT_EQ(ceilInt(2.1), 3);
    EXPECT_EQ(ceilInt(-2.9), -2);
    EXPECT_EQ(ceilInt(400.0), 400);
    // A word beyond 32 bits keeps its low 32 bits, as the unit's register would.
    EXPECT_EQ(floorInt(4294967296.0 + 5), 5);
    EXPECT_EQ(floorInt(2147483648.0), std::numeric_limits<int32_t>::min());
}

TEST(Rnd, NearestKeepsTheLow32Bits) {
    struct Case {
        double x;
        int32_t expected;
    };
    const Case cases[] = {{2.5, 2},
                          {-2.5, -2},
                          {3.5, 4},
                          {2147483647.4, 2147483647},
                          {2147483648.0, std::numeric_limits<int32_t>::min()},
                          {4294967297.5, 2},
                          {-2147483649.0, 2147483647},
                          {1e300, 0},
                          {std::nan(""), 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(nearestInt(c.x), c.expected) << c.x;
    }
}
