// Single acquisition, set-ups and a calibration of another plan in the windows.
#include "LimitsFixture.h"

#include "SetupFile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <algorithm>

namespace myrl {
namespace {

// Restarts the average, runs until it has settled and ends in HOLD; reached by Shift+F9 and
// the background menus.
TEST_F(LimitsUiTest, ASingleAcquisitionSettlesTheAverageAndEndsInHold) {
    StartBandpass();
    const auto& actions = P->Extras.Actions();
    const auto it = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
        return a->shortcut() == QKeySequence(Qt::SHIFT | Qt::Key_F9);
    });
    ASSERT_NE(it, actions.end());
    EXPECT_EQ((*it)->text(), "Single acquisition");
    Form1().ChooseAverage(4);
    int done = 0;
    auto sub =
        Core().Subscribe([&](InstrumentEvent e) { done += e == InstrumentEvent::SingleDone; });
    const uint64_t from = Core().LastSweep()->Number;
    Form1().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form1()));
    QTest::keyClick(&Form1(), Qt::Key_F9, Qt::ShiftModifier);
    EXPECT_TRUE(PanelControl<QRadioButton>("RunItem")->isChecked());
    ASSERT_TRUE(WaitUntil([&] { return PanelControl<QRadioButton>("HoldItem")->isChecked(); }));
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive() && !Core().StepRunning(); }));
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(Core().LastSweep()->Settled);
    EXPECT_EQ(Core().LastSweep()->Averaging.Count, 4);
    EXPECT_GE(Core().LastSweep()->Number, from + 5);
    EXPECT_EQ(DisplayControl<QLabel>("AvrStat")->text(), "Averaging   4 / 4");
    const uint64_t last = Core().LastSweep()->Number;
    RunFor(std::chrono::milliseconds(300));
    EXPECT_EQ(Core().LastSweep()->Number, last) << "held";

    // HOLD chosen before it settles ends it.
    Form1().StartSingle();
    EXPECT_TRUE(Core().SingleRunning());
    Hold();
    EXPECT_FALSE(Core().SingleRunning());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(LimitsUiTest, ASetUpIsSavedAndRecalledWholeAndABadOneChangesNothing) {
    StartBandpass();
    Tools().Open();
    Form1().ChooseAverage(4);
    Form1().EnterRefLevel(-0.5);
    Tools().SetDbPerDiv(5);
    Limits().SetLimits(BandpassMask());
    Limits().SetOn(true);
    const std::string path = (Dir / "stand.myrlsetup").string();
    ASSERT_TRUE(Tools().Setups().SaveSetup(path));
    const myrl::Setup saved = ReadSetupFile(path);
    EXPECT_EQ(saved.FDefIndex, 1);
    EXPECT_EQ(saved.Freq1, "10700000");
    EXPECT_EQ(saved.Freq2, "400000");
    EXPECT_EQ(saved.AvrNum, 4);
    EXPECT_EQ(saved.RefLevel, -0.5);
    EXPECT_EQ(saved.DbPerDiv, 5);
    EXPECT_EQ(saved.Mode, "THRU");
    EXPECT_TRUE(saved.LimitsOn);
    EXPECT_EQ(saved.Limits, BandpassMask());
    EXPECT_EQ(saved.Calibration, "");

    // Everything else, then the set-up back.
    EnterPlan("START/STOP", "1000000", "20000000");
    Form1().ChooseAverage(1);
    Form1().SetSwrTicked(true);
    Form1().ChooseRefpos(3);
    Form1().EnterRefLevel(2);
    Tools().SetDbPerDiv(10);
    Limits().SetOn(false);
    ASSERT_TRUE(Tools().Setups().RecallSetup(path));
    EXPECT_EQ(PanelControl<QComboBox>("F_DEF")->currentText(), "CENTER/SPAN");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10700000");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), "400000");
    EXPECT_EQ(State().StartFreq, 10.5e6);
    EXPECT_EQ(PanelControl<QComboBox>("AvrSet")->currentText(), "4");
    EXPECT_EQ(Core().Settings().AvrNum, 4);
    EXPECT_FALSE(PanelControl<QCheckBox>("SWR")->isChecked());
    EXPECT_FALSE(Core().Settings().Swr);
    EXPECT_EQ(PanelControl<QComboBox>("Refpos")->currentIndex(), 1);
    EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text().trimmed().toStdString(),
              "-0" + std::string(1, LocaleDecimalSeparator()) + "5");
    EXPECT_EQ(State().RefLevel, -0.5);
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "5dB/div");
    EXPECT_TRUE(Core().LimitsOn());
    EXPECT_EQ(Core().Limits(), BandpassMask());
    EXPECT_EQ(Tools().Setups().findChild<QLabel*>("SetupLast")->text().toStdString(),
              "Recalled: " + path);
    EXPECT_TRUE(Errors.empty()) << Errors.front();

    // A set-up whose line does not read: reported naming it, nothing set.
    std::string text = FormatSetupFile(saved);
    text.replace(text.find("averaging 4"), 11, "averaging 99");
    WriteFile("bad.myrlsetup", text);
    Form1().ChooseAverage(2);
    EXPECT_FALSE(Tools().Setups().RecallSetup((Dir / "bad.myrlsetup").string()));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find("Line 6 of the set-up file: averaging must be"),
              std::string::npos)
        << ErrorDetails[0];
    EXPECT_EQ(Core().Settings().AvrNum, 2);
    // One naming a calibration file that is not there: nothing set either.
    myrl::Setup missing = saved;
    missing.Calibration = (Dir / "gone.myrlcal").string();
    missing.AvrNum = 8;
    WriteSetupFile((Dir / "gone.myrlsetup").string(), missing);
    EXPECT_FALSE(Tools().Setups().RecallSetup((Dir / "gone.myrlsetup").string()));
    EXPECT_EQ(Errors.size(), 2u);
    EXPECT_EQ(Core().Settings().AvrNum, 2);
}

// A set-up keeps the calibration file in force and recalls it in another run.
TEST_F(LimitsUiTest, ASetUpBringsItsCalibrationBack) {
    StartBandpass();
    Tools().Open();
    SweepIn(2); // CAL
    const std::string cal = (Dir / "bp.myrlcal").string();
    Tools().SaveCalibration(cal, "");
    SweepIn(1); // NORM
    const std::string path = (Dir / "norm.myrlsetup").string();
    ASSERT_TRUE(Tools().Setups().SaveSetup(path));
    EXPECT_EQ(ReadSetupFile(path).Calibration, cal);
    EXPECT_EQ(ReadSetupFile(path).Mode, "NORM");

    P.reset();
    StartAndHold();
    EXPECT_EQ(Core().CalibrationFile(), "");
    Tools().Open();
    ASSERT_TRUE(Tools().Setups().RecallSetup(path));
    EXPECT_EQ(Core().CalibrationFile(), cal);
    EXPECT_EQ(PanelControl<QComboBox>("MODE")->currentText(), "NORM");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// Loading a calibration taken over another plan asks whether to switch to its plan; the
// mismatch is a status line meanwhile.
TEST_F(LimitsUiTest, ACalibrationOfAnotherPlanOffersItsPlan) {
    StartBandpass();
    Tools().Open();
    SweepIn(2); // CAL over 10.5 - 10.9 MHz
    const std::string cal = (Dir / "bp.myrlcal").string();
    Tools().SaveCalibration(cal, "");
    EnterPlan("CENTER/SPAN", "10700000", "1000000");
    const std::string line = Core().Status().Line(StatusTopic::CalibrationPlan);
    EXPECT_EQ(line, "the calibration was taken over 10.5 MHz–10.9 MHz, the plan is "
                    "10.2 MHz–11.2 MHz: outside it NORM uses the edge levels");
    EXPECT_NE(
        PanelControl<QWidget>("ProgressBar1")->toolTip().indexOf(QString::fromStdString(line)), -1);

    // The same plan: no question.
    EnterPlan("CENTER/SPAN", "10700000", "400000");
    EXPECT_EQ(Answer([&] { ASSERT_TRUE(Tools().LoadCalibration(cal)); }, QMessageBox::No), "");

    EnterPlan("CENTER/SPAN", "10700000", "1000000");
    EXPECT_EQ(Answer([&] { ASSERT_TRUE(Tools().LoadCalibration(cal)); }, QMessageBox::No),
              "CalibrationPlanQuestion");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), "1000000");
    EXPECT_EQ(Core().Status().Line(StatusTopic::CalibrationPlan), line);

    EXPECT_EQ(Answer([&] { ASSERT_TRUE(Tools().LoadCalibration(cal)); }, QMessageBox::Yes),
              "CalibrationPlanQuestion");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10700000");
    EXPECT_EQ(PanelControl<QLineEdit>("Edit2")->text(), "400000");
    EXPECT_EQ(Core().Status().Line(StatusTopic::CalibrationPlan), "");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

} // namespace
} // namespace myrl
