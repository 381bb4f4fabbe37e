// The sweep cycle of the real program against the simulated unit on a pty: commands,
// curves, abandoned sweeps, HOLD/RUN, changes during a reply and closing inside a read.
#include "ProgramFixture.h"

#include "CommX.h"
#include "Command.h"
#include "FreqPlan.h"
#include "TGraph.h"
#include "Unit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <vector>

using namespace myrl;

namespace {

constexpr const char* kOneOfOne = "Averaging   1 / 1";

// The curve a single sweep (no averaging, THRU, reference 0 dB, offset 0) draws for the
// readings the simulated unit sends in answer to `cmd`.
std::vector<double> TraceFor(const SweepCommand& cmd, const sim::UnitConfig& unit) {
    sim::Rng rng(unit.Seed);
    std::vector<double> trace;
    for (int r : sim::SweepReadings(cmd, unit, rng)) {
        trace.push_back((100.0 / 256) * r - 87);
    }
    return trace;
}

std::vector<double> Drawn(const MeasState& s) {
    return {s.DispTrace.begin(), s.DispTrace.begin() + kPointCount};
}

class CycleTest : public ProgramTest {
protected:
    int Progress() { return PanelControl<QProgressBar>("ProgressBar1")->value(); }
    uint64_t Commands() const { return Sim->Stats().Commands; }
    // Waits until a sweep has been processed (the status shows its averaging numbers).
    bool WaitForCurve() {
        return WaitUntil([&] { return DisplayControl<QLabel>("AvrStat")->text() == kOneOfOne; });
    }
};

} // namespace

TEST_F(CycleTest, FirstCommandAndItsCurve) {
    Config.Unit.Device.Kind = sim::DeviceKind::Lowpass; // a curve with a shape over 0..20 MHz
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(WaitUntil([&] { return Commands() >= 1; }));
    const SweepCommand first = *Sim->Stats().LastCommand;
    EXPECT_EQ(BuildCommand(first.StartWord, first.StepWord, first.SweepCode),
              "000000000001388003\r");
    ASSERT_TRUE(WaitForCurve());
    EXPECT_EQ(Drawn(State()), TraceFor(first, Sim->Unit()));
    EXPECT_EQ(State().AvrNum, 1);
}

TEST_F(CycleTest, SilentUnitGetsANewCommandEveryStepAndNoCurve) {
    Config.Unit.Faults.Silence = 1;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Commands() >= 4; }));
    const sim::SimStats st = Sim->Stats();
    EXPECT_EQ(st.RepliesSilent, st.Commands);
    EXPECT_EQ(st.JunkLines, 0u);
    EXPECT_EQ(DisplayControl<QLabel>("AvrStat")->text(), "Averaging"); // never processed a sweep
    EXPECT_EQ(Progress(), 0);
    EXPECT_TRUE(Errors.empty());
}

// Line noise eats a reply and leaves a lone XOFF: with XON/XOFF flow control that stops the
// program's output, and the unit, silent, never sends XON. Once the sweep is given up for
// silence the program must send its next command all the same.
TEST_F(CycleTest, AStrayXoffDoesNotMuteTheProgram) {
    Config.Unit.Faults.XoffNoise = 1;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().CharsSent >= 1; })); // the XOFF
    ASSERT_EQ(Commands(), 1u);
    Sim->SetFaults({});
    ASSERT_TRUE(WaitUntil([&] { return Commands() >= 2; })) << "no command after the XOFF";
    ASSERT_TRUE(WaitForCurve());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(CycleTest, ReplyCutOffIsAbandonedAndTheNextCurveComesFromTheNextReplyAlone) {
    Config.Unit.Faults.StallAfter = 100;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Progress() == 100; }));
    ASSERT_EQ(Commands(), 1u);
    // The program gives the stalled reply up after the receive time-out and sends again;
    // the unit now answers fully, with a different curve, so leftovers of the cut reply
    // would show in the drawn trace.
    sim::UnitConfig unit = Sim->Unit();
    unit.Faults = {};
    unit.Device.Kind = sim::DeviceKind::Lowpass;
    Sim->SetUnit(unit);
    ASSERT_TRUE(WaitForCurve());
    const sim::SimStats st = Sim->Stats();
    EXPECT_GE(st.Commands, 2u);
    EXPECT_GE(st.RepliesAbandoned, 1u);
    EXPECT_EQ(Drawn(State()), TraceFor(*st.LastCommand, unit));
}

TEST_F(CycleTest, HoldFreezesTheSweepAndRunContinuesIt) {
    Config.Unit.Pacing.Fast = false; // about 0.55 s per reply
    Config.Unit.Device.Kind = sim::DeviceKind::Lowpass;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Progress() > 0 && Progress() < 300; }));
    QTest::mouseClick(PanelControl<QRadioButton>("HoldItem"), Qt::LeftButton);
    // The step under way ends and the timer stays off.
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive(); }));
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().RepliesCompleted >= 1; }));
    const int frozen = Progress();
    RunFor(std::chrono::milliseconds(700)); // longer than the receive time-out
    EXPECT_EQ(Progress(), frozen);
    EXPECT_LT(frozen, 2 * kPointCount);
    EXPECT_EQ(DisplayControl<QLabel>("AvrStat")->text(), "Averaging");
    EXPECT_EQ(Commands(), 1u);

    QTest::mouseClick(PanelControl<QRadioButton>("RunItem"), Qt::LeftButton);
    uint64_t commandsAtCurve = 0;
    ASSERT_TRUE(WaitUntil([&] {
        commandsAtCurve = Commands();
        return DisplayControl<QLabel>("AvrStat")->text() == kOneOfOne;
    }));
    EXPECT_EQ(commandsAtCurve, 1u); // the sweep went on: no new command before its curve
    EXPECT_EQ(Drawn(State()), TraceFor(*Sim->Stats().LastCommand, Sim->Unit()));
}

// A change during a reply: that sweep's axis comes from the tuning words it was sent
// with, under the FREX and zero-span settings found when it completes; the next command
// carries the new plan.
struct ChangeCase {
    const char* name;
    void (*change)(TForm1&);
};

class ChangeDuringReplyTest : public CycleTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeDuringReplyTest, AxisFromSentWordsNextCommandFromNewPlan) {
    Config.Unit.Pacing.Fast = false;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(WaitUntil([&] { return Progress() > 0 && Progress() < 300; }));
    const SweepCommand sent = *Sim->Stats().LastCommand;
    GetParam().change(Form1());
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_EQ(Commands(), 1u);

    PointArray axis{};
    ASSERT_TRUE(WaitUntil([&] {
        axis = State().FreqAxis;
        return DisplayControl<QLabel>("AvrStat")->text() == kOneOfOne;
    }));
    const bool frex = PanelControl<QCheckBox>("FREX")->isChecked();
    MeasState expected = State();
    expected.StartWord = sent.StartWord;
    expected.StepWord = sent.StepWord;
    CalcFreqAxis(expected, frex);
    EXPECT_EQ(axis, expected.FreqAxis);

    ASSERT_TRUE(WaitUntil([&] { return Commands() >= 2; }));
    const SweepCommand next = *Sim->Stats().LastCommand;
    MeasState plan = State();
    CalcSweepWords(plan, frex);
    EXPECT_EQ(next.StartWord, plan.StartWord);
    EXPECT_EQ(next.StepWord, plan.StepWord);
    EXPECT_TRUE(next.StartWord != sent.StartWord || next.StepWord != sent.StepWord);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangeDuringReplyTest,
    ::testing::Values(
        ChangeCase{"FrexTicked", [](TForm1& f) { Control<QCheckBox>(f, "FREX")->click(); }},
        ChangeCase{"NewRange",
                   [](TForm1& f) {
                       Control<QLineEdit>(f, "Edit1")->setText("1M");
                       Control<QLineEdit>(f, "Edit2")->setText("2M");
                       QTest::keyClick(Control<QLineEdit>(f, "Edit2"), Qt::Key_Return);
                   }},
        ChangeCase{"ZeroSpanChosen",
                   [](TForm1& f) { Control<QComboBox>(f, "F_DEF")->setCurrentIndex(2); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Closing the control panel from a handler that runs inside the step's Read: the file is
// saved, the event loop ends once the step has unwound, and nothing is used after the
// windows are gone (run under AddressSanitizer).
TEST_F(CycleTest, CloseWhileAStepWaitsInRead) {
    Config.Unit.Faults.Silence = 1; // every step sits in Read for the whole time-out
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();

    bool closedInsideStep = false;
    bool closeAccepted = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Events reach this handler during a step only through Read's event processing:
        // the timer is off from the start of a step to its end.
        if (Commands() >= 1 && !Form1().SweepTimerActive()) {
            poll.stop();
            closedInsideStep = true;
            closeAccepted = Form1().close();
        }
    });
    poll.start();
    QTimer giveUp; // only if the close fails to end the loop
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    giveUp.start(10000);
    const int code = QCoreApplication::exec();

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(closedInsideStep);
    EXPECT_TRUE(closeAccepted);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_FALSE(Port().Active());
    EXPECT_EQ(ReadFile("myrl_prm.txt").substr(0, 3), "1\r\n");
    P.reset(); // as main() does after the loop
}
