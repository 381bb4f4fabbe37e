#include "ProgramFixture.h"

#include "ErrorReport.h"
#include "Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <QTimer>
#include <cstdlib>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace myrl {

void ProgramTest::SetUp() {
    oldDir_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir = std::filesystem::temp_directory_path() / ("myrl-" + std::to_string(::getpid()) + "-" +
                                                    info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
    std::filesystem::current_path(Dir);
    // The user's settings of this test: none from the machine's account, none left behind,
    // none from an earlier test of this program (QSettings finds its folder once a process,
    // so the environment alone would hold only for the first test).
    ::setenv("XDG_CONFIG_HOME", (Dir / "user-config").c_str(), 1);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString((Dir / "user-config").string()));
    Config.Dir = Dir.string();
    Config.Unit.Pacing.Fast = true;
    SetErrorReporter([this](const std::string& m, const std::string& detail) {
        Errors.push_back(m);
        ErrorDetails.push_back(detail);
    });
}

void ProgramTest::TearDown() {
    P.reset();
    if (Sim) {
        Sim->Stop();
        Sim.reset();
    }
    SetErrorReporter(nullptr);
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(Dir, ec);
}

void ProgramTest::StartSimulator() {
    Sim = std::make_unique<sim::Simulator>(Config);
    Sim->Start();
}

void ProgramTest::StartProgram() {
    P = std::make_unique<Program>();
}

bool ProgramTest::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout.count()) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void ProgramTest::RunFor(std::chrono::milliseconds time) {
    WaitUntil([] { return false; }, time);
}

void ProgramTest::EnterPlan(const QString& fdef, const QString& edit1, const QString& edit2) {
    PanelControl<QComboBox>("F_DEF")->setCurrentIndex(
        PanelControl<QComboBox>("F_DEF")->findText(fdef));
    if (!edit1.isEmpty()) {
        PanelControl<QLineEdit>("Edit1")->setText(edit1);
        PanelControl<QLineEdit>("Edit2")->setText(edit2);
        QTest::keyClick(PanelControl<QLineEdit>("Edit1"), Qt::Key_Return);
    }
    ASSERT_TRUE(Errors.empty()) << Errors.front();
}

void ProgramTest::Hold() {
    QTest::mouseClick(PanelControl<QRadioButton>("HoldItem"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive(); }));
}

std::string ProgramTest::Local(std::string text) {
    for (char& c : text) {
        c = c == '.' ? LocaleDecimalSeparator() : c == ',' ? LocaleThousandsSeparator() : c;
    }
    return text;
}

void ProgramTest::WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(Dir / name, std::ios::binary) << bytes;
}

std::string ProgramTest::ReadFile(const std::string& name) const {
    std::ifstream in(Dir / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace myrl
