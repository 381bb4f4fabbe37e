// Two copies of the program started in one working folder: the second is refused with a
// message, the first sweeps on undisturbed, and the parameter file that survives both
// closes is the one the first wrote.
#include "FaultFixture.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>

using namespace myrl;

TEST_F(FaultTest, ASecondInstanceInTheFolderIsRefusedAndLeavesTheFileAlone) {
    WriteFile("myrl_prm.txt", ParamFile("5000000"));
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ExpectSweepsGoOn("the first instance");

    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(Dir.string()));
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Beside this test program when it was copied elsewhere (runs as an ordinary user).
    const QString beside = QCoreApplication::applicationDirPath() + "/faults_instance";
    second.start(QFileInfo::exists(beside) ? beside : QString(MYRL_INSTANCE_PATH), {});
    QString out;
    auto saw = [&](const QString& line) {
        out += QString::fromUtf8(second.readAllStandardOutput());
        return out.split('\n').contains(line);
    };
    ASSERT_TRUE(WaitUntil([&] { return saw("started"); }, kPatience)) << out.toStdString();
    EXPECT_TRUE(out.startsWith("error ")) << "the second instance started without a word:\n"
                                          << out.toStdString();
    EXPECT_TRUE(out.contains("Another MYRL runs in this folder")) << out.toStdString();

    // The first goes on sweeping on its line, then the user changes a field and closes it.
    ExpectSweepsGoOn("the first instance beside the second");
    ExpectWindowsAndLine();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    PanelControl<QLineEdit>("Edit1")->setText("123");
    ASSERT_TRUE(Form1().close());
    const std::string first = ReadFile("myrl_prm.txt");
    EXPECT_EQ(first, ParamFile("123"));

    // The second is closed last: it must not write its own (older) values over the file.
    second.write("close\n");
    EXPECT_TRUE(WaitUntil([&] { return saw("closed yes") || saw("closed no"); }, kPatience));
    EXPECT_TRUE(saw("closed yes")) << out.toStdString();
    second.closeWriteChannel();
    EXPECT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, kPatience));
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished();
    }
    EXPECT_EQ(ReadFile("myrl_prm.txt"), first) << "the second instance said:\n"
                                               << out.toStdString();
}
