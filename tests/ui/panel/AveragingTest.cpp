// Which controls restart the averaging and which redraw Graph1 at once; the averaging
// count typed or chosen in AvrSet.
#include "PanelFixture.h"

#include "UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest/QTest>

#include <functional>
#include <vector>

using namespace myrl;

TEST_F(PanelTest, PresentationControlsRedrawAndMeasurementControlsRestartAveraging) {
    StartHeld();
    auto tick = [](QCheckBox* c) {
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(8, c->height() / 2));
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        bool redraws;
        bool restartsAveraging;
    };
    const std::vector<Case> cases = {
        {"SWR on", [&] { tick(PanelControl<QCheckBox>("SWR")); }, true, false},
        {"SWR off", [&] { tick(PanelControl<QCheckBox>("SWR")); }, true, false},
        {"Refpos 3", [&] { Choose(PanelControl<QComboBox>("Refpos"), 3); }, true, false},
        {"upper arrow",
         [&] { QTest::mouseClick(PanelControl<UpDown>("UpDown1")->UpButton(), Qt::LeftButton); },
         true, false},
        {"MODE NORM", [&] { Choose(PanelControl<QComboBox>("MODE"), 1); }, false, true},
        {"MODE THRU", [&] { Choose(PanelControl<QComboBox>("MODE"), 0); }, false, true},
        {"FREX", [&] { tick(PanelControl<QCheckBox>("FREX")); }, false, true},
        {"SWEEP TIME", [&] { Choose(PanelControl<QComboBox>("SweepTime"), 4); }, false, true},
        {"AVERAGING 8", [&] { Choose(PanelControl<QComboBox>("AvrSet"), 3); }, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetAveragingCounters();
        StampGraph1();
        c.act();
        EXPECT_EQ(StampGone(), c.redraws);
        if (c.restartsAveraging) {
            EXPECT_TRUE(AveragingRestarted());
        } else {
            EXPECT_TRUE(AveragingCountersUntouched());
        }
    }
    EXPECT_DOUBLE_EQ(State().SweepTimeIdx, 4);
    EXPECT_EQ(State().AvrNum, 8);
    EXPECT_EQ(PanelControl<QComboBox>("MODE")->currentText(), "THRU");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, TypedAveragingCountOutsideTheRingIsRefused) {
    StartHeld();
    Choose(PanelControl<QComboBox>("AvrSet"), 2); // "4"
    ASSERT_EQ(State().AvrNum, 4);
    struct Case {
        const char* typed;
        const char* message; // empty: taken
        int avrNum;          // afterwards
    };
    const std::vector<Case> cases = {
        {"0", "'0' は 1 から 64 までの整数ではありません.", 4},
        {"65", "'65' は 1 から 64 までの整数ではありません.", 4},
        {"abc", "'abc' は整数ではありません.", 4},
        {"-1", "'-1' は 1 から 64 までの整数ではありません.", 4},
        {"3", "", 3}, // not an item, but within the ring
        {"64", "", 64},
        {"1", "", 1}, // exactly what was typed, not completed to "16"
    };
    QLineEdit* field = PanelControl<QComboBox>("AvrSet")->lineEdit();
    ASSERT_NE(field, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Errors.clear();
        SetAveragingCounters();
        Type(field, c.typed);
        if (*c.message != '\0') {
            ASSERT_EQ(Errors.size(), 1u);
            EXPECT_EQ(Errors[0], c.message);
            EXPECT_TRUE(AveragingCountersUntouched());
        } else {
            EXPECT_TRUE(Errors.empty());
            EXPECT_TRUE(AveragingRestarted());
        }
        EXPECT_EQ(State().AvrNum, c.avrNum);
        EXPECT_EQ(PanelControl<QComboBox>("AvrSet")->count(), 7); // typed text never joins the list
    }
    // Leaving the field after a refused count does not repeat the message.
    Type(field, "99");
    Errors.clear();
    PanelControl<QLineEdit>("Edit1")->setFocus();
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, AveragingCountReachesTheStatusLine) {
    StartHeld();
    Choose(PanelControl<QComboBox>("AvrSet"), 1); // "2"
    Click(PanelControl<QRadioButton>("RunItem"));
    ASSERT_TRUE(WaitUntil([&] {
        return DisplayControl<QLabel>("AvrStat")->text().endsWith("2 / 2");
    })) << DisplayControl<QLabel>("AvrStat")->text().toStdString();
    EXPECT_TRUE(Errors.empty());
}
