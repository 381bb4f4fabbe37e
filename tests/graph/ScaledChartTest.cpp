#include "ScaledChart.h"
#include "Draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace myrl {
namespace {

constexpr uint32_t kGrid = Rgb(128, 128, 128);
constexpr uint32_t kTrace = Rgb(0, 255, 0);

// Lengths of the runs of grid colour along device row `line` (or column, `down`).
std::vector<int> gridRuns(const Canvas& device, bool down, int line) {
    const int length = down ? device.Height() : device.Width();
    std::vector<int> runs;
    for (int i = 0, run = 0; i <= length; ++i) {
        if (i < length && (down ? device.Pixel(line, i) : device.Pixel(i, line)) == kGrid) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    return runs;
}

// Graph1 as the display window sets it up, recording its drawing, with a trace that is
// steep and shallow in turn and runs off the bottom, and the two marker lines.
class ScaledChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph.XGridNum = 10;
        graph.YGridNum = 10;
        graph.RefXEn = false;
        graph.RefClr = Rgb(255, 255, 0);
        graph.Xmin = 0;
        graph.Xmax = kPointCount;
        graph.Ymin = -90;
        graph.Ymax = 10;
        graph.canvas().Record(graph.Width(), graph.Height());
        state->PointNum = kPointCount;
        state->TraceClr = kTrace;
        state->Marker1X = 90;
        state->Marker2X = 358;
        for (int i = 0; i <= kPointCount; ++i) {
            state->FreqAxis[i] = i;
            const double d = (i - 128) / 12.0;
            state->DispTrace[i] = -60 + 55 / (1 + d * d) + 3 * std::sin(i * 0.7) - (i > 230) * 60;
        }
    }

    void redraw() { RedrawResponse(graph, *state, false, ',', '.'); }

    static std::vector<uint32_t> pixels(const Canvas& c) {
        return {c.Bits(), c.Bits() + static_cast<size_t>(c.Width()) * c.Height()};
    }

    GraphPlot graph{449, 283};
    std::unique_ptr<MeasState> state = std::make_unique<MeasState>();
};

// At a scale of 1 the chart drawn again is the chart, pixel for pixel: every kind of
// operation (fills, rows, columns, slanted lines, wide pens, outlines) lands where it did.
TEST_F(ScaledChartTest, AtScaleOneTheRecordingGivesTheChartsPixels) {
    redraw();
    Canvas& c = graph.canvas();
    c.SetPenWidth(3);
    c.SetPenColor(Rgb(1, 2, 3));
    c.SetBrushColor(Rgb(4, 5, 6));
    c.FillRect(300, 20, 340, 60);
    c.MoveTo(10, 270);
    c.LineTo(200, 5);
    c.MoveTo(440, 3);
    c.LineTo(100, 3);
    c.SetPenWidth(2);
    c.MoveTo(-50, 100);
    c.LineTo(500, 140);
    ASSERT_TRUE(c.RecordedWhole());
    Canvas device;
    DrawScaled(c, 1.0, device);
    ASSERT_EQ(device.Width(), graph.Width());
    ASSERT_EQ(device.Height(), graph.Height());
    EXPECT_EQ(pixels(device), pixels(c));
}

// Rows, columns and rectangles cover exactly the device pixels of the chart pixels they
// cover: without slanted lines, a chart at a scale of 2 is its own picture enlarged.
TEST_F(ScaledChartTest, AtScaleTwoRowsColumnsAndFillsCoverTheirChartPixels) {
    state->PointNum = 0; // no trace: grid, frame, reference line, marker dashes
    redraw();
    Canvas& c = graph.canvas();
    c.SetPenWidth(2);
    c.SetPenColor(Rgb(9, 9, 9));
    c.MoveTo(200, 100);
    c.LineTo(200, 50);
    c.SetPenWidth(1);
    c.SetBrushColor(Rgb(7, 7, 7));
    c.FillRect(20, 30, 25, 31);
    Canvas device;
    DrawScaled(c, 2.0, device);
    ASSERT_EQ(device.Width(), 898);
    ASSERT_EQ(device.Height(), 566);
    int differing = 0;
    for (int y = 0; y < device.Height(); ++y) {
        for (int x = 0; x < device.Width(); ++x) {
            differing += device.Pixel(x, y) != c.Pixel(x / 2, y / 2);
        }
    }
    EXPECT_EQ(differing, 0);
}

// The fault of enlarging: at 1.5 every other grid line was one device pixel wide and the
// rest two. Drawn again, every grid column and row is round(1.5) = 2 wide, at 2 and 3 as
// wide as the scale; the trace is drawn with that pen too, not as enlarged steps.
TEST_F(ScaledChartTest, GridLinesKeepOneWidthAtEveryScale) {
    redraw();
    for (double scale : {1.5, 2.0, 3.0}) {
        Canvas device;
        DrawScaled(graph.canvas(), scale, device);
        const int want = static_cast<int>(std::lround(scale));
        // Row 7: between the marker dashes (rows 1..5, 9..13) and the first two grid rows.
        const int midRow = static_cast<int>(7.5 * scale);
        EXPECT_EQ(gridRuns(device, false, midRow), std::vector<int>(9, want))
            << scale; // columns 1..9 of 10
        const int midColumn = static_cast<int>(5.5 * scale);
        const std::vector<int> heights = gridRuns(device, true, midColumn);
        EXPECT_EQ(heights.size(), 8u) << scale; // rows 2..9: the reference line lies on row 1
        for (int h : heights) {
            EXPECT_EQ(h, want) << scale;
        }
    }
}

// Redraw after redraw the recording holds one redraw's operations, also when the chart
// is smaller than its canvas (the cepstrum view shrinks Graph1) and the trace runs beyond
// the chart; operations wholly outside the chart are not kept.
TEST_F(ScaledChartTest, RecordingHoldsOneRedraw) {
    redraw();
    const size_t one = graph.canvas().Recorded().size();
    for (int k = 0; k < 50; ++k) {
        state->DispTrace[k] += 1;
        redraw();
    }
    EXPECT_EQ(graph.canvas().Recorded().size(), one);
    graph.SetSize(449, 143);
    graph.canvas().Record(449, 143);
    EXPECT_FALSE(graph.canvas().RecordedWhole());
    for (int k = 0; k < 50; ++k) {
        redraw();
    }
    EXPECT_TRUE(graph.canvas().RecordedWhole());
    EXPECT_LE(graph.canvas().Recorded().size(), one);
    const size_t shrunk = graph.canvas().Recorded().size();
    graph.canvas().MoveTo(0, 200);
    graph.canvas().LineTo(400, 280); // below the chart's 143 rows
    EXPECT_EQ(graph.canvas().Recorded().size(), shrunk);
}

// Until a recording starts from a whole-area fill (just after it starts or after a
// resize), the chart's pixels are enlarged: what shows is still the chart.
TEST_F(ScaledChartTest, WithoutAWholeRecordingThePixelsAreEnlarged) {
    redraw();
    graph.canvas().Record(graph.Width(), graph.Height());
    ASSERT_FALSE(graph.canvas().RecordedWhole());
    Canvas device;
    DrawScaled(graph.canvas(), 1.5, device);
    ASSERT_EQ(device.Width(), 674);
    ASSERT_EQ(device.Height(), 425);
    for (int y = 0; y < device.Height(); y += 7) {
        for (int x = 0; x < device.Width(); x += 5) {
            ASSERT_EQ(device.Pixel(x, y),
                      graph.canvas().Pixel(static_cast<int>(x / 1.5), static_cast<int>(y / 1.5)))
                << x << "," << y;
        }
    }
}

} // namespace
} // namespace myrl

namespace myrl {
namespace {

// At 1.5 the last device column and row are half chart, half beyond it: they show the
// chart's edge (the frame, and the marker dashes that reach it), never what was drawn beyond the
// chart, such as the outline of Clear's fill in whatever pen colour the last drawing left.
TEST_F(ScaledChartTest, TheLastHalfPixelShowsTheFrameWhateverLiesBeyond) {
    std::vector<uint32_t> first;
    for (uint32_t pen : {Rgb(255, 0, 255), Rgb(0, 0, 255)}) {
        graph.canvas().SetPenColor(pen);
        redraw();
        Canvas device;
        DrawScaled(graph.canvas(), 1.5, device);
        for (int y = 0; y < device.Height(); ++y) {
            ASSERT_EQ(device.Pixel(device.Width() - 1, y), device.Pixel(device.Width() - 2, y));
        }
        for (int x = 0; x < device.Width(); ++x) {
            ASSERT_EQ(device.Pixel(x, device.Height() - 1), device.Pixel(x, device.Height() - 2));
        }
        if (first.empty()) {
            first = pixels(device);
        } else {
            EXPECT_EQ(pixels(device), first);
        }
    }
}

} // namespace
} // namespace myrl
