#include "GraphPlot.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace myrl {
namespace {

constexpr uint32_t kBg = Rgb(0, 0, 0);
constexpr uint32_t kFrame = Rgb(192, 192, 192);
constexpr uint32_t kGrid = Rgb(128, 128, 128);
constexpr uint32_t kRef = Rgb(255, 255, 0);
constexpr uint32_t kTrace = Rgb(0, 255, 0);

// A chart with the reference lines off, so only background, grid and frame are drawn.
GraphPlot gridOnly(int w, int h, int xDiv, int yDiv) {
    GraphPlot g(w, h);
    g.XGridNum = xDiv;
    g.YGridNum = yDiv;
    g.RefXEn = false;
    g.RefYEn = false;
    return g;
}

std::vector<int> columnsOf(const GraphPlot& g, int row, uint32_t color) {
    std::vector<int> out;
    for (int x = 0; x < g.Width(); ++x) {
        if (g.canvas().Pixel(x, row) == color) {
            out.push_back(x);
        }
    }
    return out;
}

std::vector<int> rowsOf(const GraphPlot& g, int column, uint32_t color) {
    std::vector<int> out;
    for (int y = 0; y < g.Height(); ++y) {
        if (g.canvas().Pixel(column, y) == color) {
            out.push_back(y);
        }
    }
    return out;
}

TEST(GraphPlot, ConstructorDefaults) {
    const GraphPlot g;
    EXPECT_EQ(g.BgColor, kBg);
    EXPECT_EQ(g.FrmColor, kFrame);
    EXPECT_EQ(g.GridColor, kGrid);
    EXPECT_EQ(g.XGridNum, 4);
    EXPECT_EQ(g.YGridNum, 4);
    EXPECT_EQ(g.Xmin, -1.0);
    EXPECT_EQ(g.Xmax, 1.0);
    EXPECT_EQ(g.Ymin, -1.0);
    EXPECT_EQ(g.Ymax, 1.0);
    EXPECT_FALSE(g.logY);
    EXPECT_FALSE(g.logX);
    EXPECT_EQ(g.RefX, 0.0);
    EXPECT_EQ(g.RefY, 0.0);
    EXPECT_TRUE(g.RefXEn);
    EXPECT_TRUE(g.RefYEn);
    EXPECT_EQ(g.RefClr, Rgb(255, 255, 255));
}

TEST(GraphPlotClear, LinearGridOf449By283) {
    GraphPlot g = gridOnly(449, 283, 10, 10);
    g.Clear();
    // Grid lines cover rows 1..H-2 and columns 1..W-2; the last of each set lies under
    // the frame.
    EXPECT_EQ(columnsOf(g, 100, kGrid),
              (std::vector<int>{45, 90, 134, 179, 224, 269, 314, 358, 403}));
    EXPECT_EQ(rowsOf(g, 100, kGrid), (std::vector<int>{28, 56, 85, 113, 141, 169, 197, 226, 254}));
    EXPECT_EQ(rowsOf(g, 45, kGrid).front(), 1);
    EXPECT_EQ(rowsOf(g, 45, kFrame), (std::vector<int>{0, 282}));
    EXPECT_EQ(columnsOf(g, 28, kFrame), (std::vector<int>{0, 448}));
    EXPECT_EQ(columnsOf(g, 0, kFrame).size(), 449u);
    EXPECT_EQ(rowsOf(g, 448, kFrame).size(), 283u);
    EXPECT_EQ(g.canvas().Pixel(100, 100), kBg);
    EXPECT_EQ(g.canvas().PenColor(), g.RefClr);
    EXPECT_EQ(g.canvas().PenWidth(), 1);
    EXPECT_EQ(g.canvas().BrushColor(), kBg);
}

TEST(GraphPlotClear, GridCounts) {
    struct Case {
        int w, xDiv;
        std::vector<int> columns; // grid columns on a middle row, frame excluded
    };
    const std::vector<Case> cases{
        {10, 2, {4}}, // 4.5 goes to the even neighbour; the second line is under the frame
        {10, 0, {}},
        {10, -3, {}},
        {11, 1, {}},
    };
    for (const Case& k : cases) {
        GraphPlot g = gridOnly(k.w, 8, k.xDiv, 0);
        g.Clear();
        EXPECT_EQ(columnsOf(g, 3, kGrid), k.columns) << k.w << " / " << k.xDiv;
        EXPECT_TRUE(rowsOf(g, 5, kGrid).empty());
    }
}

TEST(GraphPlotClear, LogarithmicRows) {
    struct Case {
        int h;
        std::vector<int> rows; // visible grid rows on a column without a vertical line
    };
    const std::vector<Case> cases{
        {283, {0, 13, 27, 44, 63, 85, 112, 147, 197, 282}},
        {143, {0, 6, 14, 22, 32, 43, 57, 74, 99, 142}},
    };
    for (const Case& k : cases) {
        GraphPlot g = gridOnly(449, k.h, 10, 10);
        g.logY = true;
        g.Ymin = 1.0;
        g.Ymax = 10.0;
        g.GridColor = Rgb(1, 2, 3);
        g.FrmColor = Rgb(1, 2, 3); // rows 0 and H-1 lie under the frame
        g.Clear();
        EXPECT_EQ(rowsOf(g, 100, g.GridColor), k.rows) << k.h;
        EXPECT_EQ(columnsOf(g, k.rows[1], g.GridColor).size(), 449u);
        // The vertical lines stay linear.
        EXPECT_EQ(g.canvas().Pixel(45, 30), g.GridColor);
    }
}

TEST(GraphPlotClear, LogarithmicXDrawsNoGridAndNoVerticalReference) {
    GraphPlot g(50, 30);
    g.logX = true;
    g.Xmin = 1;
    g.Xmax = 100;
    g.RefX = 10;
    g.RefYEn = false;
    g.Clear();
    for (int x = 1; x < 49; ++x) {
        for (int y = 1; y < 29; ++y) {
            ASSERT_EQ(g.canvas().Pixel(x, y), kBg) << x << "," << y;
        }
    }
}

TEST(GraphPlotClear, ReferenceLinesAreDrawnOverGridAndFrame) {
    GraphPlot g(449, 283);
    g.XGridNum = 10;
    g.YGridNum = 10;
    g.Xmin = 10650000;
    g.Xmax = 10750000;
    g.Ymin = -90;
    g.Ymax = 10;
    g.RefX = g.Xmin;
    g.RefY = 0;
    g.RefClr = kRef;
    g.Clear();
    std::vector<int> inner;
    for (int x = 0; x <= 447; ++x) { // column 0 is the vertical reference line
        inner.push_back(x);
    }
    EXPECT_EQ(columnsOf(g, 28, kRef), inner);
    EXPECT_EQ(g.canvas().Pixel(448, 28), kFrame);
    std::vector<int> rows = rowsOf(g, 0, kRef);
    EXPECT_EQ(rows.front(), 1);
    EXPECT_EQ(rows.back(), 281);
    EXPECT_EQ(rows.size(), 281u);
}

// The limit of 10 pixels shows on a chart shrunk below its canvas, whose rows under the
// chart keep what is drawn there.
TEST(GraphPlotClear, ReferenceWithinTenPixelsOutsideIsStillDrawn) {
    struct Case {
        double refY, ymin, ymax;
        int row; // -1: no reference line
    };
    // H = 31: row = 30 - 15 * (y + 1).
    const std::vector<Case> cases{
        {-1.7, -1, 1, 40},  // row 40.5 < H + 10
        {-1.75, -1, 1, -1}, // row 41.25
        {1.7, -1, 1, -1},   // row -10.5
        {0, 2, 2, -1},      // empty range
    };
    for (const Case& k : cases) {
        GraphPlot g(40, 60);
        g.SetSize(40, 31);
        g.RefXEn = false;
        g.RefY = k.refY;
        g.Ymin = k.ymin;
        g.Ymax = k.ymax;
        g.RefClr = kRef;
        g.Clear();
        std::vector<int> rows;
        for (int y = 0; y < 60; ++y) {
            if (g.canvas().Pixel(20, y) == kRef) {
                rows.push_back(y);
            }
        }
        EXPECT_EQ(rows, k.row < 0 ? std::vector<int>{} : std::vector<int>{k.row}) << k.refY;
    }
}

// Where the last point of a trace lands: Xmin = 0, Xmax = 448 on W = 449 (one unit per
// pixel), Ymin = 0, Ymax = 282 on H = 283 (row = 282 - y).
TEST(GraphPlotPlot, PointsAreClampedJustOutsideThePlot) {
    struct Case {
        double x, y;
        int col, row;
    };
    const std::vector<Case> cases{
        {448, 0, 448, 282},      // Xmax -> W-1, Ymin -> H-1
        {448.7, -0.7, 449, 283}, // between W-1 and W stays, then rounds
        {449, -1, 449, 283},     // exactly W stays
        {449.01, -1.2, 459, 293}, {1e300, 1e300, 459, -10}, {-0.01, 282.01, -10, -10},
        {224.5, 141.5, 224, 140}, // ties to even: 224.5 -> 224, 140.5 -> 140
    };
    for (const Case& k : cases) {
        GraphPlot g(449, 283);
        g.Xmin = 0;
        g.Xmax = 448;
        g.Ymin = 0;
        g.Ymax = 282;
        std::array<double, 2> X{100, k.x};
        std::array<double, 2> Y{100, k.y};
        g.Plot(X, Y, 2, kTrace);
        EXPECT_EQ(g.canvas().PenX(), k.col) << k.x;
        EXPECT_EQ(g.canvas().PenY(), k.row) << k.y;
    }
}

TEST(GraphPlotPlot, TraceRunsOffTheEdge) {
    GraphPlot g(449, 283);
    g.Xmin = 0;
    g.Xmax = 448;
    g.Ymin = 0;
    g.Ymax = 282;
    std::array<double, 3> X{448, 0, 5000};
    std::array<double, 3> Y{141, 141, 141};
    g.Plot(X, Y, 3, kTrace);
    EXPECT_EQ(columnsOf(g, 141, kTrace).size(), 449u); // W-1 .. 1, then 0 .. beyond W
    EXPECT_EQ(g.canvas().PenColor(), kTrace);
}

TEST(GraphPlotPlot, ShortTracesDrawNothing) {
    for (int n : {1, 0, -5}) {
        GraphPlot g(20, 20);
        g.Clear();
        const std::vector<uint32_t> before(g.canvas().Bits(), g.canvas().Bits() + 400);
        std::array<double, 2> X{0, 0.5};
        std::array<double, 2> Y{0, 0.5};
        g.canvas().MoveTo(3, 3);
        g.Plot(X, Y, n, kTrace);
        EXPECT_EQ(std::vector<uint32_t>(g.canvas().Bits(), g.canvas().Bits() + 400), before) << n;
        // One point only moves the pen (to the middle of a -1..1 chart).
        EXPECT_EQ(g.canvas().PenX(), n == 1 ? 10 : 3) << n;
    }
}

TEST(GraphPlotPlot, LogAxisWritesBackNonPositiveValues) {
    GraphPlot g(449, 283);
    g.logY = true;
    g.Ymin = 1;
    g.Ymax = 10;
    std::array<double, 5> X{-1, -0.5, 0, 0.5, 1};
    std::array<double, 5> Y{2, 0, -3, 1, -1};
    g.Plot(X, Y, 4, kTrace);
    EXPECT_EQ(Y, (std::array<double, 5>{2, 1e-99, 1e-99, 1, -1})); // entry 4 is beyond N
    EXPECT_EQ(X[0], -1);                                           // linear axis untouched
    EXPECT_EQ(g.canvas().PenY(), 282);
    // The second point maps far below the plot: the segment leaves through the bottom.
    EXPECT_EQ(g.canvas().Pixel(0, 197), kTrace);
    EXPECT_EQ(g.canvas().Pixel(99, 282), kTrace);

    g.logX = true;
    g.Xmin = 1;
    g.Xmax = 100;
    g.Plot(X, Y, 5, kTrace);
    EXPECT_EQ(X, (std::array<double, 5>{1e-99, 1e-99, 1e-99, 0.5, 1}));
    EXPECT_EQ(Y[4], 1e-99);
}

TEST(GraphPlotPlot, CountIsLimitedToTheArrays) {
    GraphPlot g(20, 20);
    std::vector<double> X{-1, 1};
    std::vector<double> Y{0, 0, 0};
    g.logY = false;
    g.Plot(X, Y, 1000, kTrace);
    EXPECT_EQ(g.canvas().PenX(), 19);
}

TEST(GraphPlotSize, ShrinkKeepsCanvasAndClearUsesNewSize) {
    GraphPlot g = gridOnly(449, 283, 10, 10);
    g.Clear();
    g.SetSize(449, 143);
    EXPECT_EQ(g.Height(), 143);
    EXPECT_EQ(g.canvas().Height(), 283);
    g.BgColor = Rgb(9, 9, 9);
    g.Clear();
    EXPECT_EQ(columnsOf(g, 142, kFrame).size(), 449u);
    EXPECT_EQ(g.canvas().Pixel(5, 140), Rgb(9, 9, 9));
    EXPECT_EQ(g.canvas().Pixel(5, 200), kBg); // below the plot: not repainted

    g.SetSize(500, 300);
    EXPECT_EQ(g.canvas().Width(), 500);
    EXPECT_EQ(g.canvas().Height(), 300);
    EXPECT_EQ(g.canvas().Pixel(499, 299), Rgb(9, 9, 9));
}

} // namespace
} // namespace myrl
