// RUN chosen while a step waits in the port's read (window events run there) must not
// start a second step inside the first.
#include "ProgramFixture.h"

#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <chrono>

using namespace myrl;

TEST_F(ProgramTest, RunChosenDuringAStepDoesNotNestASecondStep) {
    Config.Unit.Faults.Silence = 1; // every read waits the whole receive time-out
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));

    // Choose HOLD and then RUN every 70 ms for two seconds: most choices land inside a
    // waiting read (and choosing RUN restarts the 50 ms timer, so they must come further
    // apart than that).
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        QTest::mouseClick(Form1().HoldItem, Qt::LeftButton);
        QTest::mouseClick(Form1().RunItem, Qt::LeftButton);
    });
    clicker.start(70);
    std::vector<std::chrono::steady_clock::time_point> sent;
    uint64_t seen = Sim->Stats().Commands;
    WaitUntil(
        [&] {
            const uint64_t now = Sim->Stats().Commands;
            for (; seen < now; ++seen) {
                sent.push_back(std::chrono::steady_clock::now());
            }
            return false;
        },
        std::chrono::seconds(2));
    clicker.stop();

    // One step at a time: each command is followed by a read that waits 300 ms for nothing
    // before the next command can go out.
    ASSERT_GE(sent.size(), 3u);
    for (size_t i = 1; i < sent.size(); ++i) {
        EXPECT_GE(sent[i] - sent[i - 1], std::chrono::milliseconds(250)) << "command " << i;
    }
    EXPECT_TRUE(Errors.empty());
}
