// Filter readouts from a trace: peak, -N dB edges, bandwidth, centre, Q, shape factor,
// minimum, the point range between two frequencies and the marker column of a frequency.
#include "FilterReadout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace myrl {
namespace {

// A trace of straight segments in dB over a 1 kHz point spacing: exact crossings known.
struct Trace {
    std::vector<double> f, l;
    explicit Trace(std::vector<double> levels) : l(std::move(levels)) {
        for (size_t i = 0; i < l.size(); ++i) {
            f.push_back(1000.0 * static_cast<double>(i + 1));
        }
    }
    FilterReadout read(double down = 3) const {
        return ReadFilter(f, l, 0, static_cast<int>(l.size()) - 1, down);
    }
};

TEST(ReadFilter, PeakEdgesBandwidthCentreAndQOfATriangle) {
    // Peak 0 dB at 5 kHz, falling 2 dB per point either side.
    const Trace t({-8, -6, -4, -2, 0, -2, -4, -6, -8});
    struct Case {
        double down, lower, upper;
    };
    for (const Case& c :
         {Case{3, 3500, 6500}, Case{1, 4500, 5500}, Case{6, 2000, 8000}, Case{2, 4000, 6000}}) {
        SCOPED_TRACE(c.down);
        const FilterReadout r = t.read(c.down);
        ASSERT_TRUE(r.Valid);
        EXPECT_EQ(r.PeakDb, 0);
        EXPECT_EQ(r.PeakHz, 5000);
        EXPECT_EQ(r.PeakIndex, 4);
        EXPECT_EQ(r.MinDb, -8);
        EXPECT_EQ(r.MinHz, 1000); // the first of equal minima
        ASSERT_TRUE(r.Lower.Found && r.Upper.Found);
        EXPECT_DOUBLE_EQ(r.Lower.Hz, c.lower);
        EXPECT_DOUBLE_EQ(r.Upper.Hz, c.upper);
        ASSERT_TRUE(r.BandwidthHz && r.CentreHz && r.Q);
        EXPECT_DOUBLE_EQ(*r.BandwidthHz, c.upper - c.lower);
        EXPECT_DOUBLE_EQ(*r.CentreHz, std::sqrt(c.lower * c.upper));
        EXPECT_DOUBLE_EQ(*r.Q, *r.CentreHz / (c.upper - c.lower));
    }
}

TEST(ReadFilter, EdgesOutsideTheRangeAreSaidSoAndLeaveBandwidthCentreAndQOut) {
    struct Case {
        const char* name;
        std::vector<double> levels;
        bool lower, upper;
    };
    const std::vector<Case> cases = {
        {"low-pass: no lower edge", {0, 0, -1, -2, -5, -9}, false, true},
        {"high-pass: no upper edge", {-9, -5, -2, -1, 0, 0}, true, false},
        {"flat: neither", {0, -1, -2, -1, 0, -0.5}, false, false},
        {"edge on the last point", {-1, 0, -1, -3}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FilterReadout r = Trace(c.levels).read();
        ASSERT_TRUE(r.Valid);
        EXPECT_EQ(r.Lower.Found, c.lower);
        EXPECT_EQ(r.Upper.Found, c.upper);
        EXPECT_FALSE(r.BandwidthHz || r.CentreHz || r.Q);
    }
    // A level exactly on the edge's target ends the search there.
    EXPECT_DOUBLE_EQ(Trace({-1, 0, -1, -3}).read().Upper.Hz, 4000);
}

TEST(ReadFilter, TheEdgeIsTheFirstCrossingOutwardsFromThePeak) {
    // A side lobe at -1 dB beyond the first -3 dB crossing does not move the edge.
    const Trace t({-20, -10, -1, -10, 0, -5, -1, -20});
    const FilterReadout r = t.read();
    EXPECT_EQ(r.PeakHz, 5000);
    EXPECT_DOUBLE_EQ(r.Lower.Hz, 4000 + 1000 * (7.0 / 10.0));
    EXPECT_DOUBLE_EQ(r.Upper.Hz, 5000 + 1000 * (3.0 / 5.0));
}

TEST(ReadFilter, AFlatTopPeaksInItsMiddle) {
    // Three neighbouring points read the peak; a later equal point is not part of the top.
    const FilterReadout r = Trace({-10, -2, 0, 0, 0, -2, -10, 0, -10}).read();
    EXPECT_EQ(r.PeakIndex, 2);
    EXPECT_EQ(r.PeakHz, 4000);
    EXPECT_DOUBLE_EQ(r.Lower.Hz, 2000 - 1000 * (1.0 / 8.0));
    EXPECT_DOUBLE_EQ(r.Upper.Hz, 6000 + 1000 * (1.0 / 8.0));
}

TEST(ReadFilter, ShapeFactorNeedsAllFourEdges) {
    // 0 dB peak; -6 dB at +-1 point, -60 dB at +-4 points: shape (8 / 2) = 4.
    const Trace t({-80, -60, -42, -24, -6, 0, -6, -24, -42, -60, -80});
    const FilterReadout r = t.read();
    ASSERT_TRUE(r.ShapeFactor);
    EXPECT_DOUBLE_EQ(*r.ShapeFactor, 4.0);
    // Not -60 dB deep on one side: no shape factor, the -3 dB readout stays.
    const FilterReadout shallow = Trace({-80, -60, -42, -24, -6, 0, -6, -24, -42}).read();
    EXPECT_FALSE(shallow.ShapeFactor);
    EXPECT_TRUE(shallow.BandwidthHz);
}

TEST(ReadFilter, ASubRangeAndDegenerateInput) {
    const Trace t({-8, -6, -4, -2, 0, -2, -4, -6, -8});
    // Points 5..8 only: the peak is the range's first point, no lower edge in it.
    const FilterReadout part = ReadFilter(t.f, t.l, 5, 8);
    ASSERT_TRUE(part.Valid);
    EXPECT_EQ(part.PeakHz, 6000);
    EXPECT_FALSE(part.Lower.Found);
    EXPECT_DOUBLE_EQ(part.Upper.Hz, 7500);
    EXPECT_EQ(part.MinHz, 9000);
    // Limits beyond the arrays are cut to them; fewer than two points is no readout.
    EXPECT_TRUE(ReadFilter(t.f, t.l, -5, 100).Valid);
    EXPECT_FALSE(ReadFilter(t.f, t.l, 3, 3).Valid);
    EXPECT_FALSE(ReadFilter(t.f, t.l, 6, 2).Valid);
    EXPECT_FALSE(ReadFilter({}, {}, 0, 10).Valid);
    // N not above 0 is 3.
    EXPECT_EQ(t.read(0).DownDb, 3);
    EXPECT_EQ(t.read(-2).DownDb, 3);
}

TEST(PointsBetween, IndicesOfTheFrequenciesInsideEitherOrder) {
    const std::vector<double> f = {100, 200, 300, 400, 500};
    struct Case {
        double lo, hi;
        int first, last; // -1: none
    };
    for (const Case& c :
         {Case{150, 450, 1, 3}, Case{450, 150, 1, 3}, Case{100, 500, 0, 4}, Case{0, 1000, 0, 4},
          Case{250, 320, -1, -1}, Case{200, 300, 1, 2}, Case{600, 700, -1, -1}}) {
        SCOPED_TRACE(c.lo);
        const auto r = PointsBetween(f, c.lo, c.hi);
        if (c.first < 0) {
            EXPECT_FALSE(r);
        } else {
            ASSERT_TRUE(r);
            EXPECT_EQ(r->first, c.first);
            EXPECT_EQ(r->second, c.last);
        }
    }
}

TEST(MarkerColumnFor, InverseOfTheReadoutMappingLimitedToTheChart) {
    // Graph1: 449 columns; column x shows x / 448 * span + Xmin.
    const double xmin = 10e6;
    const double xmax = 11e6;
    for (int col : {0, 1, 90, 223, 358, 447, 448}) {
        const double hz = col / 448.0 * (xmax - xmin) + xmin;
        EXPECT_EQ(MarkerColumnFor(hz, xmin, xmax, 449), col);
    }
    struct Case {
        double hz;
        int col;
    };
    for (const Case& c : {Case{9e6, 0}, Case{12e6, 448}, Case{NAN, 0}, Case{10e6 + 1116, 0},
                          Case{10e6 + 1117, 1}}) {
        SCOPED_TRACE(c.hz);
        EXPECT_EQ(MarkerColumnFor(c.hz, xmin, xmax, 449), c.col);
    }
    EXPECT_EQ(MarkerColumnFor(5, 5, 5, 449), 0); // no span
    EXPECT_EQ(MarkerColumnFor(5, 0, 10, 0), 0);  // no chart
}

} // namespace
} // namespace myrl
