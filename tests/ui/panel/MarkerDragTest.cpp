// Marker dragging on Graph1 and the delay readout on Graph2, with real mouse events.
#include "PanelFixture.h"

#include "Draw.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest/QTest>

#include <vector>

using namespace myrl;

namespace {

// The dashed marker line: dashes of 5 pixels every 8 rows, from row 1.
bool MarkerLineAt(const GraphPlot& g, int x) {
    for (int y = 1; y < 6; ++y) {
        if (g.canvas().Pixel(x, y) != MarkerColour) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(PanelTest, PressWithinNinePixelsGrabsAMarker) {
    StartHeld();
    TGraph* g = DisplayControl<TGraph>("Graph1");
    struct Case {
        int m1, m2;  // marker columns before
        int press;   // column pressed
        int dragged; // 0 none, 1, 2
    };
    const std::vector<Case> cases = {
        {90, 358, 99, 1},  {90, 358, 100, 0}, {90, 358, 81, 1}, {90, 358, 80, 0},
        {90, 358, 349, 2}, {90, 358, 348, 0}, {90, 96, 93, 1}, // near both: marker 1
        {90, 96, 104, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.press);
        State().Marker1X = c.m1;
        State().Marker2X = c.m2;
        StampGraph1();
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(c.press, 50));
        EXPECT_TRUE(State().MouseHeld);
        EXPECT_EQ(State().DragMarker, c.dragged);
        EXPECT_FALSE(StampGone()); // a press alone does not redraw
        QTest::mouseMove(g, QPoint(200, 60));
        EXPECT_TRUE(StampGone());
        EXPECT_EQ(State().Marker1X, c.dragged == 1 ? 200 : c.m1);
        EXPECT_EQ(State().Marker2X, c.dragged == 2 ? 200 : c.m2);
        EXPECT_EQ(MarkerLineAt(Plot(), 200), c.dragged != 0);
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(200, 60));
        EXPECT_FALSE(State().MouseHeld);
        EXPECT_EQ(State().DragMarker, 0);
    }
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, DraggingPastTheRightEdgeEndsTheDragAtTheLastColumnInside) {
    StartHeld();
    TGraph* g = DisplayControl<TGraph>("Graph1");
    const int W = g->width();
    ASSERT_EQ(W, 449);
    QTest::mousePress(g, Qt::LeftButton, {}, QPoint(State().Marker2X, 100));
    ASSERT_EQ(State().DragMarker, 2);
    for (int x : {W - 20, W - 2, W - 1}) {
        QTest::mouseMove(g, QPoint(x, 100));
    }
    EXPECT_EQ(State().Marker2X, W - 1);
    QTest::mouseMove(g, QPoint(W + 7, 100));
    EXPECT_EQ(State().Marker2X, W - 1);
    EXPECT_FALSE(State().MouseHeld);
    EXPECT_TRUE(MarkerLineAt(Plot(), W - 1));
    // Coming back with the button still held does not resume the drag.
    StampGraph1();
    QTest::mouseMove(g, QPoint(W - 30, 100));
    EXPECT_EQ(State().Marker2X, W - 1);
    EXPECT_FALSE(StampGone());
    QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(W - 30, 100));
    // The readout follows the marker: the upper marker sits on the stop frequency.
    EXPECT_DOUBLE_EQ(State().MarkerFU, State().StopFreq);
    EXPECT_TRUE(DisplayControl<QLabel>("F_disp2")->text().contains("10,750,000"))
        << DisplayControl<QLabel>("F_disp2")->text().toStdString();
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, DelayUnderThePointerOnTheCepstrumChart) {
    StartHeld();
    QCheckBox* ceps = PanelControl<QCheckBox>("CEPS");
    QTest::mouseClick(ceps, Qt::LeftButton, {}, QPoint(8, ceps->height() / 2));
    TGraph* g2 = DisplayControl<TGraph>("Graph2");
    ASSERT_TRUE(g2->isVisible());
    g2->plot().Xmin = 0;
    g2->plot().Xmax = 2.47e-6;
    QTest::mouseMove(g2, QPoint(224, 40)); // half way across 449 columns
    EXPECT_EQ(DisplayControl<QLabel>("Delay")->text(), "[ Delay = 1.235E-6 sec ]");
    QTest::mouseMove(g2, QPoint(0, 40));
    EXPECT_EQ(DisplayControl<QLabel>("Delay")->text(), "[ Delay = 0.000E+0 sec ]");
    EXPECT_TRUE(Errors.empty());
}
