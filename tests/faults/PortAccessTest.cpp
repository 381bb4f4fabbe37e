// A user who may not open the device (not a member of its group) starts the program on it:
// the box says the system's text and, below it, how to join the device's own group.
#include "FaultFixture.h"

#include "PtyPair.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace myrl;

TEST_F(FaultTest, AUserWithoutAccessToTheDeviceIsToldToJoinTheGroup) {
    PtyPair unit;
    const std::string device = unit.SlavePath();
    const QString beside = QCoreApplication::applicationDirPath() + "/faults_instance";
    QString program = QFileInfo::exists(beside) ? beside : QString(MYRL_INSTANCE_PATH);
    QStringList args;
    if (::geteuid() == 0) {
        // Root opens anything: the program runs as nobody, on a copy it may execute, in a
        // folder of its own; the device stays root's, open to its group (mode 0660).
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        const auto copy = Dir / "faults_instance";
        std::filesystem::copy_file(program.toStdString(), copy);
        ASSERT_EQ(::chown(Dir.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chown(copy.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
        args << "--reuid=nobody"
             << "--regid=nogroup"
             << "--clear-groups" << QString::fromStdString(copy.string());
        program = "setpriv";
    } else {
        // The device is this user's own pseudo-terminal: taking away its permission bits
        // refuses it as a device of another group would be.
        ASSERT_EQ(::chmod(device.c_str(), 0), 0);
    }
    args << "--port" << QString::fromStdString(device);
    struct stat st {};
    ASSERT_EQ(::stat(device.c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    const passwd* owner = ::getpwuid(st.st_uid);
    ASSERT_TRUE(g != nullptr && owner != nullptr);
    const std::string grp = g->gr_name;
    const std::string reason =
        ::geteuid() == 0
            ? "add your user to the " + grp + " group (sudo usermod -aG " + grp +
                  " $USER) and log in again"
            : "its group " + grp + " may not open it (owner " + owner->pw_name + ", mode 0000)";

    QProcess instance;
    // A sanitizer build's leak report at the end is not this test's concern, and the
    // suppressions file it names may be out of that user's reach.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LSAN_OPTIONS");
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    instance.setProcessEnvironment(env);
    instance.setWorkingDirectory(QString::fromStdString(Dir.string()));
    instance.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    instance.start(program, args);
    QString out;
    auto saw = [&](const QString& line) {
        out += QString::fromUtf8(instance.readAllStandardOutput());
        return out.split('\n').contains(line);
    };
    ASSERT_TRUE(WaitUntil([&] { return saw("started"); }, kPatience)) << out.toStdString();
    EXPECT_TRUE(saw("error ポートをオープンできませんでした.")) << out.toStdString();
    EXPECT_TRUE(saw(QString::fromStdString("detail " + device + ": permission denied: " + reason)))
        << out.toStdString();
    instance.closeWriteChannel();
    EXPECT_TRUE(WaitUntil([&] { return instance.state() == QProcess::NotRunning; }, kPatience));
    if (instance.state() != QProcess::NotRunning) {
        instance.kill();
        instance.waitForFinished();
    }
}
