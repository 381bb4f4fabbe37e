// Choosing the port: on the command line, in the Port dialog while the program runs, and
// as the working folder's default; line 1 of the parameter file keeps its value throughout.
#include "ProgramFixture.h"

#include "CommX.h"
#include "ErrorReport.h"
#include "PortChoice.h"
#include "PortDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace myrl {
namespace {

// Fifteen lines whose first names port `portNo`.
std::string ParamLines(int portNo) {
    return std::to_string(portNo) +
           "\r\n67108864\r\n12800000\r\n0\r\n0\r\n0\r\n20000000\r\nOFF\r\n90\r\n358\r\n0\r\n0"
           "\r\n265\r\n0\r\n265\r\n";
}

class PortChoiceTest : public ProgramTest {
protected:
    // A second simulated unit, published as COM<portNo> in the working folder.
    std::unique_ptr<sim::Simulator> StartSecondUnit(int portNo) {
        sim::SimConfig c = Config;
        c.PortNo = portNo;
        auto s = std::make_unique<sim::Simulator>(c);
        s->Start();
        return s;
    }
    bool Sweeps(sim::Simulator& unit, uint64_t replies = 2) {
        const uint64_t before = unit.Stats().RepliesCompleted;
        return WaitUntil([&] { return unit.Stats().RepliesCompleted >= before + replies; },
                         std::chrono::seconds(20));
    }
    // The program sweeps on `unit`, and the first unit is asked no more.
    void ExpectSweepingMovedTo(sim::Simulator& unit) {
        EXPECT_TRUE(Sweeps(unit));
        const uint64_t firstUnit = Sim->Stats().Commands;
        EXPECT_TRUE(Sweeps(unit));
        EXPECT_EQ(Sim->Stats().Commands, firstUnit) << "the first unit is still asked";
    }
    // The Port dialog, opened with its shortcut from the control panel.
    QWidget& OpenDialogByShortcut() {
        Form1().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Form1()));
        QTest::keyClick(&Form1(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        auto* dialog = Form1().findChild<QWidget*>("PortDialog");
        if (dialog == nullptr) {
            throw std::runtime_error("Ctrl+Shift+P opened no Port dialog");
        }
        EXPECT_TRUE(dialog->isVisible());
        return *dialog;
    }
};

// The command line's device is opened with no COM link in the folder; line 1 names another
// port and is written back as it was read.
TEST_F(PortChoiceTest, CommandLinePortSweepsWithoutALinkAndKeepsLineOne) {
    Config.Dir = (Dir / "unit").string(); // the unit's link lies elsewhere
    std::filesystem::create_directories(Config.Dir);
    StartSimulator();
    WriteFile("myrl_prm.txt", ParamLines(7));
    P = std::make_unique<Program>(StartOptions{Sim->SlavePath()});
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(Sweeps(*Sim));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Dir / "COM7")));
    EXPECT_EQ(Port().OpenedPath(), Sim->SlavePath());
    EXPECT_EQ(
        P->Core.Status().Line(StatusTopic::Link).rfind(Sim->SlavePath() + ": unit replying", 0), 0u)
        << P->Core.Status().Line(StatusTopic::Link);
    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(ReadFile("myrl_prm.txt"), ParamLines(7));
}

// The dialog lists a second unit's link with its device, switches to it while the program
// sweeps, and keeps it as the folder's default when asked; the next start opens it.
TEST_F(PortChoiceTest, DialogListsALinkAndSwitchesToItWhileRunning) {
    WriteFile("myrl_prm.txt", ParamLines(1));
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(Sweeps(*Sim));
    auto second = StartSecondUnit(2);

    QWidget& dialog = OpenDialogByShortcut();
    auto* list = Control<QListWidget>(dialog, "PortList");
    QTest::mouseClick(Control<QPushButton>(dialog, "PortRescan"), Qt::LeftButton);
    QListWidgetItem* com2 = nullptr;
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) {
        rows << list->item(i)->text();
        if (list->item(i)->data(Qt::UserRole).toString() == "COM2") {
            com2 = list->item(i);
        }
    }
    ASSERT_NE(com2, nullptr) << rows.join(" | ").toStdString();
    EXPECT_EQ(com2->text().toStdString(), "COM2  → " + second->SlavePath());
    EXPECT_TRUE(rows.contains(QString::fromStdString("COM1  → " + Sim->SlavePath())))
        << rows.join(" | ").toStdString();

    list->setCurrentItem(com2);
    Control<QCheckBox>(dialog, "PortMakeDefault")->setChecked(true);
    QTest::mouseClick(Control<QPushButton>(dialog, "PortOpen"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Port().OpenedPath() == "COM2"; }));
    ExpectSweepingMovedTo(*second);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_NE(Control<QLabel>(dialog, "PortStatus")
                  ->text()
                  .toStdString()
                  .find("COM2 → " + second->SlavePath() + ": unit replying"),
              std::string::npos);
    EXPECT_EQ(DefaultPortFor(Dir.string()), "COM2");

    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(ReadFile("myrl_prm.txt"), ParamLines(1));
    P.reset();

    // The next run in this folder opens the default; line 1 is still written back as read.
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(Port().OpenedPath(), "COM2");
    EXPECT_TRUE(Sweeps(*second));
    EXPECT_TRUE(Form1().close());
    EXPECT_EQ(ReadFile("myrl_prm.txt"), ParamLines(1));
    second->Stop();
}

// A device this user may not open is listed all the same, greyed, saying why and naming the
// device's own group; its tip tells what would let the user open it. Root opens anything:
// for root it is a row like any other.
TEST_F(PortChoiceTest, DialogGreysADeviceThisUserMayNotOpenWithItsGroup) {
    StartSimulator();
    StartProgram();
    WriteFile("locked", "");
    std::filesystem::permissions(Dir / "locked", std::filesystem::perms::none);
    std::filesystem::create_symlink(Dir / "locked", Dir / "COM7");
    struct stat st {};
    ASSERT_EQ(::stat((Dir / "locked").c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    const passwd* u = ::getpwuid(st.st_uid);
    ASSERT_TRUE(g != nullptr && u != nullptr);

    QWidget& dialog = OpenDialogByShortcut();
    auto* list = Control<QListWidget>(dialog, "PortList");
    QListWidgetItem* com7 = nullptr;
    QListWidgetItem* com1 = nullptr;
    for (int i = 0; i < list->count(); ++i) {
        const QString device = list->item(i)->data(Qt::UserRole).toString();
        if (device == "COM7") {
            com7 = list->item(i);
        } else if (device == "COM1") {
            com1 = list->item(i);
        }
    }
    ASSERT_TRUE(com7 != nullptr && com1 != nullptr);
    EXPECT_TRUE(com1->flags().testFlag(Qt::ItemIsEnabled)) << "the unit's own pseudo-terminal";
    const std::string row = "COM7  → " + (Dir / "locked").string();
    if (::geteuid() == 0) {
        EXPECT_TRUE(com7->flags().testFlag(Qt::ItemIsEnabled));
        EXPECT_EQ(com7->text().toStdString(), row);
    } else {
        EXPECT_FALSE(com7->flags().testFlag(Qt::ItemIsEnabled));
        EXPECT_EQ(com7->text().toStdString(),
                  row + "  (permission denied: group " + g->gr_name + ")");
        EXPECT_EQ(com7->toolTip().toStdString(), std::string("permission denied: its group ") +
                                                     g->gr_name + " may not open it (owner " +
                                                     u->pw_name + ", mode 0000)");
    }
    // Open is offered for the row the user may open, and for a greyed one not.
    auto* open = Control<QPushButton>(dialog, "PortOpen");
    list->setCurrentItem(com1);
    EXPECT_TRUE(open->isEnabled());
    list->setCurrentItem(com7);
    EXPECT_EQ(open->isEnabled(), ::geteuid() == 0);
    EXPECT_TRUE(Form1().close());
}

// A switch to a device that does not open shows the message box with the system's text and
// the English line; the box is the real one.
TEST_F(PortChoiceTest, AFailedSwitchShowsTheBoxWithTheReason) {
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Sweeps(*Sim));
    SetErrorReporter(nullptr);
    QString text;
    QString informative;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            informative = box->informativeText();
            box->accept();
        }
    });
    poll.start(20);
    bool done = false;
    P->Core.SwitchPort("/dev/none-such", [&](const std::exception* e) {
        ASSERT_NE(e, nullptr);
        ReportError(*e);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    EXPECT_EQ(text.toStdString(), "ポートをオープンできませんでした.");
    EXPECT_EQ(informative.toStdString(), "/dev/none-such: no such device");
    EXPECT_EQ(P->Core.Status().Line(StatusTopic::Link), "/dev/none-such: not open: no such device");
}

// A choice that arrives while a sweep step waits in the port's read (as a click in the
// dialog does: the read keeps the windows answering) is carried out once that step has
// ended: the switch reports success, the new unit sweeps and the old one is asked no more.
TEST_F(PortChoiceTest, ASwitchAskedForDuringAStepFollowsThatStep) {
    Config.Unit.Faults.FirstDelaySeconds = 0.3; // each step waits in the read for a while
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Sweeps(*Sim));
    Config.Unit.Faults.FirstDelaySeconds = 0;
    auto second = StartSecondUnit(2);

    bool asked = false;
    bool done = false;
    std::string error;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (asked || !Core().StepRunning()) {
            return;
        }
        asked = true;
        P->Core.SwitchPort("COM2", [&](const std::exception* e) {
            EXPECT_FALSE(Core().StepRunning());
            error = e != nullptr ? e->what() : "";
            done = true;
        });
    });
    poll.start(5);
    ASSERT_TRUE(WaitUntil([&] { return done; })) << "the switch never followed the step";
    poll.stop();
    EXPECT_EQ(error, "");
    EXPECT_EQ(Port().OpenedPath(), "COM2");
    ExpectSweepingMovedTo(*second);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    second->Stop();
}

} // namespace
} // namespace myrl
