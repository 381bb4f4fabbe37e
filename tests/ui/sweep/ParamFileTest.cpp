// The parameter file through the real program: written at the control panel's close, read
// at start-up, and the start-up and save failures the user sees.
#include "ProgramFixture.h"

#include "CommX.h"
#include "ErrorReport.h"
#include "Widgets.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <vector>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFile = "myrl_prm.txt";

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

} // namespace

TEST_F(ProgramTest, FirstRunWritesTheFifteenLinesAtClose) {
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
    EXPECT_FALSE(fs::exists(Dir / kFile)); // nothing is saved before the close
    EXPECT_TRUE(Form1().close());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_FALSE(Port().Active());
    EXPECT_EQ(ReadFile(kFile), Lines({"1", "67108864", "12800000", "0", "0", "0", "20000000", "OFF",
                                      "90", "358", "0", "0", "265", "0", "265"}));
}

TEST_F(ProgramTest, TwelveLinesPlaceTheDisplayBesideThePanel) {
    WriteFile(kFile, Lines({"1", "67108864", "12800000", "0", "1", "10700000", "100000", "ON", "50",
                            "300", "40", "30"}));
    StartSimulator();
    StartProgram();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(Form1().pos(), QPoint(30, 40));
    EXPECT_EQ(Form2().pos(), QPoint(30 + 265, 40));
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "10700000");
    EXPECT_EQ(State().Marker1X, 50);
    EXPECT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
}

// A start-up that fails: the message is shown, both windows stay, no command ever goes out,
// not even when RUN is clicked (already selected) or chosen again after HOLD. A file that
// was not read whole is left exactly as it was at the close, and the box says so.
struct StartFailure {
    const char* name;
    int line; // the line replaced
    const char* text;
    const char* message;
    const char* detail; // in the English line
    bool left;          // the file was not read whole and is left as it was
};

class StartFailureTest : public ProgramTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, ShowsTheMessageNeverSweepsAndKeepsAHalfReadFile) {
    const StartFailure& c = GetParam();
    std::vector<const char*> lines = {"1",  "67108864", "12800000", "0",  "0",
                                      "0",  "20000000", "OFF",      "90", "358",
                                      "40", "30",       "265",      "40", "295"};
    lines[static_cast<size_t>(c.line - 1)] = c.text;
    std::string bytes;
    for (const char* l : lines) {
        bytes += std::string(l) + "\r\n";
    }
    WriteFile(kFile, bytes);
    StartSimulator();
    StartProgram();
    EXPECT_EQ(Errors, std::vector<std::string>{c.message});
    ASSERT_EQ(ErrorDetails.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find(c.detail), std::string::npos) << ErrorDetails[0];
    EXPECT_EQ(ErrorDetails[0].find("left as it is") != std::string::npos, c.left)
        << ErrorDetails[0];
    EXPECT_TRUE(Form1().isVisible());
    EXPECT_TRUE(Form2().isVisible());
    // No caption shows a control's own name: the frequency labels the start did not reach
    // stay empty.
    for (QWidget* window : {static_cast<QWidget*>(&Form1()), static_cast<QWidget*>(&Form2())}) {
        for (const QLabel* l : window->findChildren<QLabel*>()) {
            EXPECT_FALSE(l->text().contains("Label")) << l->objectName().toStdString();
        }
    }
    for (const char* name : {"Label_FL", "Label_FC", "Label_FU", "Label_FDIV"}) {
        EXPECT_EQ(DisplayControl<QLabel>(name)->text(), "") << name;
    }
    QTest::mouseClick(PanelControl<QRadioButton>("RunItem"), Qt::LeftButton);
    RunFor(std::chrono::milliseconds(400));
    QTest::mouseClick(PanelControl<QRadioButton>("HoldItem"), Qt::LeftButton);
    QTest::mouseClick(PanelControl<QRadioButton>("RunItem"), Qt::LeftButton);
    RunFor(std::chrono::milliseconds(400));
    EXPECT_TRUE(PanelControl<QRadioButton>("RunItem")->isChecked());
    EXPECT_FALSE(Form1().SweepTimerActive());
    EXPECT_EQ(Sim->Stats().Commands, 0u);

    PanelControl<QLineEdit>("Edit2")->setText("123");
    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(ReadFile(kFile) == bytes, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, StartFailureTest,
    ::testing::Values(
        StartFailure{"PortNotAnInteger", 1, "COM3", "'COM3' は整数ではありません.",
                     "'COM3' is not a whole number\nLine 1 of myrl_prm.txt does not convert", true},
        StartFailure{"ClockNotANumber", 2, "67108864Hz",
                     "'67108864Hz' は浮動小数点数ではありません.",
                     "Line 2 of myrl_prm.txt does not convert", true},
        StartFailure{"PanelLeftNotAnInteger", 12, "", "'' は整数ではありません.",
                     "Line 12 of myrl_prm.txt does not convert", true},
        StartFailure{"NoSuchPort", 1, "200", "ポートをオープンできませんでした.",
                     "/dev/ttyS199: no such device", false},
        StartFailure{"FieldNotANumber", 6, "abc", "'abc' は浮動小数点数ではありません.",
                     "'abc' is not a number (the decimal separator is ", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Fields longer than the typing limit load whole: the plan is the file's, and the close
// writes the fields as the frequency entry rewrote them.
TEST_F(ProgramTest, LongFieldLinesLoadWhole) {
    WriteFile(kFile, Lines({"1", "67108864", "12800000", "0", "0", "000000001000",
                            "00000000020000000", "OFF", "90", "358", "0", "0"}));
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
    EXPECT_EQ(Sim->Stats().LastCommand->StartWord, 1000);
    EXPECT_EQ(State().StartFreq, 1000);
    EXPECT_EQ(State().StopFreq, 20000000);
    EXPECT_TRUE(Form1().close());
    EXPECT_NE(ReadFile(kFile).find("\r\n0\r\n1000\r\n20000000\r\nOFF\r\n"), std::string::npos);
}

// Two instances in one folder: the second is refused the port, says why in its English
// line, and leaves the file to the first.
TEST_F(ProgramTest, SecondInstanceInTheFolderLeavesTheFileToTheFirst) {
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    PanelControl<QLineEdit>("Edit2")->setText("7000000");

    auto second = std::make_unique<Program>();
    EXPECT_EQ(Errors, std::vector<std::string>{"ポートをオープンできませんでした."});
    ASSERT_EQ(ErrorDetails.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find("Another MYRL runs in this folder"), std::string::npos);
    EXPECT_NE(ErrorDetails[0].find("busy: another program has COM1 open"), std::string::npos)
        << ErrorDetails[0];
    Control<QLineEdit>(*second->Form1, "Edit2")->setText("9000000");
    EXPECT_TRUE(second->Form1->close());
    second.reset();
    EXPECT_FALSE(fs::exists(Dir / kFile));

    EXPECT_TRUE(Form1().close());
    EXPECT_NE(ReadFile(kFile).find("\r\n7000000\r\n"), std::string::npos);
}

// A save that cannot be written: the access-denied message, the panel stays open, the
// previous file is left whole, and the next close tries again.
struct SaveFailure {
    const char* name;
    fs::path (*target)(const fs::path& dir); // what is made read-only
};

class SaveFailureTest : public ProgramTest, public ::testing::WithParamInterface<SaveFailure> {};

TEST_P(SaveFailureTest, KeepsThePanelOpenAndThePreviousFile) {
    const std::string previous = Lines({"1", "67108864", "12800000", "0", "0", "5000000", "6000000",
                                        "OFF", "90", "358", "0", "0", "265", "0", "265"});
    WriteFile(kFile, previous);
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    PanelControl<QLineEdit>("Edit1")->setText("123");
    const fs::path locked = GetParam().target(Dir);
    const fs::perms before = fs::status(locked).permissions();
    fs::permissions(locked,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    EXPECT_FALSE(Form1().close());
    EXPECT_EQ(Errors, std::vector<std::string>{"ファイルへのアクセスが拒否されました."});
    EXPECT_TRUE(Form1().isVisible());
    EXPECT_EQ(ReadFile(kFile), previous);
    // The file and COM1: no temporary file left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 2);

    fs::permissions(locked, before);
    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_NE(ReadFile(kFile).find("\r\n123\r\n6000000\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Save, SaveFailureTest,
    ::testing::Values(SaveFailure{"ReadOnlyFile", [](const fs::path& d) { return d / kFile; }},
                      SaveFailure{"ReadOnlyFolder", [](const fs::path& d) { return d; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Floating lines in the locale's form (a decimal comma under a comma locale) are read at
// start-up and written back alike at the close.
TEST_F(ProgramTest, FloatingLinesTakeTheLocaleDecimalSeparator) {
    const std::string sep(1, LocaleDecimalSeparator());
    const std::string file =
        Lines({"1", "67108864", "12800000" + sep + "25", "0" + sep + "5", "0", "0", "20000000",
               "OFF", "90", "358", "0", "0", "265", "0", "265"});
    WriteFile(kFile, file);
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(State().FrexRef, 12800000.25);
    EXPECT_EQ(State().LevelOffset, 0.5);
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
    EXPECT_TRUE(Form1().close());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(ReadFile(kFile), file);
}

// Start-up texts that do not convert: the message quotes them (at most 100 characters),
// and nothing is sent.
TEST_F(ProgramTest, StartupMessagesForTheOtherSeparatorAndALongLine) {
    const std::string other = LocaleDecimalSeparator() == ',' ? "0.5" : "0,5";
    struct Case {
        std::string line1;
        std::string line4;
        std::string message;
    };
    const Case cases[] = {
        {"1", other, "'" + other + "' は浮動小数点数ではありません."},
        {std::string(1 << 20, '7'), "0", "'" + std::string(100, '7') + "…' は整数ではありません."},
    };
    StartSimulator();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20));
        WriteFile(kFile, Lines({c.line1, "67108864", "12800000", c.line4, "0", "0", "20000000",
                                "OFF", "90", "358", "0", "0"}));
        Errors.clear();
        StartProgram();
        EXPECT_EQ(Errors, std::vector<std::string>{c.message});
        RunFor(std::chrono::milliseconds(200));
        EXPECT_EQ(Sim->Stats().Commands, 0u);
        P.reset();
    }
}

// A file saved with a UTF-8 byte order mark loads as if it had none: the program sweeps.
TEST_F(ProgramTest, ByteOrderMarkBeforeLine1IsIgnored) {
    WriteFile(kFile, "\xEF\xBB\xBF" + Lines({"1", "67108864", "12800000", "0", "1", "10700000",
                                             "100000", "OFF", "90", "358", "0", "0"}));
    StartSimulator();
    StartProgram();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= 1; }));
    EXPECT_EQ(State().StartFreq, 10650000);
}

// A parameter file kept elsewhere behind a symbolic link: the close writes the file the
// link leads to, and the link stays a link.
TEST_F(ProgramTest, CloseWritesTheFileALinkLeadsTo) {
    fs::create_directories(Dir / "kept");
    WriteFile("kept/prm.txt", Lines({"1", "67108864", "12800000", "0", "0", "5000000", "6000000",
                                     "OFF", "90", "358", "0", "0", "265", "0", "265"}));
    ASSERT_EQ(::chmod((Dir / "kept/prm.txt").c_str(), 0640), 0);
    fs::create_symlink("kept/prm.txt", Dir / kFile);
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(PanelControl<QLineEdit>("Edit1")->text(), "5000000");
    PanelControl<QLineEdit>("Edit1")->setText("123");
    EXPECT_TRUE(Form1().close());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(fs::is_symlink(Dir / kFile));
    EXPECT_NE(ReadFile("kept/prm.txt").find("\r\n123\r\n6000000\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(Dir / "kept/prm.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "kept"), fs::directory_iterator()), 1);
}

// File text in a message box is shown as it stands: a parameter file's line that looks like
// markup (a heading, a link, an image) is neither rendered in the message nor in the
// English line under it.
TEST_F(ProgramTest, TheErrorBoxShowsFileTextAsPlainText) {
    const std::string markup = "<h1>Big</h1><a href=\"http://x\">link</a><img src=\"y.png\">";
    WriteFile(kFile, Lines({markup, "67108864", "12800000", "0", "0", "0", "20000000", "OFF", "90",
                            "358", "0", "0", "265", "0", "265"}));
    SetErrorReporter(nullptr);
    std::vector<std::tuple<QString, Qt::TextFormat, QString, Qt::TextFormat>> shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            const auto* detail = box->findChild<QLabel*>("qt_msgbox_informativelabel");
            shown.emplace_back(box->text(), box->textFormat(),
                               detail != nullptr ? detail->text() : QString(),
                               detail != nullptr ? detail->textFormat() : Qt::AutoText);
            box->accept();
        }
    });
    poll.start(20);
    StartProgram();
    poll.stop();
    ASSERT_EQ(shown.size(), 1u);
    const auto& [text, textFormat, detail, detailFormat] = shown[0];
    EXPECT_EQ(text.toStdString(), "'" + markup + "' は整数ではありません.");
    EXPECT_EQ(textFormat, Qt::PlainText);
    EXPECT_NE(detail.toStdString().find("'" + markup + "' is not a whole number"),
              std::string::npos)
        << detail.toStdString();
    EXPECT_EQ(detailFormat, Qt::PlainText);
}
