#include "TGraph.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
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
