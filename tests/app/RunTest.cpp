// The real program against myrl-sim, as users run it. Ended by a signal, as a session's
// end, Ctrl+C in the terminal or kill end it: SIGTERM, SIGINT and SIGHUP close it as the
// control panel's close does (the parameter file written, the line closed and free), and a
// second signal during that close ends it at once. Run as an ordinary user among files it
// may not read and in a folder it may not read: such files outlive the run unchanged.
#include "AsAnotherUser.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace myrl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A program beside this test (where it was copied to run as another user), else the
// build's own.
std::string Beside(const char* name, const char* built) {
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path() / name;
    return fs::exists(self) ? self.string() : built;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A child process with standard output and error in a file, standard input /dev/null.
class Child {
public:
    Child(const std::vector<std::string>& args, const fs::path& output,
          const std::vector<std::string>& env = {}) {
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
        std::vector<std::string> envs = env;
        for (char** e = environ; *e != nullptr; ++e) {
            envs.emplace_back(*e);
        }
        std::vector<char*> argv;
        std::vector<char*> envp;
        std::vector<std::string> a = args;
        for (auto& s : a) {
            argv.push_back(s.data());
        }
        argv.push_back(nullptr);
        for (auto& s : envs) {
            envp.push_back(s.data());
        }
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, a[0].c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&fa);
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait(10s);
        }
    }
    bool Started() const { return pid_ > 0; }
    void Signal(int sig) const { ::kill(pid_, sig); }
    // The wait status once it has ended within `patience`; -1 when it has not.
    int Wait(std::chrono::milliseconds patience) {
        const auto end = std::chrono::steady_clock::now() + patience;
        while (pid_ > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return status;
            }
            if (std::chrono::steady_clock::now() > end) {
                return -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

// Waits until `file` holds `what`; false when it does not within `patience`.
bool WaitForText(const fs::path& file, const std::string& what,
                 std::chrono::milliseconds patience = 30s) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < end) {
        if (Slurp(file).find(what) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// A working folder, the simulator publishing COM1 there, and the program started in it.
// The folder's name is no UTF-8: the program takes --workdir as bytes.
class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tmp_.Path() / "Messung-M\xfcller";
        fs::create_directory(dir_);
    }
    void TearDown() override {
        if (sim_) {
            sim_->Signal(SIGTERM);
            sim_->Wait(10s);
        }
    }
    // Runs the simulator and the programs as user nobody from now on (the test runs as
    // root), so that they meet the files as an ordinary user; the folders are made theirs.
    void AsNobody() {
        if (::geteuid() != 0) {
            return; // already an ordinary user
        }
        asNobody_ = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        ASSERT_EQ(::chmod(tmp_.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(dir_.c_str(), Nobody()->Uid, Nobody()->Gid), 0);
        // Copies where that user may run them (the build tree may lie where it cannot).
        for (auto* program : {&program_, &simulator_}) {
            const fs::path copy = tmp_.Path() / fs::path(*program).filename();
            fs::copy_file(*program, copy);
            *program = copy.string();
        }
    }
    std::vector<std::string> Command(std::vector<std::string> args) const {
        args.insert(args.begin(), asNobody_.begin(), asNobody_.end());
        if (!asNobody_.empty()) {
            args[0] = "/usr/bin/setpriv";
        }
        return args;
    }
    void StartSimulator() {
        sim_ = std::make_unique<Child>(
            Command({simulator_, "--dir", dir_.string(), "--fast", "--ignore-stdin"}),
            tmp_.Path() / "sim.txt");
        ASSERT_TRUE(sim_->Started());
        ASSERT_TRUE(WaitForText(tmp_.Path() / "sim.txt", "ready "))
            << Slurp(tmp_.Path() / "sim.txt");
    }
    // Starts the program in the folder; returns once it says the unit replies.
    std::unique_ptr<Child> StartProgram(const std::string& output) {
        auto p = std::make_unique<Child>(Command({program_, "--workdir", dir_.string()}),
                                         tmp_.Path() / output,
                                         std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"});
        EXPECT_TRUE(p->Started());
        EXPECT_TRUE(WaitForText(tmp_.Path() / output, ": unit replying"))
            << Slurp(tmp_.Path() / output);
        return p;
    }
    // Closes the program with SIGTERM; expects it to end as after the panel's close.
    void Close(Child& p, const std::string& output) {
        p.Signal(SIGTERM);
        const int status = p.Wait(20s);
        EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n"
                                                                                   << Said(output);
    }
    std::string Said(const std::string& output) { return Slurp(tmp_.Path() / output); }

    TempDir tmp_{"myrl-run"};
    fs::path dir_;
    std::unique_ptr<Child> sim_;
    std::vector<std::string> asNobody_;
    std::string program_ = Beside("myrl", MYRL_PROGRAM_PATH);
    std::string simulator_ = Beside("myrl-sim", MYRL_SIM_PATH);
};

class SignalTest : public RunTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        RunTest::SetUp();
        StartSimulator();
    }
};

// The parameter file of a first run that changed nothing: what the panel's close writes.
const char* const kFirstRunLines =
    "1\r\n67108864\r\n12800000\r\n0\r\n0\r\n0\r\n20000000\r\nOFF\r\n90\r\n358\r\n";

TEST_P(SignalTest, ClosesAsThePanelDoesAndTheNextStartSweeps) {
    const int sig = GetParam();
    auto first = StartProgram("first.txt");
    first->Signal(sig);
    const int status = first->Wait(20s);
    ASSERT_NE(status, -1) << "still running after the signal:\n" << Said("first.txt");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << "\n"
        << Said("first.txt");
    const std::string file = Slurp(dir_ / "myrl_prm.txt");
    EXPECT_EQ(file.rfind(kFirstRunLines, 0), 0u) << file;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 15) << file;
    EXPECT_NE(Said("first.txt")
                  .find(std::string("myrl: ") + sigabbrev_np(sig) +
                        ": closing as the control panel's close does"),
              std::string::npos)
        << Said("first.txt");

    // The line was closed and left free: the next start (as an ordinary user the line's
    // exclusive mode would refuse it) opens it and sweeps.
    auto second = StartProgram("second.txt");
    EXPECT_EQ(Said("second.txt").find("busy"), std::string::npos) << Said("second.txt");
    second->Signal(SIGTERM);
    EXPECT_NE(second->Wait(20s), -1);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A second signal while the first close runs ends the program at once, as a signal would
// without the handler.
TEST_F(RunTest, ASecondSignalEndsTheProgramAtOnce) {
    StartSimulator();
    auto p = StartProgram("run.txt");
    p->Signal(SIGTERM);
    std::this_thread::sleep_for(20ms);
    p->Signal(SIGTERM);
    const int status = p->Wait(20s);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << Said("run.txt");
}

// A parameter file the user may not read (another user's private file, the user's own file
// without read permission) is left exactly as it was by a run and its close; the user reads
// why on standard error (and in the status lines).
TEST_F(RunTest, AParameterFileTheUserMayNotReadOutlivesTheRun) {
    AsNobody();
    StartSimulator();
    const bool root = !asNobody_.empty();
    const std::string kept = "1\r\n67108864\r\n12800000\r\n0\r\n1\r\n10700000\r\n100000\r\nON\r\n";
    const struct {
        const char* name;
        mode_t mode;
        bool othersFile;
    } cases[] = {{"another user's rw-------", 0600, true}, {"an own -w-------", 0200, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.othersFile && !root) {
            continue; // an ordinary user cannot make another user's file
        }
        const fs::path file = dir_ / "myrl_prm.txt";
        fs::remove(file);
        std::ofstream(file, std::ios::binary) << kept;
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        if (root && !c.othersFile) {
            ASSERT_EQ(::chown(file.c_str(), Nobody()->Uid, Nobody()->Gid), 0);
        }
        struct stat before {};
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
        auto p = StartProgram("run.txt");
        Close(*p, "run.txt");
        struct stat after {};
        ASSERT_EQ(::stat(file.c_str(), &after), 0);
        ::chmod(file.c_str(), 0600);
        EXPECT_EQ(Slurp(file), kept);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino); // not replaced
        EXPECT_NE(Said("run.txt").find("myrl: myrl_prm.txt exists but cannot be read (permission "
                                       "denied"),
                  std::string::npos)
            << Said("run.txt");
        EXPECT_NE(Said("run.txt").find("myrl: myrl_prm.txt left as it was."), std::string::npos);
    }
}

// A folder the user may write and enter but not read cannot be locked against a second
// MYRL: the user is told, and the close writes no parameter file there (as for a second
// instance).
TEST_F(RunTest, AFolderThatCannotBeLockedGetsNoParameterFile) {
    AsNobody();
    ASSERT_EQ(::chmod(dir_.c_str(), 0333), 0);
    StartSimulator();
    auto p = StartProgram("run.txt");
    Close(*p, "run.txt");
    EXPECT_NE(Said("run.txt").find("myrl: This folder cannot be locked against a second MYRL "
                                   "(Permission denied): this one will not write myrl_prm.txt "
                                   "when it closes."),
              std::string::npos)
        << Said("run.txt");
    struct stat st {};
    EXPECT_NE(::lstat((dir_ / "myrl_prm.txt").c_str(), &st), 0);
    ::chmod(dir_.c_str(), 0755);
}

// A run killed while it wrote leaves its temporary file; the next start removes those of
// its own two files and leaves anything else.
TEST_F(RunTest, StaleTemporariesAreRemovedAtStart) {
    StartSimulator();
    for (const char* name : {"myrl_prm.txt.k1Ll9X", "myrl_data.csv.0aZ9zz", "notes.txt.k1Ll9X"}) {
        std::ofstream(dir_ / name, std::ios::binary) << "half";
        const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir_ / name).c_str(), old, 0), 0);
    }
    auto p = StartProgram("run.txt");
    EXPECT_FALSE(fs::exists(dir_ / "myrl_prm.txt.k1Ll9X"));
    EXPECT_FALSE(fs::exists(dir_ / "myrl_data.csv.0aZ9zz"));
    EXPECT_TRUE(fs::exists(dir_ / "notes.txt.k1Ll9X"));
    Close(*p, "run.txt");
}

} // namespace
} // namespace myrl
