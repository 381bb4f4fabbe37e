// A measurement without windows gives what the windows save: `myrl measure` against the
// same simulated unit, plan and averaging writes the same rows as Save data as.
#include "PanelFixture.h"

#include "MeasureRun.h"
#include "Takeaways.h"

#include <QComboBox>
#include <QLabel>

using namespace myrl;

namespace {

std::string Rows(const std::string& csv) {
    const size_t header = csv.find("frequency_hz,");
    return header == std::string::npos ? std::string() : csv.substr(header);
}

class MeasureMatchesWindowsTest : public PanelTest {};

TEST_F(MeasureMatchesWindowsTest, TheRowsOfMeasureAreThoseOfSaveDataAs) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass; // deterministic: no noise
    StartSimulator();
    StartProgram();
    EnterPlan("CENTER/SPAN", "10.7M", "500k");
    Choose(PanelControl<QComboBox>("AvrSet"), 2); // "4"
    ASSERT_TRUE(WaitUntil(
        [&] { return DisplayControl<QLabel>("AvrStat")->text() == "Averaging   4 / 4"; }));
    Hold();
    P->Exports->SaveData(QString::fromStdString((Dir / "windows.csv").string()),
                         Takeaways::DataFormat::Csv);
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    P.reset(); // the windows let the port go

    const Outcome r = MeasureIn(Dir, {"--port", "COM1", "--center", "10.7M", "--span", "500k",
                                      "--average", "4", "--out", "measure.csv"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string windows = Rows(ReadFile("windows.csv"));
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(Rows(ReadFile("measure.csv")), windows);
}

} // namespace
