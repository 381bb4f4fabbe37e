// The program started, closed and started again against the same unit, as a user does from
// one day to the next while the unit stays connected.
#include "ProgramFixture.h"

#include <QLabel>

using namespace myrl;

// The unit's end of the line stays open between the runs, so the terminal is never freed:
// the second run gets the port only if the first left it as it found it (an ordinary user,
// unlike root, is refused a terminal still in exclusive mode).
TEST_F(ProgramTest, TwoStartsInARowBothSweep) {
    StartSimulator();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        ASSERT_TRUE(WaitUntil(
            [&] { return DisplayControl<QLabel>("AvrStat")->text() == "Averaging   1 / 1"; }));
        EXPECT_TRUE(Form1().close()); // saves the parameter file and closes the port
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        EXPECT_FALSE(ReadFile("myrl_prm.txt").empty());
        P.reset();
    }
    EXPECT_EQ(Sim->Stats().Connections, 1u); // one line throughout
}
