#include "Draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace myrl {
namespace {

constexpr uint32_t kTrace = Rgb(0, 255, 0);

// Graph1 as the display window sets it up: 449 x 283, ten divisions, x over the sweep.
struct Graph1Fixture : ::testing::Test {
    GraphPlot graph{449, 283};
    std::unique_ptr<MeasState> state = std::make_unique<MeasState>();

    void SetUp() override {
        graph.XGridNum = 10;
        graph.YGridNum = 10;
        graph.RefXEn = false;
        graph.RefClr = Rgb(255, 255, 0);
        setSweep(10650000, 10750000);
        graph.Ymin = -90;
        graph.Ymax = 10;
        state->PointNum = kPointCount;
        state->TraceClr = kTrace;
        state->Marker1X = 90;
        state->Marker2X = 358;
    }

    void setSweep(double start, double stop) {
        graph.Xmin = start;
        graph.Xmax = stop;
        for (int i = 0; i <= kPointCount; ++i) {
            state->FreqAxis[i] = start + (stop - start) * i / kPointCount;
        }
    }

    MarkerReadouts readouts(bool swr = false, char thousands = ',', char decimal = '.') {
        return ShowMarkerReadouts(graph, *state, swr, thousands, decimal);
    }
};

using DrawMarkersTest = Graph1Fixture;

TEST_F(DrawMarkersTest, DashesOfFiveEveryEightFromRowOne) {
    graph.Clear();
    DrawMarkers(graph, *state);
    EXPECT_EQ(graph.canvas().PenColor(), MarkerColour);
    for (int x : {90, 358}) {
        int dashes = 0;
        for (int y = 0; y < 283; ++y) {
            const bool marked = graph.canvas().Pixel(x, y) == MarkerColour;
            EXPECT_EQ(marked, y >= 1 && (y - 1) % 8 < 5) << x << "," << y;
            dashes += marked && (y - 1) % 8 == 0;
        }
        EXPECT_EQ(dashes, 36);
        EXPECT_EQ(graph.canvas().Pixel(x, 282), MarkerColour); // last dash 281..285
    }
    EXPECT_NE(graph.canvas().Pixel(91, 1), MarkerColour);
}

TEST_F(DrawMarkersTest, ColumnsOutsideThePlotDrawNothing) {
    graph.Clear();
    const std::vector<uint32_t> before(graph.canvas().Bits(), graph.canvas().Bits() + 449 * 283);
    state->Marker1X = -1;
    state->Marker2X = 100000;
    DrawMarkers(graph, *state);
    EXPECT_EQ(std::vector<uint32_t>(graph.canvas().Bits(), graph.canvas().Bits() + 449 * 283),
              before);
}

using MarkerReadoutsTest = Graph1Fixture;

TEST_F(MarkerReadoutsTest, FrequencyTexts) {
    struct Case {
        int m1, m2;
        bool zeroSpan;
        char thousands;
        std::string fl, fu, df;
    };
    const std::vector<Case> cases{
        {90, 358, false, ',', "FL= 10,670,089  Hz", "FU= 10,729,911  Hz", "df = 59,821  Hz"},
        {358, 90, false, ',', "FL= 10,670,089  Hz", "FU= 10,729,911  Hz", "df = 59,821  Hz"},
        {90, 358, false, '.', "FL= 10.670.089  Hz", "FU= 10.729.911  Hz", "df = 59.821  Hz"},
        {90, 358, true, ',', "FL=  20 %", "FU=  80 %", "df =  60 %"},
        {200, 200, true, ',', "FL=  45 %", "FU=  45 %", "df =   0 %"},
    };
    for (const Case& k : cases) {
        state->Marker1X = k.m1;
        state->Marker2X = k.m2;
        state->ZeroSpan = k.zeroSpan;
        setSweep(k.zeroSpan ? 0 : 10650000, k.zeroSpan ? 100 : 10750000);
        const MarkerReadouts r = readouts(false, k.thousands);
        EXPECT_EQ(r.F_disp1, k.fl) << k.m1 << "/" << k.m2;
        EXPECT_EQ(r.F_disp2, k.fu);
        EXPECT_EQ(r.DF_disp, k.df);
        EXPECT_LE(state->MarkerFL, state->MarkerFU);
    }
    state->ZeroSpan = false;
    setSweep(10650000, 10750000);
    state->Marker1X = 358;
    state->Marker2X = 90;
    readouts();
    EXPECT_NEAR(state->MarkerFL, 10670089.2857, 1e-3);
    EXPECT_NEAR(state->MarkerFU, 10729910.7143, 1e-3);
}

// Trace x = 1000 * k, value -k; with W = 101 and x from 0 to 250000 each column is 2500.
TEST_F(MarkerReadoutsTest, LevelTexts) {
    struct Case {
        int column;
        bool swr;
        double flatValue; // if not 0, every DispTrace entry is this value
        std::string text;
    };
    const std::vector<Case> cases{
        {1, false, 0, "( -2.5 dB )"}, // interval 2..3, halfway
        {2, false, 0, "( -5.0 dB )"}, // on point 5: interval 4..5 gives its value
        {0, false, 0, "( 0.0 dB )"},         {100, false, 0, "( -250.0 dB )"},
        {1, true, 10.0, "( SWR = 10.000 )"}, {1, true, 10.001, "( SWR > 10.0 )"},
        {1, true, 1.5, "( SWR = 1.500 )"},
    };
    graph.SetSize(101, 283);
    graph.Xmin = 0;
    graph.Xmax = 250000;
    for (const Case& k : cases) {
        for (int i = 0; i <= kPointCount; ++i) {
            state->FreqAxis[i] = 1000.0 * i;
            state->DispTrace[i] = k.flatValue != 0 ? k.flatValue : -i;
        }
        state->Marker1X = k.column;
        state->Marker2X = k.column;
        const MarkerReadouts r = readouts(k.swr);
        EXPECT_EQ(r.M_disp1, k.text) << k.column;
        EXPECT_EQ(r.M_disp2, k.text) << k.column;
    }
}

TEST_F(MarkerReadoutsTest, LevelBeyondTheLastPointIsExtrapolated) {
    graph.SetSize(101, 283);
    graph.Xmin = 0;
    graph.Xmax = 300000;
    for (int i = 0; i <= kPointCount; ++i) {
        state->FreqAxis[i] = 1000.0 * i;
        state->DispTrace[i] = -i;
    }
    state->Marker1X = 0;   // x = 0: interval 0..1
    state->Marker2X = 100; // x = 300000: interval 255..256, extrapolated
    const MarkerReadouts r = readouts(false, ',', ',');
    EXPECT_EQ(r.M_disp1, "( 0,0 dB )");
    EXPECT_EQ(r.M_disp2, "( -300,0 dB )");
}

TEST_F(MarkerReadoutsTest, EqualAxisValuesShowTheLowerPointWithoutInterpolation) {
    graph.SetSize(101, 283);
    graph.Xmin = 0;
    graph.Xmax = 250000;
    for (int i = 0; i <= kPointCount; ++i) {
        state->FreqAxis[i] = 5000;
        state->DispTrace[i] = -i;
    }
    // A marker on the common x value searches down to interval 0; one above it stops at 255.
    state->Marker1X = 2; // 5000
    state->Marker2X = 3; // 7500
    const MarkerReadouts r = readouts();
    EXPECT_EQ(r.M_disp1, "( 0.0 dB )");
    EXPECT_EQ(r.M_disp2, "( -255.0 dB )");
}

using RedrawResponseTest = Graph1Fixture;

TEST_F(RedrawResponseTest, ClearsPlotsDrawsMarkersAndReturnsReadouts) {
    graph.canvas().SetPenColor(Rgb(1, 1, 1));
    graph.canvas().MoveTo(0, 0);
    graph.canvas().LineTo(449, 283); // stale picture
    for (int i = 0; i <= kPointCount; ++i) {
        state->DispTrace[i] = -45;
    }
    const MarkerReadouts r = RedrawResponse(graph, *state, false, ',', '.');

    EXPECT_EQ(graph.canvas().Pixel(100, 100), graph.BgColor);
    EXPECT_EQ(graph.canvas().Pixel(200, 155), kTrace); // row 282 - 45 * 2.82 = 155.1
    EXPECT_EQ(graph.canvas().Pixel(200, 28), graph.RefClr);
    EXPECT_EQ(graph.canvas().Pixel(90, 155), MarkerColour); // markers over the trace
    EXPECT_EQ(graph.canvas().Pixel(358, 1), MarkerColour);
    EXPECT_EQ(r.F_disp1, "FL= 10,670,089  Hz");
    EXPECT_EQ(r.M_disp1, "( -45.0 dB )");
    EXPECT_EQ(r.M_disp2, "( -45.0 dB )");
}

TEST_F(RedrawResponseTest, SwrPresentationWritesBackNonPositiveValues) {
    graph.logY = true;
    graph.Ymin = 1;
    graph.Ymax = 10;
    graph.RefYEn = false;
    for (int i = 0; i <= kPointCount; ++i) {
        state->DispTrace[i] = i == 10 ? 0 : 2;
    }
    state->DispTrace[kPointCount] = -1; // entry 256 is not plotted
    const MarkerReadouts r = RedrawResponse(graph, *state, true, ',', '.');
    EXPECT_EQ(state->DispTrace[10], 1e-99);
    EXPECT_EQ(state->DispTrace[kPointCount], -1);
    EXPECT_EQ(graph.canvas().Pixel(300, 197), kTrace);
    EXPECT_EQ(r.M_disp1, "( SWR = 2.000 )");
}

TEST_F(RedrawResponseTest, TheMemoryIsDrawnUnderTheTraceOnlyWhileShown) {
    constexpr uint32_t kMem = Rgb(255, 0, 255);
    for (int i = 0; i <= kPointCount; ++i) {
        state->DispTrace[i] = -45;
        state->MemTrace[i] = -20; // row 282 - 70 * 2.82 = 84.6
    }
    state->MemTrace[128] = -45; // meets the trace in the middle
    state->MemClr = kMem;
    // A memory of this plan: its frequencies cover the axis.
    state->MemPoints = 2;
    state->MemFreq[0] = state->FreqAxis[0];
    state->MemFreq[1] = state->FreqAxis[kPointCount - 1];
    struct Case {
        int32_t mode;
        bool drawn;
    };
    for (const Case& c :
         {Case{kMemOff, false}, Case{kMemShown, true}, Case{kMemSubtracted, false}}) {
        SCOPED_TRACE(c.mode);
        state->MemMode = c.mode;
        RedrawResponse(graph, *state, false, ',', '.');
        EXPECT_EQ(graph.canvas().Pixel(300, 85) == kMem, c.drawn);
        EXPECT_EQ(graph.canvas().Pixel(300, 155), kTrace);
        EXPECT_EQ(graph.canvas().Pixel(224, 155), kTrace); // the trace lies over the memory
    }
}

// A memory of another plan is drawn only over the frequencies it has points of, never as
// flat lines beyond its ends; so is the trace less such a memory.
TEST_F(RedrawResponseTest, AMemoryOfAnotherPlanIsDrawnOnlyWhereItHasPoints) {
    constexpr uint32_t kMem = Rgb(255, 0, 255);
    state->MemClr = kMem;
    state->Marker1X = state->Marker2X = -10; // no marker over the memory
    for (int i = 0; i <= kPointCount; ++i) {
        state->DispTrace[i] = -45; // row 155
        state->MemTrace[i] = -20;  // row 84.6
    }
    // Column of x on this 449-pixel chart of 10.65 .. 10.75 MHz.
    auto column = [&](double hz) { return (hz - 10650000) / 100000 * 448; };
    struct Case {
        const char* what;
        double low, high; // the memory's first and last frequency
    } cases[] = {
        {"the lower half", 10600000, 10700000},
        {"the middle", 10675000, 10725000},
        {"the upper quarter", 10725000, 10900000},
        {"the same plan", 10650000, 10750000},
    };
    struct Mode {
        int32_t mode;
        int row;         // where the line drawn over the memory's points lies
        uint32_t colour; // and its colour
    };
    for (const Mode& m : {Mode{kMemShown, 85, kMem}, Mode{kMemSubtracted, 155, kTrace}}) {
        SCOPED_TRACE(m.mode);
        state->MemMode = m.mode;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            state->MemPoints = 3;
            state->MemFreq[0] = c.low;
            state->MemFreq[1] = (c.low + c.high) / 2;
            state->MemFreq[2] = c.high;
            RedrawResponse(graph, *state, false, ',', '.');
            for (int x = 0; x < 449; ++x) {
                // Points 0..255 are drawn; the last lies a little short of the right edge.
                const bool inside = x >= column(std::max(c.low, state->FreqAxis[0])) + 1 &&
                                    x <= column(std::min(c.high, state->FreqAxis[255])) - 1;
                const bool outside = x < column(c.low) - 1 || x > column(c.high) + 1;
                const bool drawn = graph.canvas().Pixel(x, m.row) == m.colour;
                if (inside) {
                    EXPECT_TRUE(drawn) << "column " << x;
                } else if (outside) {
                    EXPECT_FALSE(drawn) << "column " << x;
                }
            }
        }
    }
    state->MemMode = kMemShown;
    // A memory wholly beside the plan is not drawn at all.
    state->MemFreq[0] = 1e6;
    state->MemFreq[1] = 2e6;
    state->MemFreq[2] = 3e6;
    RedrawResponse(graph, *state, false, ',', '.');
    for (int x = 0; x < 449; ++x) {
        EXPECT_NE(graph.canvas().Pixel(x, 85), kMem) << "column " << x;
    }
}

} // namespace
} // namespace myrl

namespace myrl {

namespace {

// The number of fields of an aggregate, counted by how many initialisers it takes.
struct AnyValue {
    template <class T> operator T() const;
};
template <class T, class... Given> constexpr size_t FieldCount() {
    if constexpr (requires { T{Given{}..., AnyValue{}}; }) {
        return FieldCount<T, Given..., AnyValue>();
    } else {
        return sizeof...(Given);
    }
}

// Everything a redraw reads, as the caller holds it.
struct RedrawSource {
    GraphPlot g{449, 283};
    MeasState s;
    bool swr = false;
    char ts = ',';
    char ds = '.';
    RedrawKey Key() const { return RedrawInputs(g, s, swr, ts, ds); }
};

using Change = std::function<void(RedrawSource&)>;

// One change of every chart property, in declaration order.
const std::vector<Change> kChartChanges = {
    [](RedrawSource& r) { r.g.BgColor = 1; },    [](RedrawSource& r) { r.g.FrmColor = 1; },
    [](RedrawSource& r) { r.g.GridColor = 1; },  [](RedrawSource& r) { r.g.XGridNum = 5; },
    [](RedrawSource& r) { r.g.YGridNum = 5; },   [](RedrawSource& r) { r.g.Xmin = -2; },
    [](RedrawSource& r) { r.g.Xmax = 2; },       [](RedrawSource& r) { r.g.Ymin = -2; },
    [](RedrawSource& r) { r.g.Ymax = 5; },       [](RedrawSource& r) { r.g.logY = true; },
    [](RedrawSource& r) { r.g.logX = true; },    [](RedrawSource& r) { r.g.RefX = 0.5; },
    [](RedrawSource& r) { r.g.RefY = 0.5; },     [](RedrawSource& r) { r.g.RefXEn = false; },
    [](RedrawSource& r) { r.g.RefYEn = false; }, [](RedrawSource& r) { r.g.RefClr = 1; },
};

// One change of every other input of the key, in the key's order (its first field is the
// chart's properties, changed by the table above).
const std::vector<Change> kOtherChanges = {
    [](RedrawSource& r) { r.g.SetSize(449, 143); },
    [](RedrawSource& r) { r.g.SetSize(300, 283); },
    [](RedrawSource& r) { r.s.PointNum = 100; },
    [](RedrawSource& r) { r.s.TraceClr = 1; },
    [](RedrawSource& r) { r.s.Marker1X = 7; },
    [](RedrawSource& r) { r.s.Marker2X = 7; },
    [](RedrawSource& r) { r.s.ZeroSpan = true; },
    [](RedrawSource& r) { r.swr = true; },
    [](RedrawSource& r) { r.ts = '.'; },
    [](RedrawSource& r) { r.ds = ','; },
    [](RedrawSource& r) { r.s.FreqAxis[0] = 1; },
    [](RedrawSource& r) { r.s.DispTrace[255] = 1e-3; },
    [](RedrawSource& r) { r.s.MemMode = kMemSubtracted; },
    [](RedrawSource& r) {
        r.s.MemMode = kMemShown;
        r.s.MemClr = 1;
    },
    [](RedrawSource& r) {
        r.s.MemMode = kMemShown;
        r.s.MemTrace[3] = 1;
    },
    [](RedrawSource& r) {
        r.s.MemMode = kMemShown;
        r.s.MemPoints = 2;
        r.s.MemFreq[1] = 1e9;
    },
};

} // namespace

// A redraw may be skipped only when nothing it draws from has changed: every input
// changes the key, and every field of the key has its row here (a field added to the key
// or to the chart's properties without a row fails the count).
TEST(RedrawInputs, EveryInputOfTheRedrawChangesTheKey) {
    EXPECT_EQ(FieldCount<ChartProps>(), kChartChanges.size());
    EXPECT_EQ(FieldCount<RedrawKey>(), 1 + kOtherChanges.size());
    RedrawSource base;
    base.s.PointNum = kPointCount;
    EXPECT_EQ(base.Key(), base.Key());
    std::vector<Change> all = kChartChanges;
    all.insert(all.end(), kOtherChanges.begin(), kOtherChanges.end());
    for (size_t i = 0; i < all.size(); ++i) {
        RedrawSource changed = base;
        all[i](changed);
        EXPECT_FALSE(changed.Key() == base.Key()) << "change " << i;
    }
}

// The memory's colour and trace count while it is shown, and play no part while it is off
// (a run that never stores a memory redraws exactly when it always has).
TEST(RedrawInputs, TheMemoryCountsOnlyWhileShown) {
    RedrawSource base;
    base.s.PointNum = kPointCount;
    const std::vector<Change> memoryChanges = {
        [](RedrawSource& r) { r.s.MemClr = 5; },
        [](RedrawSource& r) { r.s.MemTrace[100] = -3; },
    };
    for (size_t i = 0; i < memoryChanges.size(); ++i) {
        RedrawSource off = base;
        memoryChanges[i](off);
        EXPECT_TRUE(off.Key() == base.Key()) << "off, change " << i;
        RedrawSource shown = base;
        shown.s.MemMode = kMemShown;
        RedrawSource changed = shown;
        memoryChanges[i](changed);
        EXPECT_FALSE(changed.Key() == shown.Key()) << "shown, change " << i;
    }
}

TEST(RedrawInputs, CanvasGenerationCountsDrawing) {
    GraphPlot g(10, 10);
    const uint64_t before = g.canvas().Generation();
    g.canvas().MoveTo(0, 0);
    EXPECT_EQ(g.canvas().Generation(), before);
    g.canvas().LineTo(5, 0);
    EXPECT_GT(g.canvas().Generation(), before);
}

} // namespace myrl
