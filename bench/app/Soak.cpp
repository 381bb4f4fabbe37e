// Long run of the whole program against the simulated unit at the real line rate: does
// anything grow while it sweeps?
//
//   soak [seconds] [sample interval s] [sweep-time item] [myrl-sim path]
//
// Starts myrl-sim (paced, lowpass device, --log) publishing COM1 in a fresh temporary
// folder and the program in a process of its own (offscreen unless a display is set) with
// the sweep-time item chosen (default 0, "<0.5"). Every interval (default 60 s) for
// `seconds` (default 3600) it samples the program's process: VmRSS, open descriptors
// (/proc/PID/fd), threads (/proc/PID/task) and CPU time (utime + stime), with the
// commands the simulator received in the interval (one per sweep). Then the program is
// closed as the user closes it. Prints one row a sample and the growth from the first
// sample on (the first minute holds the start-up: fonts, caches, the first sweeps).
#include "AppRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

using namespace myrl::bench;

namespace {

struct Row {
    double Seconds = 0;
    ProcSample Proc;
    int Commands = 0;
    int Junk = 0;
    int Hangups = 0;
};

template <class F> void PrintGrowth(const char* what, const std::vector<Row>& rows, F value) {
    const double first = value(rows.front());
    double lo = first, hi = first;
    for (const Row& r : rows) {
        lo = std::min(lo, value(r));
        hi = std::max(hi, value(r));
    }
    std::printf("%-10s first %10.0f  last %10.0f  growth %+8.0f  (range %.0f .. %.0f)\n", what,
                first, value(rows.back()), value(rows.back()) - first, lo, hi);
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3600.0;
    const double interval = argc > 2 ? std::atof(argv[2]) : 60.0;
    const int sweepItem = argc > 3 ? std::atoi(argv[3]) : 0;
    const std::string simPath = argc > 4 ? argv[4] : MYRL_SIM_PATH;
    if (seconds <= 0 || interval <= 0) {
        std::fprintf(stderr, "usage: soak [seconds] [sample interval s] [sweep-time item] "
                             "[myrl-sim path]\n");
        return 2;
    }

    const auto dir = EnterScratchFolder("soak");
    const pid_t sim = StartSim(simPath, {"--paced", "--device", "lowpass", "--log", "sim.log"});
    if (sim < 0) {
        return 1;
    }
    const double t0 = MonotonicMs();
    // The program closes itself a little after the last sample.
    const pid_t program = StartProgram(sweepItem, seconds + std::min(5.0, interval / 2));
    std::printf("soak: %.0f s, a sample every %.0f s, sweep-time item %d, program pid %d\n",
                seconds, interval, sweepItem, static_cast<int>(program));
    std::printf("%8s %10s %6s %8s %9s %7s %9s %5s %8s\n", "time/s", "RSS/kB", "fds", "threads",
                "CPU/s", "CPU%", "commands", "junk", "hang-ups");
    std::fflush(stdout);

    std::vector<Row> rows;
    std::streamoff logOffset = 0;
    double lastCpu = 0, lastT = 0;
    bool alive = true;
    for (int k = 1; k * interval <= seconds + 1e-9 && alive; ++k) {
        const double due = t0 + k * interval * 1e3;
        while (MonotonicMs() < due) {
            if (waitpid(program, nullptr, WNOHANG) == program) {
                alive = false;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(
                static_cast<int>(std::clamp(due - MonotonicMs(), 1.0, 200.0))));
        }
        if (!alive) {
            break;
        }
        Row r;
        r.Seconds = (MonotonicMs() - t0) / 1e3;
        r.Proc = SampleProcess(program);
        for (const LogLine& l : ReadLog("sim.log", logOffset)) {
            r.Commands += l.Kind == "command";
            r.Junk += l.Kind == "junk";
            r.Hangups += l.Kind == "hangup";
        }
        const double cpuPct = (r.Proc.CpuS - lastCpu) * 100.0 / (r.Seconds - lastT);
        lastCpu = r.Proc.CpuS;
        lastT = r.Seconds;
        std::printf("%8.1f %10ld %6d %8d %9.2f %7.2f %9d %5d %8d\n", r.Seconds, r.Proc.RssKb,
                    r.Proc.Fds, r.Proc.Threads, r.Proc.CpuS, cpuPct, r.Commands, r.Junk, r.Hangups);
        std::fflush(stdout);
        rows.push_back(r);
    }

    int status = -1;
    if (alive) {
        waitpid(program, &status, 0);
    } else {
        std::printf("soak: the program ended early\n");
    }
    StopProcess(sim);
    const bool savedFile = std::filesystem::exists("myrl_prm.txt");
    RemoveScratchFolder(dir);

    if (rows.size() < 2) {
        std::fprintf(stderr, "soak: too few samples (%zu)\n", rows.size());
        return 1;
    }
    std::printf("\ngrowth from the first sample (%.0f s) to the last (%.0f s):\n",
                rows.front().Seconds, rows.back().Seconds);
    PrintGrowth("RSS/kB", rows, [](const Row& r) { return double(r.Proc.RssKb); });
    PrintGrowth("fds", rows, [](const Row& r) { return double(r.Proc.Fds); });
    PrintGrowth("threads", rows, [](const Row& r) { return double(r.Proc.Threads); });
    int commands = 0, junk = 0, minCommands = rows[1].Commands;
    for (size_t i = 1; i < rows.size(); ++i) {
        commands += rows[i].Commands;
        junk += rows[i].Junk;
        minCommands = std::min(minCommands, rows[i].Commands);
    }
    const double span = rows.back().Seconds - rows.front().Seconds;
    std::printf("CPU        %.2f s over %.0f s after the first sample: %.2f %% of one core\n",
                rows.back().Proc.CpuS - rows.front().Proc.CpuS, span,
                (rows.back().Proc.CpuS - rows.front().Proc.CpuS) * 100.0 / span);
    std::printf("sweeps     %d commands after the first sample (%.3f per s, fewest in one "
                "interval %d), junk lines %d\n",
                commands, commands / span, minCommands, junk);
    std::printf("end        program %s; parameter file %s\n",
                alive && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "closed normally"
                                                                       : "did NOT end normally",
                savedFile ? "written" : "NOT written");
    return alive && WIFEXITED(status) && WEXITSTATUS(status) == 0 && savedFile ? 0 : 1;
}
