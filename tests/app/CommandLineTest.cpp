// The command line: what it takes, and the real program answering --help, --version and a
// bad option with no display at all.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace myrl {
namespace {

TEST(CommandLineTest, ParsesTheOptions) {
    struct Case {
        QStringList args;
        bool help;
        bool version;
        std::string port;
        std::string workdir;
        std::string error; // "" when understood
    };
    const Case cases[] = {
        {{"myrl"}, false, false, "", "", ""},
        {{"myrl", "--help"}, true, false, "", "", ""},
        {{"myrl", "-h"}, true, false, "", "", ""},
        {{"myrl", "--version"}, false, true, "", "", ""},
        {{"myrl", "--port", "/dev/ttyUSB0"}, false, false, "/dev/ttyUSB0", "", ""},
        {{"myrl", "--port=/dev/serial/by-id/x"}, false, false, "/dev/serial/by-id/x", "", ""},
        {{"myrl", "--workdir", "/tmp/w", "--port", "COM3"}, false, false, "COM3", "/tmp/w", ""},
        // Qt's own options are left to it.
        {{"myrl", "-platform", "offscreen", "-reverse"}, false, false, "", "", ""},
        {{"myrl", "--bogus"}, false, false, "", "", "Unknown option 'bogus'."},
        {{"myrl", "--port"}, false, false, "", "", "Missing value after '--port'."},
        {{"myrl", "--port", ""},
         false,
         false,
         "",
         "",
         "Option 'port' needs a device, such as /dev/ttyUSB0."},
        {{"myrl", "--port", "a", "--port", "b"},
         false,
         false,
         "",
         "",
         "Option 'port' given more than once."},
        {{"myrl", "stray"}, false, false, "", "", "Unexpected argument 'stray'; see --help."},
    };
    for (const Case& c : cases) {
        const std::string what = c.args.join(' ').toStdString();
        const CommandLine cl = ParseCommandLine(c.args);
        EXPECT_EQ(cl.Error, c.error) << what;
        if (c.error.empty()) {
            EXPECT_EQ(cl.Help, c.help) << what;
            EXPECT_EQ(cl.Version, c.version) << what;
            EXPECT_EQ(cl.Port, c.port) << what;
            EXPECT_EQ(cl.Workdir, c.workdir) << what;
        }
    }
    // Qt's -platform is the user's choice of window system, which MYRL then leaves alone.
    EXPECT_TRUE(ParseCommandLine(QStringList{"myrl", "-platform", "offscreen"}).PlatformGiven);
    EXPECT_FALSE(ParseCommandLine(QStringList{"myrl", "-reverse"}).PlatformGiven);
}

// Paths are bytes to the system: a folder or device whose name is not UTF-8 (made under a
// Latin-1 locale, copied from an old disk) is passed on exactly as given.
TEST(CommandLineTest, PathsAreKeptAsTheBytesGiven) {
    struct Case {
        std::vector<std::string> args;
        std::string port;
        std::string workdir;
        std::string error;
    };
    const std::string latin1 = "/tmp/Messung-M\xfcller";
    const std::string broken = "/dev/serial/by-id/usb-\xff\xfe\x80-port0";
    const Case cases[] = {
        {{"myrl", "--workdir", latin1}, "", latin1, ""},
        {{"myrl", "--port", broken}, broken, "", ""},
        {{"myrl", "--port=" + broken, "--workdir=" + latin1}, broken, latin1, ""},
        {{"myrl", "--workdir", "/tmp/Messung-Müller"}, "", "/tmp/Messung-Müller", ""},
        {{"myrl", "stray\xff"}, "", "", "Unexpected argument 'stray\xff'; see --help."},
        {{"myrl", "--b\xf6gus"}, "", "", "Unknown option 'b\xf6gus'."},
        // A stray argument is quoted as any other text: at most 100 characters, one line.
        {{"myrl", std::string(300, 'a') + "\nb"},
         "",
         "",
         "Unexpected argument '" + std::string(100, 'a') + "…'; see --help."},
    };
    for (const Case& c : cases) {
        const CommandLine cl = ParseCommandLine(c.args);
        EXPECT_EQ(cl.Error, c.error) << c.args[1];
        EXPECT_EQ(cl.Port, c.port) << c.args[1];
        EXPECT_EQ(cl.Workdir, c.workdir) << c.args[1];
    }
}

TEST(CommandLineTest, RemoteControlListensOnThisComputerOnly) {
    struct Case {
        QStringList args;
        std::string remote; // as given
        std::string error;
    };
    const Case cases[] = {
        {{"myrl"}, "", ""},
        {{"myrl", "--remote", "tcp:5025"}, "tcp:5025", ""},
        {{"myrl", "--remote=unix"}, "unix", ""},
        {{"myrl", "--remote", ""}, "", "Option 'remote' needs an address: tcp:PORT or unix."},
        {{"myrl", "--remote", "0.0.0.0:5025"},
         "",
         "Option 'remote': '0.0.0.0:5025' is neither tcp:PORT nor unix (remote control listens "
         "on this computer only)."},
        {{"myrl", "--remote", "tcp:70000"},
         "",
         "Option 'remote': '70000' is no TCP port (1 to 65535)."},
        {{"myrl", "--remote", "unix", "--remote", "tcp:1"},
         "",
         "Option 'remote' given more than once."},
    };
    for (const Case& c : cases) {
        const CommandLine cl = ParseCommandLine(c.args);
        EXPECT_EQ(cl.Error, c.error) << c.args.join(' ').toStdString();
        if (c.error.empty()) {
            EXPECT_EQ(cl.Remote, c.remote) << c.args.join(' ').toStdString();
        }
    }
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The installed program's way: no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM.
TEST(CommandLineTest, TheProgramAnswersWithoutADisplay) {
    struct Case {
        const char* args;
        int status;
        const char* out; // the start of standard output
        const char* err; // all of standard error
    };
    const Case cases[] = {
        {"--help", 0, "Usage: myrl [--port DEVICE] [--workdir DIR]\n", ""},
        {"--version", 0, "MYRL 1.43 (revision ", ""},
        {"--bogus", 2, "", "myrl: Unknown option 'bogus'.\n"},
        {"--port", 2, "", "myrl: Missing value after '--port'.\n"},
        {"--workdir /nonexistent/folder", 2, "",
         "myrl: cannot work in /nonexistent/folder: No such file or directory\n"},
        {"--remote 0.0.0.0:5025", 2, "",
         "myrl: Option 'remote': '0.0.0.0:5025' is neither tcp:PORT nor unix (remote control "
         "listens on this computer only).\n"},
        {"serve --help", 0, "Usage: myrl serve --remote tcp:PORT|unix", ""},
        {"serve --port COM1", 2, "",
         "myrl serve: give --remote tcp:PORT or --remote unix; see myrl serve --help.\n"},
        {"serve --remote tcp:http", 2, "",
         "myrl serve: --remote: 'http' is no TCP port (1 to 65535).\n"},
    };
    char dir[] = "/tmp/myrl-cli.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string out = std::string(dir) + "/out";
    const std::string err = std::string(dir) + "/err";
    for (const Case& c : cases) {
        const std::string cmd = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "
                                            "LC_ALL=C.UTF-8 ") +
                                MYRL_PROGRAM_PATH + " " + c.args + " >" + out + " 2>" + err;
        const int raw = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << c.args;
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.args;
        EXPECT_EQ(Slurp(out).rfind(c.out, 0), 0u) << c.args << ": " << Slurp(out);
        EXPECT_EQ(Slurp(err), c.err) << c.args;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace myrl
