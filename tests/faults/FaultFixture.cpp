#include "FaultFixture.h"

#include "CommX.h"
#include "TGraph.h"

namespace myrl {

void FaultTest::SetUp() {
    ProgramTest::SetUp();
    Config.Unit.Faults.NoiseDb = 1.0;
}

uint64_t FaultTest::Graph1Generation() {
    return DisplayControl<TGraph>("Graph1")->plot().canvas().Generation();
}

void FaultTest::ExpectSweepsGoOn(const std::string& what, uint64_t replies) {
    const uint64_t before = Sim->Stats().RepliesCompleted;
    const uint64_t drawn = Graph1Generation();
    const bool swept = WaitUntil(
        [&] {
            return Sim->Stats().RepliesCompleted >= before + replies && Graph1Generation() > drawn;
        },
        kPatience);
    EXPECT_TRUE(swept) << what << ": no sweeps within " << kPatience.count()
                       << " s; simulator: " << Sim->Summary()
                       << "; canvas drawn: " << (Graph1Generation() > drawn ? "yes" : "no")
                       << "; line lost: " << Core().LineLost();
}

void FaultTest::ExpectWindowsAndLine() {
    EXPECT_TRUE(Form1().isVisible());
    EXPECT_TRUE(Form2().isVisible());
    EXPECT_TRUE(Port().Active());
    EXPECT_FALSE(Core().LineLost());
}

std::string FaultTest::ParamFile(const std::string& edit1) {
    return "1\r\n67108864\r\n12800000\r\n0\r\n0\r\n" + edit1 +
           "\r\n20000000\r\nOFF\r\n90\r\n358\r\n0\r\n0\r\n265\r\n0\r\n265\r\n";
}

} // namespace myrl
