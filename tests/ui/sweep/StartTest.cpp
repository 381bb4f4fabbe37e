#include "ProgramFixture.h"

#include "Command.h"
#include "SweepProc.h"
#include "TGraph.h"

#include <QLabel>

using namespace myrl;

TEST_F(ProgramTest, FirstRunSendsTheDefaultCommandAndDrawsACurve) {
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
    const SweepCommand first = *Sim->Stats().LastCommand;
    EXPECT_EQ(BuildCommand(first.StartWord, first.StepWord, first.SweepCode),
              "000000000001388003\r");
    ASSERT_TRUE(WaitUntil([&] { return Form2().AvrStat->text() == "Averaging   1 / 1"; }));
}
