#include "AppRun.h"

#include "ErrorReport.h"
#include "Program.h"
#include "TForm1.h"
#include "Widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace myrl::bench {

namespace fs = std::filesystem;

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

fs::path EnterScratchFolder(const std::string& what) {
    const fs::path dir =
        fs::temp_directory_path() / ("myrl-" + what + "-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    return dir;
}

void RemoveScratchFolder(const fs::path& dir) {
    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(dir, ec);
}

pid_t StartSim(const std::string& simPath, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(simPath.c_str())};
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(const_cast<char*>("--ignore-stdin"));
        argv.push_back(nullptr);
        // Its event lines ("ready ...", "summary ...") go to a file: the log has them.
        if (int out = open("sim.out", O_WRONLY | O_CREAT | O_TRUNC, 0644); out >= 0) {
            dup2(out, STDOUT_FILENO);
            close(out);
        }
        execv(simPath.c_str(), argv.data());
        _exit(127);
    }
    for (int i = 0; i < 500 && !fs::is_symlink("COM1"); ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!fs::is_symlink("COM1")) {
        std::fprintf(stderr, "myrl-sim did not publish COM1\n");
        StopProcess(pid);
        return -1;
    }
    return pid;
}

void StopProcess(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

namespace {

// The program's two windows and start sequence as in its main, with sweep-time item
// `sweepItem` chosen; closes the control panel as the user does after `seconds` (> 0).
// Ends the process.
[[noreturn]] void RunProgramHere(int sweepItem, double seconds) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    static char name[] = "myrl";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    int rc = 0;
    PrepareDisplayConnection();
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName("MYRL");
        QApplication::setQuitOnLastWindowClosed(false);
        SetErrorReporter([](const std::string& m, const std::string&) {
            std::fprintf(stderr, "myrl error: %s\n", m.c_str());
        });
        Program program;
        program.Form1->findChild<QComboBox*>("SweepTime")->setCurrentIndex(sweepItem);
        if (seconds > 0) {
            QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { program.Form1->close(); });
        }
        rc = QApplication::exec();
    }
    std::fflush(nullptr);
    _exit(rc);
}

// In a forked child: enters `dir` and sends standard output (and error, `errorToo`) to `file`
// there.
void EnterWithOutput(const std::string& dir, const char* file, bool errorToo) {
    if (chdir(dir.c_str()) != 0) {
        _exit(127);
    }
    if (int out = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644); out >= 0) {
        dup2(out, STDOUT_FILENO);
        if (errorToo) {
            dup2(out, STDERR_FILENO);
        }
        close(out);
    }
}

} // namespace

pid_t StartProgram(int sweepItem, double seconds) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    RunProgramHere(sweepItem, seconds);
}

std::string RunSetup::Label() const {
    char text[96];
    std::snprintf(text, sizeof text, "%s, noise %.1f dB", Display.empty() ? "offscreen" : "X",
                  NoiseDb);
    std::string label = text;
    if (Scale != 1) {
        std::snprintf(text, sizeof text, ", scale %g", Scale);
        label += text;
    }
    return Program.empty() ? label : label + ", " + fs::path(Program).filename().string();
}

XServer StartXvfb() {
    XServer x;
    int fds[2];
    if (pipe(fds) != 0) {
        return x;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (int null = open("/dev/null", O_WRONLY); null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            close(null);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    pollfd p{fds[0], POLLIN, 0};
    // The server writes its display number once it accepts clients.
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (pid < 0 || number.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        StopProcess(pid);
        return x;
    }
    x.Pid = pid;
    x.Display = ":" + number;
    return x;
}

RunningPair StartPair(const RunSetup& setup, const std::string& simPath, const std::string& tag,
                      double programSeconds) {
    RunningPair pair;
    // The children start in the folder: relative paths are taken from here.
    const std::string sim = fs::absolute(simPath).string();
    const std::string program = setup.Program.empty() ? "" : fs::absolute(setup.Program).string();
    pair.Dir = fs::temp_directory_path() / ("myrl-" + tag + "-" + std::to_string(getpid()));
    fs::create_directories(pair.Dir);
    char noise[32];
    std::snprintf(noise, sizeof noise, "%g", setup.NoiseDb);
    const std::string dir = pair.Dir.string();
    pair.Sim = fork();
    if (pair.Sim == 0) {
        EnterWithOutput(dir, "sim.out", false);
        execl(sim.c_str(), sim.c_str(), "--paced", "--device", "lowpass", "--log", "sim.log",
              "--noise", noise, "--ignore-stdin", static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && !fs::is_symlink(pair.Dir / "COM1"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!fs::is_symlink(pair.Dir / "COM1")) {
        std::fprintf(stderr, "myrl-sim did not publish COM1 in %s\n", dir.c_str());
        StopProcess(pair.Sim);
        pair.Sim = -1;
        return pair;
    }
    pair.StartMs = MonotonicMs();
    pair.FromFile = !program.empty();
    pair.Program = fork();
    if (pair.Program == 0) {
        EnterWithOutput(dir, "program.out", true);
        unsetenv("WAYLAND_DISPLAY");
        if (setup.Display.empty()) {
            unsetenv("DISPLAY");
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        } else {
            setenv("DISPLAY", setup.Display.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        }
        if (setup.Scale != 1) {
            setenv("QT_SCALE_FACTOR", std::to_string(setup.Scale).c_str(), 1);
        } else {
            unsetenv("QT_SCALE_FACTOR");
        }
        if (!program.empty()) {
            execl(program.c_str(), "myrl", static_cast<char*>(nullptr));
            _exit(127);
        }
        RunProgramHere(setup.SweepItem, programSeconds);
    }
    return pair;
}

bool StopPair(RunningPair& pair, double graceSeconds) {
    bool clean = false;
    if (pair.Program > 0) {
        int status = 0;
        if (pair.FromFile) {
            kill(pair.Program, SIGTERM); // it runs until asked: ask now
        }
        const double until = MonotonicMs() + graceSeconds * 1e3;
        pid_t done = 0;
        while ((done = waitpid(pair.Program, &status, WNOHANG)) == 0 && MonotonicMs() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (done == pair.Program) {
            clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        } else {
            StopProcess(pair.Program);
        }
        pair.Program = -1;
    }
    StopProcess(pair.Sim);
    pair.Sim = -1;
    pair.ParamFileWritten = fs::exists(pair.Dir / "myrl_prm.txt");
    std::error_code ec;
    fs::remove_all(pair.Dir, ec);
    return clean;
}

std::vector<LogLine> ReadLog(const std::string& path, std::streamoff& offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::stringstream rest;
    rest << in.rdbuf();
    const std::string text = rest.str();
    const size_t end = text.rfind('\n');
    std::vector<LogLine> lines;
    if (end == std::string::npos) {
        return lines;
    }
    offset += static_cast<std::streamoff>(end + 1);
    std::istringstream whole(text.substr(0, end + 1));
    for (std::string line; std::getline(whole, line);) {
        std::istringstream words(line);
        LogLine l;
        if (words >> l.Ms >> l.Kind) {
            lines.push_back(l);
        }
    }
    return lines;
}

ProcSample SampleProcess(pid_t pid) {
    ProcSample s;
    const fs::path proc = fs::path("/proc") / std::to_string(pid);
    std::ifstream status(proc / "status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            s.RssKb = std::atol(line.c_str() + 6);
            s.Valid = true;
        } else if (line.rfind("VmHWM:", 0) == 0) {
            s.PeakRssKb = std::atol(line.c_str() + 6);
        }
    }
    auto count = [](const fs::path& dir) {
        std::error_code ec;
        int n = 0;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            ++n;
        }
        return n;
    };
    s.Fds = count(proc / "fd");
    s.Threads = count(proc / "task");
    std::error_code ec;
    for (fs::directory_iterator it(proc / "task", ec), end; !ec && it != end; it.increment(ec)) {
        const bool main = it->path().filename() == std::to_string(pid);
        std::ifstream task(it->path() / "status");
        for (std::string line; std::getline(task, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                const long n = std::atol(line.c_str() + 24);
                s.Sleeps += n;
                s.MainSleeps += main ? n : 0;
            } else if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                s.Preempted += std::atol(line.c_str() + 27);
            }
        }
    }
    std::ifstream stat(proc / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    if (const size_t paren = text.rfind(')'); paren != std::string::npos) {
        std::istringstream fields(text.substr(paren + 1));
        std::string f;
        long utime = 0, stime = 0;
        // Fields from the third on: state, ppid, ... utime is the 14th, stime the 15th.
        for (int i = 3; i <= 15 && fields >> f; ++i) {
            if (i == 14) {
                utime = std::atol(f.c_str());
            } else if (i == 15) {
                stime = std::atol(f.c_str());
            }
        }
        s.CpuS = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return s;
}

} // namespace myrl::bench
