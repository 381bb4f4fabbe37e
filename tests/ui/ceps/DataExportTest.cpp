// The SAVE DATA button on the real control panel: the file in the working folder holds
// the trace the main chart shows at the press.
#include "ProgramFixture.h"

#include "Export.h"
#include "Rnd.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

class DataExportTest : public ProgramTest {
protected:
    // A bandpass around 10.7 MHz measured over CENTER/SPAN 10.7M / 100k, one sweep shown,
    // then HOLD: the cycle stops after its running step, so the trace stays put.
    void StartHeld(const char* edit1 = "10.7M", const char* edit2 = "100k") {
        Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        EnterPlan("CENTER/SPAN", edit1, edit2);
        const uint64_t commands = Sim->Stats().Commands;
        ASSERT_TRUE(WaitUntil([&] {
            return Sim->Stats().Commands >= commands + 2 && State().FreqAxis[0] == 10650000;
        }));
        Hold();
    }

    void Save() { QTest::mouseClick(Form1().Button7, Qt::LeftButton); }

    // What the file should hold for the trace shown now.
    std::string Expected() { return ExportBytes(State(), LocaleDecimalSeparator()); }

    static std::vector<std::string> CrLfLines(const std::string& bytes) {
        std::vector<std::string> lines;
        size_t from = 0;
        for (size_t at; (at = bytes.find("\r\n", from)) != std::string::npos; from = at + 2) {
            lines.push_back(bytes.substr(from, at - from));
        }
        EXPECT_EQ(from, bytes.size()) << "bytes after the last CR LF";
        return lines;
    }

    // Entries of the working folder that belong to the export (the file or a leftover
    // temporary of it).
    std::vector<std::string> ExportEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(kExportFileName, 0) == 0) {
                names.push_back(name);
            }
        }
        return names;
    }

    const std::string file = kExportFileName;
};

} // namespace

TEST_F(DataExportTest, WritesTheShownTraceOfTheSpan) {
    StartHeld();
    Save();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(bytes, Expected());

    const auto lines = CrLfLines(bytes);
    ASSERT_EQ(lines.size(), 251u);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1); // no bare line feeds
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto comma = lines[i].find(',');
        ASSERT_NE(comma, std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].substr(0, comma), std::to_string(rnd(State().FreqAxis[i])));
        // 15 significant digits.
        const double shown = State().NormLevel[i] - State().RefLevel;
        EXPECT_NEAR(std::stod(lines[i].substr(comma + 1)), shown, 1e-14 * std::fabs(shown))
            << "line " << i;
    }
    EXPECT_EQ(lines.front().substr(0, 9), "10650000,");
    EXPECT_EQ(lines.back().substr(0, 9), "10750000,");
}

TEST_F(DataExportTest, WithSwrTickedTheValuesAreStandingWaveRatios) {
    StartHeld();
    QTest::mouseClick(Form1().SWR, Qt::LeftButton);
    ASSERT_TRUE(Form1().SWR->isChecked());
    Save();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(bytes, Expected());
    const auto lines = CrLfLines(bytes);
    ASSERT_EQ(lines.size(), 251u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const double v = std::stod(lines[i].substr(lines[i].find(',') + 1));
        EXPECT_GE(v, 1) << "line " << i;
        EXPECT_NEAR(v, State().SwrTrace[i], 1e-14 * v) << "line " << i;
    }
}

// Zero span, chosen as such or by equal limits, has no span to write: the button neither
// creates the file nor touches an existing one.
TEST_F(DataExportTest, ZeroSpanNeitherCreatesNorTouchesTheFile) {
    struct Case {
        const char* Fdef;
        const char* Edit1;
        const char* Edit2;
    };
    const Case cases[] = {{"ZERO SPAN", "", ""}, {"START/STOP", "5M", "5M"}};
    StartHeld();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Fdef);
        EnterPlan(c.Fdef, c.Edit1, c.Edit2);
        ASSERT_TRUE(State().ZeroSpan);

        fs::remove(Dir / file);
        Save();
        EXPECT_FALSE(fs::exists(Dir / file));

        WriteFile(file, "old\r\n");
        const auto written = fs::last_write_time(Dir / file);
        Save();
        EXPECT_EQ(ReadFile(file), "old\r\n");
        EXPECT_EQ(fs::last_write_time(Dir / file), written);
        EXPECT_EQ(ExportEntries(), std::vector<std::string>{file});
    }
    EXPECT_TRUE(Errors.empty());
}

TEST_F(DataExportTest, SecondPressLeavesOnlyTheSecondExport) {
    StartHeld();
    Save();
    const std::string first = ReadFile(file);
    // A higher reference level lowers every plotted value.
    Form1().Reflvl->setText("12.5");
    QTest::keyClick(Form1().Reflvl, Qt::Key_Return);
    ASSERT_EQ(State().RefLevel, 12.5);
    Save();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    const std::string second = ReadFile(file);
    EXPECT_NE(second, first);
    EXPECT_EQ(second, Expected());
    EXPECT_EQ(ExportEntries(), std::vector<std::string>{file});
}

// The export replaces the file as a whole: a folder it may not write to is reported with
// the access-denied text and the previous export stays complete.
TEST_F(DataExportTest, ReadOnlyFolderReportsAccessDeniedAndKeepsTheOldFile) {
    StartHeld();
    Save();
    const std::string old = ReadFile(file);
    ASSERT_EQ(CrLfLines(old).size(), 251u);
    Form1().Reflvl->setText("12.5");
    QTest::keyClick(Form1().Reflvl, Qt::Key_Return);

    fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec);
    Save();
    fs::permissions(Dir, fs::perms::owner_all);

    EXPECT_EQ(Errors, std::vector<std::string>{"ファイルへのアクセスが拒否されました."});
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(ExportEntries(), std::vector<std::string>{file});

    // The program carries on: the next press writes.
    Errors.clear();
    Save();
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(ReadFile(file), Expected());
}
