// A unit or a line that misbehaves while the program sweeps: once the fault has reached
// the program (and, for most, is gone again), sweeps go on by themselves, the chart draws
// new curves, no message box interrupts the user and the program still closes with a
// whole parameter file.
#include "FaultFixture.h"

#include "CommX.h"

#include <ostream>

using namespace myrl;

namespace {

// What becomes of the fault once it has reached the program.
enum class Then {
    Heal,    // the unit behaves again
    Persist, // the fault stays: the program sweeps with it
    Replug,  // the unit and its link go away, then a new unit comes under the same name
};

struct LineFault {
    const char* name;
    void (*fault)(sim::FaultConfig&);
    bool (*reached)(const sim::SimStats&); // the fault has shown on the line
    Then then;
};

// Cases are shown by their names.
void PrintTo(const LineFault& c, std::ostream* os) {
    *os << c.name;
}

class LineFaultTest : public FaultTest, public ::testing::WithParamInterface<LineFault> {};

} // namespace

TEST_P(LineFaultTest, SweepsGoOnAndTheChartRepaints) {
    const LineFault& c = GetParam();
    c.fault(Config.Unit.Faults);
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(WaitUntil([&] { return c.reached(Sim->Stats()); }, kPatience)) << Sim->Summary();

    switch (c.then) {
    case Then::Heal: {
        sim::FaultConfig healthy;
        healthy.NoiseDb = Config.Unit.Faults.NoiseDb;
        Sim->SetFaults(healthy);
        break;
    }
    case Then::Persist:
        break;
    case Then::Replug:
        Sim->Stop(); // the pty and the COM1 link go
        ASSERT_TRUE(WaitUntil([&] { return Core().LineLost(); }, kPatience));
        RunFor(std::chrono::milliseconds(1500)); // unplugged across a few reopen attempts
        StartSimulator();                        // plugged in again
        break;
    }

    ExpectSweepsGoOn(c.name);
    ExpectWindowsAndLine();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(ReadFile("myrl_prm.txt"), ParamFile("0"));
}

INSTANTIATE_TEST_SUITE_P(
    Line, LineFaultTest,
    ::testing::Values(
        // No reply at all: every sweep is abandoned at the receive time-out.
        LineFault{"SilentUnit", [](sim::FaultConfig& f) { f.Silence = 1; },
                  [](const sim::SimStats& s) { return s.RepliesSilent >= 2; }, Then::Heal},
        // Replies that stop after 100 of their 512 characters.
        LineFault{"StalledReplies", [](sim::FaultConfig& f) { f.StallAfter = 100; },
                  [](const sim::SimStats& s) { return s.RepliesAbandoned >= 2; }, Then::Heal},
        // Characters that are not hexadecimal digits inside the replies.
        LineFault{"CorruptReplies", [](sim::FaultConfig& f) { f.Corrupt = 0.02; },
                  [](const sim::SimStats& s) { return s.RepliesCompleted >= 3; }, Then::Heal},
        // CR LF after every reply's 512 characters, for good.
        LineFault{"TrailerCharacters", [](sim::FaultConfig& f) { f.Trailer = "\r\n"; },
                  [](const sim::SimStats& s) { return s.RepliesCompleted >= 3; }, Then::Persist},
        // The unit hangs up in the middle of the second reply and is back a second later
        // as a new device under the same name.
        LineFault{"HangupAndReturn",
                  [](sim::FaultConfig& f) {
                      f.HangupAfter = 2;
                      f.HangupChars = 100;
                      f.ReturnAfterSeconds = 1;
                  },
                  [](const sim::SimStats& s) { return s.Hangups >= 1; }, Then::Heal},
        // The adapter is pulled (the unit, its pty and the COM1 link are gone), then
        // plugged in again.
        LineFault{"UnplugAndReplug", [](sim::FaultConfig&) {},
                  [](const sim::SimStats& s) { return s.Commands >= 2; }, Then::Replug},
        // Line noise that reads as XOFF after a reply, then a quiet unit: the program's
        // output is held by the flow control until the program gives the sweep up.
        LineFault{"StrayXoffThenSilence", [](sim::FaultConfig& f) { f.Trailer = "\x13"; },
                  [](const sim::SimStats& s) { return s.RepliesCompleted >= 1; }, Then::Heal}),
    [](const auto& info) { return std::string(info.param.name); });
