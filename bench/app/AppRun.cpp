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

pid_t StartProgram(int sweepItem, double seconds) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    static char name[] = "myrl";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    int rc = 0;
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
