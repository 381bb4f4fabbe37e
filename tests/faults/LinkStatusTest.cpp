// How the link stands, as the user sees it while the unit misbehaves: the progress bar's
// tool tip, the Port dialog, and one line on standard error per change of state.
#include "FaultFixture.h"

#include "CommX.h"
#include "PortDialog.h"
#include "ToolsWindow.h"

#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

using namespace myrl;

namespace {

// Standard error into a file for the life of the object.
class StderrCapture {
public:
    explicit StderrCapture(const std::filesystem::path& file) : path_(file) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    // What was written so far; ends the capture.
    std::string Text() {
        restore();
        std::ifstream in(path_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    std::filesystem::path path_;
    int saved_ = -1;
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class LinkStatusTest : public FaultTest {
protected:
    std::string Tip() {
        return PanelControl<QProgressBar>("ProgressBar1")->toolTip().toStdString();
    }
    // Waits until the tool tip holds `what`; fails the test when it does not come.
    void ExpectTip(const std::string& what) {
        EXPECT_TRUE(WaitUntil([&] { return Tip().find(what) != std::string::npos; }, kPatience))
            << "waited for \"" << what << "\"; the tip says: " << Tip();
        // The tip is the status board's text, whatever else shows it.
        EXPECT_EQ(Tip(), P->Core.Status().Text());
    }
    // "COM1 → /dev/pts/N": the link and the device it leads to.
    std::string Port() { return "COM1 → " + Sim->SlavePath(); }
    std::string DialogStatus() {
        ShowPortDialog(P->Core, *P, *P->Form1);
        return Control<QLabel>(Form1(), "PortStatus")->text().toStdString();
    }
};

} // namespace

// The unit replies, goes silent (the chart keeps an old curve), then replies again.
TEST_F(LinkStatusTest, ReplyingSilentAndBack) {
    StartSimulator();
    StderrCapture err(Dir / "stderr.txt");
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ExpectTip(Port() + ": unit replying, ");
    ExpectTip(" sweeps/s");
    EXPECT_EQ(DialogStatus().rfind(Port() + ": unit replying", 0), 0u) << DialogStatus();

    sim::FaultConfig silent;
    silent.Silence = 1;
    Sim->SetFaults(silent);
    ExpectTip(Port() + ": no reply for ");
    ExpectTip("curve older than 3 sweeps: last reply ");
    EXPECT_NE(DialogStatus().find("curve older than 3 sweeps"), std::string::npos)
        << DialogStatus();

    Sim->SetFaults(sim::FaultConfig{});
    ExpectTip(Port() + ": unit replying");
    EXPECT_EQ(P->Core.Status().Line(StatusTopic::Curve), "");
    const std::string said = err.Text();
    EXPECT_EQ(Count(said, "myrl: " + Port() + ": no reply for"), 1u) << said;
    EXPECT_EQ(Count(said, "myrl: curve older than 3 sweeps"), 1u) << said;
    EXPECT_EQ(Count(said, "myrl: " + Port() + ": unit replying"), 2u) << said;
}

// The line hangs up in the middle of a reply and the unit comes back a second later under
// the same name.
TEST_F(LinkStatusTest, HangupAndReturn) {
    Config.Unit.Faults.HangupAfter = 3;
    Config.Unit.Faults.HangupChars = 100;
    Config.Unit.Faults.ReturnAfterSeconds = 1.5;
    StartSimulator();
    StderrCapture err(Dir / "stderr.txt");
    StartProgram();
    const std::string first = Port();
    ExpectTip(first + ": unit replying");
    ExpectTip(first + ": line lost, reopening every second");
    EXPECT_NE(DialogStatus().find("line lost, reopening every second"), std::string::npos);
    ASSERT_TRUE(
        WaitUntil([&] { return Sim->Stats().Hangups >= 1 && !Core().LineLost(); }, kPatience));
    ExpectTip(Port() + ": unit replying");
    const std::string said = err.Text();
    EXPECT_EQ(Count(said, "line lost, reopening every second"), 1u) << said;
}

// A port that does not open says so and why, in the tip as in the box.
TEST_F(LinkStatusTest, NotOpen) {
    std::string file = ParamFile("0");
    file.replace(0, 1, "200");
    WriteFile("myrl_prm.txt", file);
    StartProgram();
    ASSERT_EQ(Errors, std::vector<std::string>{"ポートをオープンできませんでした."});
    EXPECT_EQ(ErrorDetails.front(), "/dev/ttyS199: no such device");
    EXPECT_EQ(Tip(), "/dev/ttyS199: not open: no such device");
    // The dialog also says that this run will not sweep, whatever port it opens now.
    EXPECT_EQ(DialogStatus().rfind("/dev/ttyS199: not open: no such device\nMYRL did not start "
                                   "sweeping: start it again",
                                   0),
              0u)
        << DialogStatus();
}

// A dead link shows without hovering: the windows' titles (drawn by the window manager)
// name the trouble while it lasts, and every pixel inside the two windows stays as it was.
// When the unit is back, the titles are the windows' own again.
TEST_F(LinkStatusTest, TroubleShowsInTheTitlesAndNotInTheWindows) {
    Config.Unit.Faults.NoiseDb = 0; // every sweep the same curve
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    P->Tools().Open();
    const QString panelTitle = "MYRL  Ver. 1.43";
    auto titles = [&] {
        return std::vector<QString>{Form1().windowTitle(), Form2().windowTitle(),
                                    P->Tools().windowTitle()};
    };
    auto titledWith = [&](const QString& alert) {
        const QString before = alert.isEmpty() ? QString() : alert + QString::fromUtf8(" — ");
        return std::vector<QString>{before + panelTitle, before + panelTitle,
                                    before + "MYRL Tools"};
    };
    // Both windows as they show, once the cycle has stopped; the progress bar's fill is
    // the reception of the moment and is set alike.
    auto pictures = [&] {
        Hold();
        Form1().SetProgress(0);
        return std::pair{Form1().grab().toImage(), Form2().grab().toImage()};
    };
    auto run = [&] { QTest::mouseClick(PanelControl<QRadioButton>("RunItem"), Qt::LeftButton); };

    ASSERT_TRUE(WaitUntil([&] { return P->Core.Link().Kind() == LinkKind::Replying; }, kPatience));
    const auto healthy = pictures();
    EXPECT_EQ(titles(), titledWith({}));

    struct Case {
        const char* what;
        const char* alert;
        std::function<void()> fail;
        std::function<void()> heal;
    };
    const Case cases[] = {
        {"unit silent", "No reply from COM1",
         [&] {
             sim::FaultConfig silent;
             silent.Silence = 1;
             Sim->SetFaults(silent);
         },
         [&] { Sim->SetFaults(sim::FaultConfig{}); }},
        {"unit unplugged (simulator stopped)", "Line lost: COM1", [&] { Sim->Stop(); },
         [&] { StartSimulator(); }},
        {"port not open", "/dev/ttyS199 not open", [&] { P->Core.SwitchPort("/dev/ttyS199"); },
         [&] { P->Core.SwitchPort("COM1"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        run();
        c.fail();
        EXPECT_TRUE(WaitUntil([&] { return titles() == titledWith(c.alert); }, kPatience))
            << titles()[0].toStdString();
        const auto failing = pictures();
        EXPECT_EQ(failing.first, healthy.first) << "control panel";
        EXPECT_EQ(failing.second, healthy.second) << "display window";

        run();
        c.heal();
        EXPECT_TRUE(WaitUntil([&] { return titles() == titledWith({}); }, kPatience))
            << titles()[0].toStdString();
        const auto back = pictures();
        EXPECT_EQ(back.first, healthy.first) << "control panel";
        EXPECT_EQ(back.second, healthy.second) << "display window";
    }
    Errors.clear(); // the port that did not open was reported
}

// A run whose start stopped never sweeps: the titles say so.
TEST_F(LinkStatusTest, ARunThatDoesNotSweepSaysSoInTheTitles) {
    WriteFile("myrl_prm.txt", "COM3\r\n");
    StartSimulator();
    StartProgram();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Form1().windowTitle(), QString::fromUtf8("Not sweeping — MYRL  Ver. 1.43"));
    // The port was never opened: the display window keeps its own caption.
    EXPECT_EQ(Form2().windowTitle(), QString::fromUtf8("Not sweeping — MYRL"));
}
