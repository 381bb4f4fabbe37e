// Sweep rate and CPU cost of the whole program against the simulated unit at the real
// line rate.
//
//   sweep_rate [seconds] [sweep-time item] [myrl-sim path]
//
// Starts myrl-sim (paced, lowpass device, --log with monotonic time stamps) publishing
// COM1 in a fresh temporary folder, runs the program's two windows in this process (Qt's
// offscreen platform unless a display is set), chooses the sweep-time item (default 0,
// "<0.5"), lets it settle for 3 s and then sweep for `seconds` (default 65). The sweep
// period comes from the simulator's log: the command lines received within the measured
// interval (one per sweep while no reply is abandoned). The CPU time is this process's
// user + system time over the same interval: the program's UI thread and its serial
// worker threads; the simulator runs in its own process and is not counted.
#include "ErrorReport.h"
#include "Program.h"
#include "TForm1.h"
#include "Widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

pid_t StartSim(const std::string& path) {
    const pid_t pid = fork();
    if (pid == 0) {
        execl(path.c_str(), path.c_str(), "--paced", "--device", "lowpass", "--log", "sim.log",
              "--ignore-stdin", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 65.0;
    const int sweepItem = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::string simPath = argc > 3 ? argv[3] : MYRL_SIM_PATH;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }

    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("myrl-rate-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    const pid_t sim = StartSim(simPath);
    for (int i = 0; i < 200 && !fs::is_symlink("COM1"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!fs::is_symlink("COM1")) {
        std::fprintf(stderr, "sweep_rate: myrl-sim did not publish COM1\n");
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("MYRL");
    myrl::SetErrorReporter([](const std::string& m, const std::string&) {
        std::fprintf(stderr, "error: %s\n", m.c_str());
    });
    double t0 = 0, t1 = 0, cpu0 = 0, cpu1 = 0;
    {
        myrl::Program program;
        program.Form1->SweepTime->setCurrentIndex(sweepItem);
        QTimer::singleShot(3000, [&] {
            t0 = MonotonicMs();
            cpu0 = CpuSeconds();
        });
        QTimer::singleShot(3000 + static_cast<int>(seconds * 1000), [&] {
            t1 = MonotonicMs();
            cpu1 = CpuSeconds();
            QApplication::quit();
        });
        QApplication::exec();
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);

    std::ifstream log("sim.log");
    std::vector<double> commands;
    std::string line, summary;
    while (std::getline(log, line)) {
        std::istringstream in(line);
        double ms = 0;
        std::string kind;
        if (line.rfind("summary:", 0) == 0) {
            summary = line;
        } else if (in >> ms >> kind && kind == "command" && ms >= t0 && ms <= t1) {
            commands.push_back(ms);
        }
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    if (commands.size() < 2) {
        std::fprintf(stderr, "sweep_rate: too few commands (%zu)\n", commands.size());
        return 1;
    }

    const double sweeps = static_cast<double>(commands.size() - 1);
    const double periodMs = (commands.back() - commands.front()) / sweeps;
    const double cpu = cpu1 - cpu0;
    const double cpuPerSweepMs =
        cpu * 1e3 * static_cast<double>(commands.back() - commands.front()) / (t1 - t0) / sweeps;
    constexpr double kTargetMs = 402.0;
    std::printf("interval            %.1f s, sweep-time item %d\n", (t1 - t0) / 1e3, sweepItem);
    std::printf("sweeps              %.0f\n", sweeps);
    std::printf("period              %.1f ms (%.3f sweeps/s); target %.0f ms: %+.1f %%\n", periodMs,
                1e3 / periodMs, kTargetMs, (periodMs / kTargetMs - 1) * 100);
    std::printf("CPU                 %.3f s user+system: %.2f ms per sweep, %.2f %% of one core\n",
                cpu, cpuPerSweepMs, cpu * 1e5 / (t1 - t0));
    std::printf("simulator %s\n", summary.c_str());
    return 0;
}
