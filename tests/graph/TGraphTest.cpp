#include "TGraph.h"
#include "ScaledChart.h"

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace myrl {
namespace {

QRgb toQRgb(uint32_t bgr) {
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

class TGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "graph_widget_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            app_ = new QApplication(argc, argv); // lives for the whole test program
        }
    }

    // Every pixel the widget shows equals the canvas pixel at the same place.
    static void expectShowsCanvas(TGraph& g) {
        const QImage shot = g.grab().toImage();
        ASSERT_EQ(shot.size(), g.size());
        int mismatches = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                mismatches += shot.pixel(x, y) != toQRgb(g.plot().canvas().Pixel(x, y));
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    static QApplication* app_;
};

QApplication* TGraphTest::app_ = nullptr;

TEST_F(TGraphTest, ShowsCanvasOneToOneAndFollowsSize) {
    TGraph g;
    g.setGeometry(32, 46, 449, 283);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    EXPECT_EQ(g.plot().Width(), 449);
    EXPECT_EQ(g.plot().Height(), 283);

    g.plot().XGridNum = 10;
    g.plot().YGridNum = 10;
    g.plot().Ymin = -90;
    g.plot().Ymax = 10;
    g.plot().RefClr = Rgb(255, 255, 0);
    g.Clear();
    std::array<double, 3> X{-1, 0, 1};
    std::array<double, 3> Y{-80, 0, -40};
    g.Plot(X, Y, 3, Rgb(0, 255, 0));
    expectShowsCanvas(g);
    EXPECT_EQ(g.grab().toImage().pixel(100, 28), qRgb(255, 255, 0));

    // Shrunk while hidden, as the cepstrum switch does: the chart takes the new size at
    // once, the canvas stays at least as large.
    g.hide();
    g.setGeometry(32, 186, 449, 143);
    EXPECT_EQ(g.plot().Height(), 143);
    EXPECT_EQ(g.plot().canvas().Height(), 283);
    g.Clear();
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    expectShowsCanvas(g);
    EXPECT_EQ(g.grab().toImage().pixel(5, 142), qRgb(192, 192, 192));

    g.resize(500, 300);
    EXPECT_EQ(g.plot().canvas().Width(), 500);
    g.Clear();
    expectShowsCanvas(g);
}

// Graph1's size and scales with a trace across it, drawn from its Clear.
void drawChart(TGraph& g, double shift = 0) {
    GraphPlot& p = g.plot();
    p.XGridNum = 10;
    p.YGridNum = 10;
    p.Xmin = 0;
    p.Xmax = 100;
    p.Ymin = -90;
    p.Ymax = 10;
    p.RefClr = Rgb(255, 255, 0);
    g.Clear();
    std::array<double, 101> X{}, Y{};
    for (size_t i = 0; i < X.size(); ++i) {
        X[i] = static_cast<double>(i);
        Y[i] = -45 + 30 * std::sin(0.2 * static_cast<double>(i)) + shift;
    }
    g.Plot(X, Y, 101, Rgb(0, 255, 0));
}

// Shows `g` at Graph1's place with the chart drawn; false when the window never shows.
bool showChart(TGraph& g) {
    g.setGeometry(32, 46, 449, 283);
    g.show();
    if (!QTest::qWaitForWindowExposed(&g)) {
        return false;
    }
    drawChart(g);
    return true;
}

// Pixels the widget shows other than the chart at the screen's resolution: the canvas at
// a scale factor of 1, the chart drawn again above it.
int mismatches(TGraph& g) {
    const double dpr = g.devicePixelRatioF();
    Canvas want;
    if (dpr == 1) {
        want = g.plot().canvas();
    } else {
        DrawScaled(g.plot().canvas(), dpr, want);
    }
    const QImage shot = g.grab().toImage();
    int n = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            n += shot.pixel(x, y) != toQRgb(want.Pixel(x, y));
        }
    }
    return n;
}

// Collects the regions the widget is asked to paint.
class PaintLog : public QObject {
public:
    QRegion painted;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(e)->region();
            ++paints;
        }
        return false;
    }
};

// The suite runs at scale factors 1, 1.5 and 2 (QT_SCALE_FACTOR). The widget shows the
// chart drawn at the screen's resolution: at 1 the canvas itself, above it the chart drawn
// again with lines a chart pixel wide, never the canvas enlarged.
TEST_F(TGraphTest, ShowsTheChartAtTheScreenResolution) {
    TGraph g;
    ASSERT_TRUE(showChart(g));
    const double dpr = g.devicePixelRatioF();
    const QImage shot = g.grab().toImage();
    ASSERT_GE(shot.width(), DeviceSize(449, dpr) - 1);
    ASSERT_GE(shot.height(), DeviceSize(283, dpr) - 1);
    EXPECT_EQ(mismatches(g), 0) << "scale " << dpr;
    // The grid column of division 1 (chart column 45) is as wide as the scale, rounded.
    int gridWidth = 0;
    for (int x = 0; x < shot.width(); ++x) {
        gridWidth += shot.pixel(x, static_cast<int>(7.5 * dpr)) == qRgb(128, 128, 128) &&
                     x < DeviceSize(60, dpr);
    }
    EXPECT_EQ(gridWidth, std::lround(dpr)) << "scale " << dpr;
}

// The chart as the widget paints it at scale factors 1, 1.5 and 2 (device pixels): at 1 the
// canvas pixel for pixel; above 1 no colour the chart does not draw (no blend of an enlarged
// or smoothed line) and every grid line crossed on a row and on a column one chart pixel
// wide, round(scale) device pixels, never 1 and 2 in turn.
TEST_F(TGraphTest, PaintsCrispLinesAtTheScreenResolution) {
    TGraph g;
    ASSERT_TRUE(showChart(g));
    QTest::qWait(20);
    const double dpr = g.devicePixelRatioF();
    const QImage shot = g.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shot.width(), DeviceSize(449, dpr) - 1);
    ASSERT_GE(shot.height(), DeviceSize(283, dpr) - 1);

    const Canvas& canvas = g.plot().canvas();
    std::vector<QRgb> drawn;
    for (int y = 0; y < 283; ++y) {
        for (int x = 0; x < 449; ++x) {
            const QRgb c = toQRgb(canvas.Pixel(x, y));
            if (std::find(drawn.begin(), drawn.end(), c) == drawn.end()) {
                drawn.push_back(c);
            }
        }
    }
    int foreign = 0, differing = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb c = shot.pixel(x, y) | 0xFF000000u;
            foreign += std::find(drawn.begin(), drawn.end(), c) == drawn.end();
            differing += dpr == 1 && c != toQRgb(canvas.Pixel(x, y));
        }
    }
    EXPECT_EQ(foreign, 0) << "scale " << dpr;
    EXPECT_EQ(differing, 0) << "scale " << dpr;

    // Runs of grid colour across chart row 7 (between the frame and the first grid row, above
    // the trace) and down chart column 2 (beside the frame; the reference line lies on grid
    // row 1, the trace crosses the column far from the grid rows).
    struct Line {
        bool Down;
        double At;
        size_t Lines;
    };
    const int want = static_cast<int>(std::lround(dpr));
    for (const Line& l : {Line{false, 7.5, 9}, Line{true, 2.5, 8}}) {
        std::vector<int> runs;
        const int length = l.Down ? shot.height() : shot.width();
        const int at = static_cast<int>(l.At * dpr);
        for (int i = 0, run = 0; i <= length; ++i) {
            if (i < length &&
                (l.Down ? shot.pixel(at, i) : shot.pixel(i, at)) == qRgb(128, 128, 128)) {
                ++run;
            } else if (run > 0) {
                runs.push_back(run);
                run = 0;
            }
        }
        EXPECT_GE(runs.size(), l.Lines) << "scale " << dpr << (l.Down ? " column" : " row");
        for (int run : runs) {
            EXPECT_EQ(run, want) << "scale " << dpr << (l.Down ? " column" : " row");
        }
    }
}

// A change is sent to the screen as the bands of columns it touched, from its first to its
// last row; a redraw to the same picture is not sent at all.
TEST_F(TGraphTest, RepaintsOnlyWhatChangedAtTheScreenResolution) {
    TGraph g;
    ASSERT_TRUE(showChart(g));
    PaintLog log;
    g.installEventFilter(&log);
    QTest::qWait(50);
    log.painted = QRegion();
    log.paints = 0;

    drawChart(g); // the same picture again
    QTest::qWait(50);
    EXPECT_EQ(log.paints, 0);

    g.plot().canvas().SetPenColor(Rgb(255, 0, 0));
    g.plot().canvas().MoveTo(100, 150);
    g.plot().canvas().LineTo(120, 150);
    QTest::qWait(50);
    const QRect r = log.painted.boundingRect();
    EXPECT_TRUE(r.contains(QRect(100, 150, 20, 1))) << r.x() << "," << r.y() << " " << r.width();
    EXPECT_LE(r.width(), 2 * 32 / g.devicePixelRatioF() + 2);
    // Above a scale of 1 the band is widened by the device pen (up to 4 device pixels each
    // side, rounded out to whole pixels).
    const double scale = g.devicePixelRatioF();
    EXPECT_LE(r.height(), scale == 1 ? 3 : 3 + 2 * static_cast<int>(std::ceil(4 / scale)))
        << "scale " << scale;
    EXPECT_EQ(g.grab().toImage().pixel(DeviceSize(110, g.devicePixelRatioF()),
                                       static_cast<int>(150.5 * g.devicePixelRatioF())),
              qRgb(255, 0, 0));

    EXPECT_EQ(mismatches(g), 0);

    log.painted = QRegion();
    drawChart(g, 3); // the trace moves: the bands it crosses, not the whole chart
    QTest::qWait(50);
    EXPECT_FALSE(log.painted.isEmpty());
    EXPECT_LT(log.painted.boundingRect().height(), 283);
    EXPECT_EQ(mismatches(g), 0);

    // A flat trace that jumps from the bottom to the top: where it was is cleared too.
    for (double level : {-80.0, 5.0}) {
        g.Clear();
        std::array<double, 2> X{0, 100}, Y{level, level};
        g.Plot(X, Y, 2, Rgb(0, 255, 0));
        QTest::qWait(50);
        EXPECT_EQ(mismatches(g), 0) << level;
    }

    // One more operation early in the redraw: every later one moves up a place, the
    // picture still shows whole.
    GraphPlot& p = g.plot();
    p.Clear();
    p.canvas().SetPenColor(Rgb(0, 0, 255));
    p.canvas().MoveTo(5, 5);
    p.canvas().LineTo(400, 260);
    std::array<double, 2> X{0, 100}, Y{-80, 0};
    p.Plot(X, Y, 2, Rgb(0, 255, 0));
    QTest::qWait(50);
    EXPECT_EQ(mismatches(g), 0);
}

TEST_F(TGraphTest, PassesMouseEventsInPixelCoordinates) {
    TGraph g;
    g.resize(449, 283);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));

    struct Event {
        char kind;
        int button, modifiers, x, y;
        bool operator==(const Event&) const = default;
    };
    std::vector<Event> events;
    QObject::connect(&g, &TGraph::MouseDown,
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                         events.push_back({'D', int(b), int(m), x, y});
                     });
    QObject::connect(&g, &TGraph::MouseMove, [&](Qt::KeyboardModifiers m, int x, int y) {
        events.push_back({'M', 0, int(m), x, y});
    });
    QObject::connect(&g, &TGraph::MouseUp,
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                         events.push_back({'U', int(b), int(m), x, y});
                     });

    QTest::mousePress(&g, Qt::LeftButton, Qt::ShiftModifier, QPoint(90, 40));
    QTest::mouseMove(&g, QPoint(120, 41));
    QTest::mouseMove(&g, QPoint(520, 7)); // held beyond the right edge
    QTest::mouseRelease(&g, Qt::LeftButton, Qt::NoModifier, QPoint(520, 7));

    const std::vector<Event> expected{
        {'D', int(Qt::LeftButton), int(Qt::ShiftModifier), 90, 40},
        {'M', 0, int(Qt::NoModifier), 120, 41},
        {'M', 0, int(Qt::NoModifier), 520, 7},
        {'U', int(Qt::LeftButton), int(Qt::NoModifier), 520, 7},
    };
    EXPECT_EQ(events, expected);
}

} // namespace
} // namespace myrl
