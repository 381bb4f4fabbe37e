// Zoom, move and centring buttons of the control panel, clicked with the mouse.
#include "PanelFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include <cmath>
#include <vector>

using namespace myrl;

namespace {

struct Step {
    const char* button; // caption
    const char* centre; // Edit1 afterwards
    const char* span;   // Edit2 afterwards
    double start, stop;
};

QPushButton* ByCaption(TForm1& f, const QString& caption) {
    for (QPushButton* b : f.findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

} // namespace

TEST_F(PanelTest, ZoomAndMoveKeepWholeHertzInCentreAndSpan) {
    StartHeld();
    // Each row starts where the previous one ended.
    const std::vector<Step> steps = {
        {"-", "10700000", "110000", 10645000, 10755000},
        {"+", "10700000", "100000", 10650000, 10750000}, // 110000 / 1.1 written in whole Hz
        {">", "10710000", "100000", 10660000, 10760000},
        {"<", "10700000", "100000", 10650000, 10750000},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.button);
        QPushButton* b = ByCaption(Form1(), s.button);
        ASSERT_NE(b, nullptr);
        Click(b);
        EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), s.centre);
        EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), s.span);
        EXPECT_DOUBLE_EQ(State().StartFreq, s.start);
        EXPECT_DOUBLE_EQ(State().StopFreq, s.stop);
        EXPECT_DOUBLE_EQ(Plot().Xmin, s.start);
        EXPECT_DOUBLE_EQ(Plot().Xmax, s.stop);
    }
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, CentringOnAMarkerRoundsToWholeHertz) {
    StartHeld();
    State().MarkerFL = 10712345.6;
    State().MarkerFU = 10687654.4;
    Click(PanelControl<QPushButton>("Button5"));
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10712346");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), "100000");
    Click(PanelControl<QPushButton>("Button6"));
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10687654");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), "100000");
}

TEST_F(PanelTest, CentringOnADraggedMarkerUsesItsReadout) {
    StartHeld();
    TGraph* g = DisplayControl<TGraph>("Graph1");
    const int grab = State().Marker1X;
    QTest::mousePress(g, Qt::LeftButton, {}, QPoint(grab, 100));
    QTest::mouseMove(g, QPoint(300, 100));
    QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(300, 100));
    ASSERT_EQ(State().Marker1X, 300);
    const double fl = State().MarkerFL; // computed by the redraw the drag ran
    EXPECT_NEAR(fl, 10650000 + 100000.0 * 300 / 448, 1);
    Click(PanelControl<QPushButton>("Button5"));
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text().toDouble(), std::nearbyint(fl));
}

TEST_F(PanelTest, FrequencyButtonsDoNothingInZeroSpan) {
    StartHeld();
    Choose(PanelControl<QComboBox>("F_DEF"), 2);
    ASSERT_EQ(PanelControl<QComboBox>("F_DEF")->currentText(), "ZERO SPAN");
    ASSERT_TRUE(State().ZeroSpan);
    const double start = State().StartFreq, stop = State().StopFreq;
    const QString e1 = PanelControl<QLineEdit>("Edit1")->text(),
                  e2 = PanelControl<QLineEdit>("Edit2")->text();
    for (QPushButton* b :
         {PanelControl<QPushButton>("Button1"), PanelControl<QPushButton>("Button2"),
          PanelControl<QPushButton>("Button3"), PanelControl<QPushButton>("Button4"),
          PanelControl<QPushButton>("Button5"), PanelControl<QPushButton>("Button6")}) {
        SCOPED_TRACE(b->text().toStdString());
        Click(b);
        EXPECT_EQ(State().StartFreq, start);
        EXPECT_EQ(State().StopFreq, stop);
        EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), e1);
        EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), e2);
        EXPECT_TRUE(State().ZeroSpan);
        EXPECT_DOUBLE_EQ(Plot().Xmin, 0);
        EXPECT_DOUBLE_EQ(Plot().Xmax, 100);
    }
    EXPECT_FALSE(PanelControl<QLineEdit>("Edit2")->isVisible());
    EXPECT_FALSE(PanelControl<QLabel>("Label9")->isVisible());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, TypedFrequencyTakesEffectOnEnter) {
    StartHeld();
    PanelControl<QLineEdit>("Edit1")->setFocus();
    QTest::keyClick(PanelControl<QLineEdit>("Edit1"), Qt::Key_End);
    QTest::keyClick(PanelControl<QLineEdit>("Edit1"), Qt::Key_Backspace);
    QTest::keyClicks(PanelControl<QLineEdit>("Edit1"), "5");
    EXPECT_DOUBLE_EQ(State().StartFreq, 10650000); // not before Enter
    QTest::keyClick(PanelControl<QLineEdit>("Edit1"), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(State().StartFreq, 10650005);
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10700005");
}
