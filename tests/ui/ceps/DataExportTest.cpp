// The SAVE DATA button on the real control panel: the file in the working folder holds
// the trace the main chart shows at the press.
#include "ProgramFixture.h"

#include "Convert.h"
#include "Export.h"
#include "ParamFile.h"
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

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

// `text` as the user types it: the locale's decimal separator for its full stop.
QString Typed(std::string text) {
    std::replace(text.begin(), text.end(), '.', LocaleDecimalSeparator());
    return QString::fromStdString(text);
}

// The general 15-digit form of a value from 0.00001 up to 15 digits before the point, as
// fixed notation built on its own: the digits of the 15-digit rounding, trailing zeros and
// a bare point dropped.
std::string FixedGeneralForm(double v) {
    char buf[512];
    auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14).ptr;
    int exp10 = 0;
    std::from_chars(std::find(buf, end, 'e') + 1, end, exp10);
    end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 14 - exp10).ptr;
    std::string s(buf, end);
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') {
            s.pop_back();
        }
    }
    return s;
}

class DataExportTest : public ProgramTest {
protected:
    // A bandpass around 10.7 MHz measured over CENTER/SPAN 10.7M / 100k (typed with the
    // locale's decimal separator), one sweep shown, then HOLD: the cycle stops after its
    // running step, so the trace stays put.
    void StartHeld(const char* edit1 = "10.7M", const char* edit2 = "100k") {
        Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        EnterPlan("CENTER/SPAN", Typed(edit1), Typed(edit2));
        const double start = State().StartFreq;
        const uint64_t commands = Sim->Stats().Commands;
        ASSERT_TRUE(WaitUntil(
            [&] { return Sim->Stats().Commands >= commands + 2 && State().FreqAxis[0] == start; }));
        Hold();
    }

    // The value field of a line: whatever the locale, a comma separates the two fields and
    // a full stop stands in the value.
    static double Value(const std::string& line) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 1) << line;
        return StrToFloat(line.substr(line.find(',') + 1), '.');
    }

    void Save() { QTest::mouseClick(Form1().Button7, Qt::LeftButton); }

    // Presses SAVE DATA and gives the file's lines, having checked that no message came
    // and that the file holds the trace shown, 251 lines ended by CR LF.
    std::vector<std::string> SaveAndRead() {
        Save();
        EXPECT_TRUE(Errors.empty()) << Errors.front();
        const std::string bytes = ReadFile(file);
        EXPECT_EQ(bytes, Expected());
        auto lines = CrLfLines(bytes);
        EXPECT_EQ(lines.size(), 251u);
        return lines;
    }

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
        EXPECT_NEAR(Value(lines[i]), shown, 1e-14 * std::fabs(shown)) << "line " << i;
    }
    EXPECT_EQ(lines.front().substr(0, 9), "10650000,");
    EXPECT_EQ(lines.back().substr(0, 9), "10750000,");
}

TEST_F(DataExportTest, WithSwrTickedTheValuesAreStandingWaveRatios) {
    StartHeld();
    QTest::mouseClick(Form1().SWR, Qt::LeftButton);
    ASSERT_TRUE(Form1().SWR->isChecked());
    const auto lines = SaveAndRead();
    for (size_t i = 0; i < lines.size(); ++i) {
        const double v = Value(lines[i]);
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
    Form1().Reflvl->setText(Typed("12.5"));
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
    Form1().Reflvl->setText(Typed("12.5"));
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

// A level offset of 87.00005 dB (line 4 of the parameter file, in the locale's form) puts
// the floor readings of a wide span at 0.00005 dB: every value is written in fixed
// notation with the digits of the general form, and under a decimal-comma locale still
// with a full stop, two fields to a line.
TEST_F(DataExportTest, SmallLevelsAreWrittenInFixedNotation) {
    WriteFile(kParamFileName, "1\r\n67108864\r\n12800000\r\n" + Typed("87.00005").toStdString() +
                                  "\r\n0\r\n0\r\n20000000\r\nOFF\r\n90\r\n358\r\n0\r\n0\r\n");
    StartHeld("10.7M", "10M");
    ASSERT_EQ(State().LevelOffset, 87.00005);
    const auto lines = SaveAndRead();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string value = lines[i].substr(lines[i].find(',') + 1);
        EXPECT_EQ(value, FixedGeneralForm(State().DispTrace[i])) << "line " << i;
        EXPECT_EQ(value.find('E'), std::string::npos) << "line " << i;
        EXPECT_NEAR(Value(lines[i]), State().DispTrace[i], 1e-14 * State().DispTrace[i]);
    }
    // The skirts of the bandpass read 0: -87 dB + 87.00005 dB.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "5700000,0.0000500000000016598"), lines.end());
}
