// A line that goes away while the program sweeps (the unit hangs up, an adapter is
// unplugged) and comes back under the same name: the program opens it again by itself.
#include "ProgramFixture.h"

#include "CommX.h"

#include <QLabel>

using namespace myrl;

TEST_F(ProgramTest, SweepsResumeWhenALostLineComesBack) {
    Config.Unit.Faults.HangupAfter = 2;          // hang up with the second reply ...
    Config.Unit.Faults.HangupChars = 100;        // ... after 100 of its characters
    Config.Unit.Faults.ReturnAfterSeconds = 1.5; // and come back as a new device
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();

    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Hangups >= 1; }));
    ASSERT_TRUE(WaitUntil([&] { return Core().LineLost(); }));
    EXPECT_FALSE(Port().Active());

    // Back under the same link: the program reopens it and completes sweeps again.
    const uint64_t before = Sim->Stats().RepliesCompleted;
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Connections >= 2; }));
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().RepliesCompleted >= before + 2; }));
    EXPECT_TRUE(Port().Active());
    EXPECT_FALSE(Core().LineLost());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ProgramTest, ClosingThePanelEndsTheRecoveryOfALostLine) {
    Config.Unit.Faults.HangupAfter = 1;
    Config.Unit.Faults.ReturnAfterSeconds = 1.5;
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Core().LineLost(); }));
    Form1().close(); // saves the parameter file and closes the port for good
    EXPECT_FALSE(Core().LineLost());
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Connections >= 2; })); // the line is back
    RunFor(std::chrono::milliseconds(1500));
    EXPECT_FALSE(Port().Active());
    EXPECT_TRUE(Errors.empty());
}
