#include "PanelFixture.h"

#include "Draw.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>

namespace myrl {

void PanelTest::StartHeld() {
    // PortNo, GenClock, FrexRef, LevelOffset, F_DEF, Edit1, Edit2, FREX, Marker1X,
    // Marker2X, Form1 top, left, width, Form2 top, left.
    WriteFile("myrl_prm.txt", "1\r\n67108864\r\n12800000\r\n0\r\n1\r\n10700000\r\n100000\r\n"
                              "OFF\r\n90\r\n358\r\n10\r\n10\r\n265\r\n10\r\n290\r\n");
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(
        WaitUntil([&] { return DisplayControl<QLabel>("AvrStat")->text() != "Averaging"; }));
    Click(PanelControl<QRadioButton>("HoldItem"));
    ASSERT_TRUE(PanelControl<QRadioButton>("HoldItem")->isChecked());
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive(); }));
    ASSERT_TRUE(Errors.empty()) << Errors.front();
}

void PanelTest::WritePlan(int fdef, double a, double b) {
    WriteFile("myrl_prm.txt", "1\r\n67108864\r\n12800000\r\n0\r\n" + std::to_string(fdef) + "\r\n" +
                                  std::to_string(static_cast<long long>(a)) + "\r\n" +
                                  std::to_string(static_cast<long long>(b)) +
                                  "\r\nOFF\r\n90\r\n358\r\n10\r\n10\r\n265\r\n10\r\n290\r\n");
}

void PanelTest::StartAndHold() {
    if (!Sim) {
        StartSimulator();
    }
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(
        WaitUntil([&] { return DisplayControl<QLabel>("AvrStat")->text() != "Averaging"; }));
    Hold();
}

void PanelTest::SweepIn(int mode) {
    Choose(PanelControl<QComboBox>("MODE"), mode);
    State().NormLevel.fill(999);
    Click(PanelControl<QRadioButton>("RunItem"));
    ASSERT_TRUE(WaitUntil([&] { return State().NormLevel[0] != 999; }));
    Hold();
}

void PanelTest::Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
}

void PanelTest::Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void PanelTest::Choose(QComboBox* box, int index) {
    while (box->currentIndex() < index) {
        QTest::keyClick(box, Qt::Key_Down);
    }
    while (box->currentIndex() > index) {
        QTest::keyClick(box, Qt::Key_Up);
    }
}

void PanelTest::StampGraph1() {
    Canvas& c = Plot().canvas();
    c.SetPenColor(kStamp);
    c.SetBrushColor(kStamp);
    c.FillRect(200, 150, 204, 154);
    ASSERT_EQ(c.Pixel(201, 151), kStamp);
}

bool PanelTest::StampGone() {
    return Pixel(201, 151) != kStamp;
}

void PanelTest::SetAveragingCounters() {
    State().AvrCount = 5;
    State().AvrSlot = 4;
    State().AvrNextCount = 6;
    State().AvrNextSlot = 5;
}

bool PanelTest::AveragingCountersUntouched() {
    return State().AvrCount == 5 && State().AvrSlot == 4 && State().AvrNextCount == 6 &&
           State().AvrNextSlot == 5;
}

bool PanelTest::AveragingRestarted() {
    return State().AvrCount == 1 && State().AvrSlot == 0 && State().AvrNextCount == 1 &&
           State().AvrNextSlot == 0;
}

} // namespace myrl
