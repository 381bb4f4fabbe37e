// Remote control of the windowed program: the real windows on the offscreen platform, the
// simulated unit, and clients on the loopback port - PyVISA as lab scripts use it, and a
// plain socket of the test's own where the panel is looked at between two commands.
#include "ProgramFixture.h"

#include "DeviceModels.h"
#include "FreqPlan.h"
#include "LimitMasks.h"
#include "LimitsPanel.h"
#include "RemoteSection.h"
#include "RemoteService.h"
#include "ScpiClients.h"
#include "Takeaways.h"
#include "ToolsWindow.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace myrl;
using namespace std::chrono_literals;

namespace {

class RemoteWindowsTest : public ProgramTest {
protected:
    // The program with remote control on a free loopback port; its port.
    int StartRemote() {
        P = std::make_unique<Program>(StartOptions{"", RemoteAddress{RemoteAddress::Kind::Tcp, 0}});
        EXPECT_TRUE(P->Remote().Listening()) << P->Remote().StateLine();
        return P->Remote().Server().Port();
    }
    // Runs a PyVISA script while the event loop serves the windows; skips without PyVISA.
    Outcome Script(const std::string& script, std::vector<std::string> args) {
        Outcome r = RunPython(Dir, script, std::move(args), [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        });
        skipped_ = r.Code == 77;
        return r;
    }
    bool Skipped() const { return skipped_; }

    // A plain client of the test's own: connected, then each line answered while the event
    // loop runs.
    int Connect(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return fd;
    }
    void Send(int fd, const std::string& line) {
        const std::string l = line + "\n";
        ASSERT_EQ(::send(fd, l.data(), l.size(), MSG_NOSIGNAL), static_cast<ssize_t>(l.size()));
    }
    std::string Ask(int fd, const std::string& line) {
        Send(fd, line);
        std::string answer;
        WaitUntil([&] {
            char c;
            while (::recv(fd, &c, 1, MSG_DONTWAIT) == 1) {
                if (c == '\n') {
                    return true;
                }
                answer += c;
            }
            return false;
        });
        return answer;
    }

    std::string PanelText(const char* name) {
        if (auto* e = Form1().findChild<QLineEdit*>(name)) {
            return e->text().toStdString();
        }
        return PanelControl<QComboBox>(name)->currentText().toStdString();
    }

private:
    bool skipped_ = false;
};

#define SKIP_WITHOUT_PYVISA()                                                                      \
    if (Skipped()) {                                                                               \
        GTEST_SKIP() << "python3 has no pyvisa (scripts/setup-deps installs python3-pyvisa and "   \
                        "python3-pyvisa-py)";                                                      \
    }

// The plan set by a script shows on the panel; INIT;*OPC? answers once the average of 4 has
// settled (then HOLD); TRAC:DATA? holds the rows Save data as writes of that sweep.
TEST_F(RemoteWindowsTest, AnAcquisitionShowsOnThePanelAndEqualsSaveDataAs) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    StartSimulator();
    const int port = StartRemote();
    const Outcome r = Script(kAcquireScript, {std::to_string(port)});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Field(r.Out, "opc"), "1");
    EXPECT_EQ(Field(r.Out, "reached"), "4");
    EXPECT_EQ(Field(r.Out, "cont"), "0");
    EXPECT_EQ(Field(r.Out, "plan"), "10450000;10950000;10700000;500000");
    EXPECT_EQ(Field(r.Out, "points"), "251");
    EXPECT_EQ(Field(r.Out, "errors"), "0 0");
    EXPECT_EQ(Field(r.Out, "limits"), "0;0") << "limits off: FAIL? says 0";

    EXPECT_EQ(PanelText("F_DEF"), "CENTER/SPAN");
    EXPECT_EQ(PanelText("Edit1"), "10700000");
    EXPECT_EQ(PanelText("Edit2"), "500000");
    EXPECT_EQ(PanelText("AvrSet"), "4");
    EXPECT_EQ(PanelText("SweepTime"), "0.5s");
    EXPECT_TRUE(PanelControl<QRadioButton>("HoldItem")->isChecked());
    EXPECT_EQ(DisplayControl<QLabel>("AvrStat")->text(), "Averaging   4 / 4");
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive() && !Core().StepRunning(); }));
    ASSERT_TRUE(Core().LastSweep() && Core().LastSweep()->Settled);

    P->Exports->SaveData(QString::fromStdString((Dir / "windows.csv").string()),
                         Takeaways::DataFormat::Csv);
    const auto trace = TracePairs(Field(r.Out, "data"));
    ASSERT_EQ(trace.size(), 251u);
    EXPECT_EQ(CsvPairs(ReadFile("windows.csv")), trace);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// Each setter runs the control's handler: the panel shows the value, and the average
// restarts exactly where a click restarts it.
TEST_F(RemoteWindowsTest, ASetterDoesWhatAClickOnItsControlDoes) {
    StartSimulator();
    const int fd = Connect(StartRemote());
    struct Case {
        const char* command;
        const char* control; // its text afterwards
        const char* shows;
        bool restarts;
    } cases[] = {
        {"SENS:FREQ:STAR 1MHZ", "Edit1", "1000000", true},
        {"SENS:FREQ:STOP 3MHZ", "Edit2", "3000000", true},
        {"SENS:FREQ:CENT 2.5MHZ", "Edit1", "2500000", true},
        {"SENS:FREQ:SPAN 1MHZ", "Edit2", "1000000", true},
        {"SENS:AVER:COUN 8", "AvrSet", "8", true},
        {"SENS:AVER:COUN 20", "AvrSet", "20", true},
        {"SENS:SWE:TIME 1.5", "SweepTime", "1.5s", true},
        {"SENS:SWE:TIME 1.5", "SweepTime", "1.5s", false}, // the item already chosen
        {"CALC:MODE NORM", "MODE", "NORM", true},
        {"DISP:TRAC:Y:RLEV -20", "Reflvl", " -20.0", false},
        {"CALC:MODE THRU", "MODE", "THRU", true},
    };
    for (const Case& c : cases) {
        const uint64_t before = State().AvrResets;
        EXPECT_EQ(Ask(fd, std::string(c.command) + ";*IDN?").substr(0, 4), "MYRL") << c.command;
        const std::string shows = c.control == std::string("Reflvl") ? Local(c.shows) : c.shows;
        EXPECT_EQ(PanelText(c.control), shows) << c.command;
        EXPECT_EQ(State().AvrResets > before, c.restarts) << c.command;
    }
    EXPECT_EQ(PanelText("F_DEF"), "CENTER/SPAN");
    Send(fd, "DISP:VIEW SWR");
    EXPECT_EQ(Ask(fd, "DISP:VIEW?"), "SWR");
    EXPECT_TRUE(PanelControl<QCheckBox>("SWR")->isChecked());
    EXPECT_TRUE(DisplayControl<QLabel>("SWRmax")->isVisible()) << "the SWR presentation";
    Send(fd, "INIT:CONT OFF");
    EXPECT_EQ(Ask(fd, "INIT:CONT?"), "0");
    EXPECT_TRUE(PanelControl<QRadioButton>("HoldItem")->isChecked());
    QTest::mouseClick(PanelControl<QRadioButton>("RunItem"), Qt::LeftButton);
    EXPECT_EQ(Ask(fd, "INIT:CONT?"), "1") << "the STATUS a user chooses is the one a client reads";
    Send(fd, "CALC:MARK1:X 2.1MHZ;:CALC:MARK2:X 2.6MHZ");
    EXPECT_EQ(Ask(fd, "CALC:MARK1:X?;:CALC:MARK2:X?"), "2100446.4285714286;2600446.4285714286")
        << "the columns nearest, 1 MHz over 448 columns";
    EXPECT_EQ(DisplayControl<QLabel>("F_disp1")->text().toStdString(), Local("FL= 2,100,446  Hz"));
    EXPECT_EQ(DisplayControl<QLabel>("F_disp2")->text().toStdString(), Local("FU= 2,600,446  Hz"))
        << "the readouts under the chart";
    EXPECT_EQ(Ask(fd, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    ::close(fd);
}

// CALC:LIM:STAT is the tools window's switch: the set kept from the last run comes back and
// the tools' box follows. After INIT;*OPC?, FAIL? reads the verdict of the settled sweep: 0
// for the band-pass in its mask, 1 once a mask tightened by half a decibel is loaded from a
// file (MMEM:LOAD:LIM, kept for the next run as the tools window keeps it), 0 when off.
TEST_F(RemoteWindowsTest, TheLimitsSwitchAndVerdictAreTheToolsWindows) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    StartSimulator();
    OpenUserSettings()->setValue("limits/set", Q(FormatLimitFile(BandpassMask())));
    const int fd = Connect(StartRemote());
    EXPECT_EQ(Ask(fd, "FREQ:CENT 10.7MHZ;SPAN 400KHZ;:AVER:COUN 2;:CALC:LIM:STAT ON;STAT?"), "1");
    EXPECT_EQ(Core().Limits(), BandpassMask()) << "the set of the last run";
    EXPECT_EQ(Ask(fd, "INIT;*OPC?;:CALC:LIM:FAIL?"), "1;0");
    P->Tools().Open();
    auto* on = Control<QCheckBox>(P->Tools(), "LimitsOn");
    EXPECT_TRUE(on->isChecked());
    EXPECT_EQ(Control<QLabel>(P->Tools(), "Verdict")->text(), "PASS");
    const LimitSet tight = Tightened(BandpassMask(), 0.5);
    const std::string file = (Dir / "tight.myrllim").string();
    WriteLimitFile(file, tight);
    EXPECT_EQ(Ask(fd, "MMEM:LOAD:LIM '" + file + "';:CALC:LIM:FAIL?"), "1");
    EXPECT_EQ(Core().Limits(), tight);
    EXPECT_EQ(S(OpenUserSettings()->value("limits/set").toString()), FormatLimitFile(tight));
    Send(fd, "CALC:LIM:STAT OFF");
    EXPECT_EQ(Ask(fd, "CALC:LIM:STAT?;FAIL?"), "0;0");
    EXPECT_FALSE(on->isChecked()) << "the box follows";
    EXPECT_EQ(Ask(fd, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    ::close(fd);
}

TEST_F(RemoteWindowsTest, EachBadCommandGivesItsStandardNumberAndTheWindowsGoOn) {
    StartSimulator();
    const int port = StartRemote();
    const SweepSettings before = Core().Settings();
    WriteFile("bad.txt", BadCommandsFile());
    const uint64_t sweeps = Core().LastSweep() ? Core().LastSweep()->Number : 0;
    const Outcome r = Script(kBadCommandsScript, {std::to_string(port), "bad.txt"});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err;
    ExpectBadCommandsAnswered(r.Out);
    EXPECT_EQ(Core().Settings(), before);
    EXPECT_TRUE(Errors.empty()) << "no message box: " << Errors.front();
    EXPECT_TRUE(WaitUntil([&] { return Core().LastSweep()->Number > sweeps + 2; }))
        << "still sweeping";
}

TEST_F(RemoteWindowsTest, ASecondClientIsRefusedWhileTheFirstGoesOn) {
    StartSimulator();
    const Outcome r = Script(kSecondClientScript, {std::to_string(StartRemote())});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string refusal =
        "MYRL: another client is connected; remote control serves one at a time";
    EXPECT_EQ(Field(r.Out, "line"), refusal);
    EXPECT_EQ(Field(r.Out, "closed"), "True");
    EXPECT_EQ(Field(r.Out, "raw"), refusal);
    EXPECT_EQ(Field(r.Out, "after"), "1000000;0,\"No error\"");
    EXPECT_EQ(PanelText("Edit1"), "1000000");
}

// At the line's own pace and the longest sweep time the unit sends a reading every 78 ms,
// longer than the cycle's 50 ms pause: a good part of each step waits in the port's read.
// Commands arriving then are carried out there, as a click would be, and the sweep under
// way goes on.
TEST_F(RemoteWindowsTest, CommandsArrivingWhileAStepReadsAreCarriedOutThere) {
    Config.Unit.Pacing.Fast = false;
    StartSimulator();
    const int fd = Connect(StartRemote());
    Send(fd, "SWE:TIME 20");
    // The unit sweeps slowly from the next command on: its first readings are in.
    ASSERT_TRUE(WaitUntil([&] {
        const auto last = Sim->Stats().LastCommand;
        return last && last->SweepCode == SweepCode(16) && State().RxCount > 4;
    }));
    std::atomic<int> inStep{0}, outside{0};
    auto spy = Core().Subscribe([&](InstrumentEvent e) {
        if (e == InstrumentEvent::SettingsChanged) {
            (Core().StepRunning() ? inStep : outside)++;
        }
    });
    // The client is another thread, as a client is another program: its lines come when they
    // come, not when this thread's event loop lets them. On a loaded machine the first thirty
    // may all fall between steps: it goes on (up to five seconds) until one has met a step.
    std::atomic<bool> sent{false};
    std::thread client([&] {
        for (int k = 0; k < 150 && (k < 30 || inStep == 0); ++k) {
            Send(fd, "FREQ:CENT " + std::to_string(5 + k % 29) + "MHZ;SPAN 1MHZ");
            std::this_thread::sleep_for(37ms);
        }
        Send(fd, "FREQ:CENT 34MHZ;SPAN 1MHZ");
        sent = true;
    });
    WaitUntil([&] { return sent.load(); }, 10s);
    RunFor(200ms);
    client.join();
    spy.Reset();
    EXPECT_GT(inStep, 0) << outside << " outside a step";
    EXPECT_EQ(PanelText("Edit1"), "34000000");
    EXPECT_EQ(Core().Settings().StartFreq, 33.5e6);
    const int received = State().RxCount;
    EXPECT_TRUE(WaitUntil([&] { return State().RxCount > received + 4; }))
        << "the reply under way is still read";
    EXPECT_EQ(Ask(fd, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    ::close(fd);
}

// Off unless asked for; the tools window's setting starts and stops it and is kept for the
// next start (on the usual port 5025).
TEST_F(RemoteWindowsTest, TheToolsWindowsSettingAllowsItAndIsKept) {
    StartSimulator();
    StartProgram();
    EXPECT_FALSE(P->Remote().Listening()) << "off by default";
    P->Tools().Open();
    auto* allow = Control<QCheckBox>(P->Tools(), "AllowRemote");
    auto* state = Control<QLabel>(P->Tools(), "RemoteState");
    EXPECT_EQ(allow->text(), "Allow remote control from this computer");
    EXPECT_FALSE(allow->isChecked());
    EXPECT_EQ(state->text(), "Off.");

    P->Remote().SetAddress({RemoteAddress::Kind::Tcp, 0}); // not to meet another run's 5025
    QTest::mouseClick(allow, Qt::LeftButton);
    ASSERT_TRUE(P->Remote().Listening());
    const std::string port = std::to_string(P->Remote().Server().Port());
    EXPECT_EQ(state->text().toStdString(),
              "Listening on 127.0.0.1:" + port + " and [::1]:" + port + "; no client connected.");
    EXPECT_TRUE(OpenUserSettings()->value(kRemoteAllowKey).toBool());
    const int fd = Connect(P->Remote().Server().Port());
    EXPECT_TRUE(WaitUntil([&] { return state->text().endsWith("a client is connected."); }));
    ::close(fd);

    QTest::mouseClick(allow, Qt::LeftButton);
    EXPECT_FALSE(P->Remote().Listening());
    EXPECT_EQ(state->text(), "Off.");
    EXPECT_FALSE(OpenUserSettings()->value(kRemoteAllowKey).toBool());

    OpenUserSettings()->setValue(kRemoteAllowKey, true);
    P.reset();
    StartProgram();
    EXPECT_EQ(P->Remote().Address().Port, 5025);
    EXPECT_EQ(P->Remote().StateLine().find(P->Remote().Listening()
                                               ? "Listening on 127.0.0.1:5025"
                                               : "Not listening: 127.0.0.1:5025: cannot listen"),
              0u)
        << P->Remote().StateLine();
    P->Tools().Open();
    EXPECT_TRUE(Control<QCheckBox>(P->Tools(), "AllowRemote")->isChecked());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

} // namespace
