// The myrl-sim program as a subprocess: options, the ready line, control lines, exit.
#include "Command.h"
#include "SimTestUtil.h"

#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        std::string exe = MYRL_BINARY_DIR "/sim/myrl-sim";
        args.insert(args.begin(), exe);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
    }
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        CloseStdin();
        close(out_);
        close(err_);
    }
    bool Started() const { return pid_ > 0; }

    // The next line of standard output (or error), without its newline; "" on time-out.
    std::string Line(bool fromStderr = false) {
        int fd = fromStderr ? err_ : out_;
        std::string& buf = fromStderr ? errBuf_ : outBuf_;
        auto end = std::chrono::steady_clock::now() + 10s;
        while (buf.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) {
                continue;
            }
            char c[256];
            ssize_t n = read(fd, c, sizeof c);
            if (n <= 0) {
                break;
            }
            buf.append(c, static_cast<size_t>(n));
        }
        auto nl = buf.find('\n');
        if (nl == std::string::npos) {
            return "";
        }
        std::string line = buf.substr(0, nl);
        buf.erase(0, nl + 1);
        return line;
    }
    void Say(const std::string& line) {
        [[maybe_unused]] ssize_t n = write(in_, (line + "\n").data(), line.size() + 1);
    }
    void CloseStdin() {
        if (in_ >= 0) {
            close(in_);
            in_ = -1;
        }
    }
    void Signal(int sig) { kill(pid_, sig); }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string outBuf_, errBuf_;
};

} // namespace

TEST(SimProgram, BadOptionsGiveOneLineAndExitCode2) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},          {"--port", "0"}, {"--device", "resistor"}, {"--silence"},
        {"--silence", "1.5"}, {"--fast=yes"},  {"--trailer", "\\q"}};
    for (const auto& args : cases) {
        SimProcess p(args);
        ASSERT_TRUE(p.Started());
        std::string line = p.Line(true);
        EXPECT_EQ(line.rfind("myrl-sim: ", 0), 0u) << args[0];
        EXPECT_EQ(p.Line(true), "") << args[0]; // one line only
        EXPECT_EQ(p.Wait(), 2) << args[0];
    }
    SimProcess help({"--help"});
    EXPECT_NE(help.Line().find("Usage: myrl-sim"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);
    SimProcess version({"--version"});
    EXPECT_EQ(version.Line().rfind("myrl-sim 1.43 (revision ", 0), 0u);
    EXPECT_EQ(version.Line(true), "");
    EXPECT_EQ(version.Wait(), 0);
}

TEST(SimProgram, PublishesAnswersTakesControlLinesAndCleansUp) {
    struct Case {
        const char* name;
        bool bySignal;
    };
    for (const Case& c : {Case{"SIGTERM", true}, Case{"end of input", false}}) {
        myrl::TempDir dir{"myrl-sim-test"};
        std::string link = (dir.Path() / "COM2").string();
        SimProcess p({"--dir", dir.Path().string(), "--port", "2", "--fast"});
        ASSERT_TRUE(p.Started());
        std::string ready = p.Line();
        ASSERT_EQ(ready.rfind("ready " + link + " /dev/pts/", 0), 0u) << ready;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), ready.substr(ready.rfind(' ') + 1));

        simtest::Port port(link);
        ASSERT_TRUE(port.IsOpen());
        port.Send(myrl::BuildCommand(0, 80000, 3));
        std::string thru = port.Read(512);
        ASSERT_EQ(thru.size(), 512u);
        p.Say("--device open --trailer \\r\\n");
        EXPECT_EQ(p.Line(), "ok --device open --trailer \\r\\n");
        p.Say("--device nothing");
        EXPECT_EQ(p.Line().rfind("error ", 0), 0u);
        port.Send(myrl::BuildCommand(0, 80000, 3));
        std::string open = port.Read(514);
        EXPECT_EQ(open.substr(512), "\r\n");
        EXPECT_NE(open.substr(0, 512), thru); // the device changed

        if (c.bySignal) {
            p.Signal(SIGTERM);
        } else {
            p.CloseStdin();
        }
        EXPECT_EQ(p.Line(), "summary commands 2, replies completed 2, replies abandoned 0, "
                            "silent 0, junk lines 0, hang-ups 0")
            << c.name;
        EXPECT_EQ(p.Wait(), 0) << c.name;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << c.name;
    }
}
