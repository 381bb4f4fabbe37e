// The marker functions' searches: peaks with their excursion, the next peak down from a
// marker, and the first crossing of a level to either side.
#include "MarkerSearch.h"

#include <gtest/gtest.h>

#include <vector>

namespace myrl {
namespace {

// Points at 0, 10, 20 ... Hz.
std::vector<double> AxisOf(size_t n) {
    std::vector<double> f;
    for (size_t i = 0; i < n; ++i) {
        f.push_back(10.0 * static_cast<double>(i));
    }
    return f;
}

// Peaks of 0 dB at point 2, -6 dB flat over points 6-7, -3 dB at 11 and a 0.5 dB bump at 14.
const std::vector<double> kTrace = {-20, -10, 0,  -10, -20, -15, -6,    -6,
                                    -15, -20, -9, -3,  -20, -20, -19.5, -20};

TEST(MarkerSearch, PeaksRiseByTheirExcursion) {
    const auto f = AxisOf(kTrace.size());
    const int last = static_cast<int>(kTrace.size()) - 1;
    const auto all = FindPeaks(f, kTrace, 0, last, 0);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], (TracePeak{2, 2, 20, 0}));
    EXPECT_EQ(all[1], (TracePeak{6, 7, 65, -6})); // the middle of a flat top
    EXPECT_EQ(all[2], (TracePeak{11, 11, 110, -3}));
    EXPECT_EQ(all[3], (TracePeak{14, 14, 140, -19.5}));
    // 3 dB: the 0.5 dB bump goes; the others rise at least 14 dB on both sides (down to the
    // lowest point before a higher one).
    EXPECT_EQ(FindPeaks(f, kTrace, 0, last, 3).size(), 3u);
    // 18 dB: only the 0 dB peak rises that far (-3 dB: 17 dB, -6 dB: 14 dB).
    const auto high = FindPeaks(f, kTrace, 0, last, 18);
    ASSERT_EQ(high.size(), 1u);
    EXPECT_EQ(high[0].First, 2);
    // A range's end points are no peaks.
    EXPECT_TRUE(FindPeaks(f, kTrace, 0, 2, 0).empty());
    EXPECT_EQ(FindPeaks(f, kTrace, 3, 12, 0).size(), 2u);
}

TEST(MarkerSearch, NextPeakDownWalksThePeaksByHeight) {
    const auto f = AxisOf(kTrace.size());
    const auto peaks = FindPeaks(f, kTrace, 0, static_cast<int>(kTrace.size()) - 1, 0);
    struct Case {
        double markerHz;
        std::optional<double> next;
    };
    const Case cases[] = {
        {20, 110}, // on the highest peak: the -3 dB one next
        {21, 110}, // beside it (the marker's column): the same
        {110, 65}, // then the flat top
        {62, 140}, // anywhere on that top
        {140, {}}, // the lowest: nothing below
        {45, 140}, // between peaks, at -17.5 dB interpolated: the highest one below that
        {130, {}}, // at -20 dB: no peak lies lower
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markerHz);
        const auto p = NextPeakDown(peaks, f, kTrace, c.markerHz);
        ASSERT_EQ(p.has_value(), c.next.has_value());
        if (p) {
            EXPECT_EQ(p->Hz, *c.next);
        }
    }
    // Equal heights: left to right.
    const std::vector<double> twins = {-10, 0, -10, 0, -10, 0, -10};
    const auto ft = AxisOf(twins.size());
    const auto tp = FindPeaks(ft, twins, 0, 6, 0);
    EXPECT_EQ(NextPeakDown(tp, ft, twins, 10)->Hz, 30);
    EXPECT_EQ(NextPeakDown(tp, ft, twins, 30)->Hz, 50);
    EXPECT_FALSE(NextPeakDown(tp, ft, twins, 50));
}

TEST(MarkerSearch, CrossingsOfALevelEitherSide) {
    const auto f = AxisOf(kTrace.size());
    struct Case {
        double from, level;
        bool right;
        std::optional<double> hz;
    };
    const Case cases[] = {
        {20, -5, true, 25},             // down through -5 dB halfway between points 2 and 3
        {20, -5, false, 15},            // up through it on the left
        {25, -5, true, 100 + 40.0 / 6}, // beyond the crossing the marker stands on: the next
        {0, -12, true, 8},
        {0, -20, true, {}},  // touching -20 dB from above only: never below it and back
        {150, 5, false, {}}, // never reached
        {150, -19.75, false, 145},
        {-100, -15, true, 5},  // from left of the trace
        {160, -3, false, 110}, // a point exactly at the level has reached it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.level << " " << c.right);
        const auto hz = CrossingFrom(f, kTrace, c.from, c.level, c.right);
        ASSERT_EQ(hz.has_value(), c.hz.has_value());
        if (hz) {
            EXPECT_DOUBLE_EQ(*hz, *c.hz);
        }
    }
}

TEST(MarkerSearch, TraceAtInterpolatesAndHoldsTheEnds) {
    const auto f = AxisOf(4);
    const std::vector<double> v = {0, 10, 20, 10};
    EXPECT_EQ(TraceAt(f, v, -5), 0);
    EXPECT_EQ(TraceAt(f, v, 15), 15);
    EXPECT_EQ(TraceAt(f, v, 100), 10);
    EXPECT_FALSE(TraceAt({}, {}, 1));
}

} // namespace
} // namespace myrl
