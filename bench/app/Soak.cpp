// Long run of the whole program against the simulated unit at the real line rate: does
// anything grow while it sweeps?
//
//   soak [seconds] [sample interval s] [sweep-time item] [myrl-sim path] [options]
//     --noise DB     detector noise of the simulated unit; repeat for several runs side by
//                    side (default: 0.3 and 0)
//     --x            on X servers of their own (Xvfb) only; --offscreen: offscreen only
//                    (default: both)
//     --scale F      QT_SCALE_FACTOR for the programs (default 1)
//     --program FILE start this program file as users start it (its sweep-time item stays
//                    the layout's) instead of the program's windows in a forked process
//
// Each display and noise is a run of its own, all side by side for the whole time: myrl-sim
// (paced, lowpass device, --log) publishing COM1 in a fresh folder and the program there
// with the sweep-time item chosen (default 0, "<0.5"). Every interval (default 60 s) for
// `seconds` (default 3600) each program is sampled: VmRSS, open descriptors, threads, CPU
// time (utime + stime), wake-ups (voluntary context switches) and the commands its
// simulator received in the interval (one per sweep). Then the programs are closed as the
// user closes them. Prints a row a sample and run, and the growth from the first sample on
// (the first minute holds the start-up: fonts, caches, the first sweeps).
#include "AppRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace myrl::bench;

namespace {

struct Row {
    double Seconds = 0;
    ProcSample Proc;
    int Commands = 0;
    int Junk = 0;
    int Hangups = 0;
};

struct Run {
    RunSetup Setup;
    XServer X;
    RunningPair Pair;
    std::streamoff LogOffset = 0;
    std::vector<Row> Rows;
    double LastCpu = 0;
    double LastT = 0;
    bool Alive = true;
    bool Clean = false;
};

template <class F> void PrintGrowth(const char* what, const std::vector<Row>& rows, F value) {
    const double first = value(rows.front());
    double lo = first, hi = first;
    for (const Row& r : rows) {
        lo = std::min(lo, value(r));
        hi = std::max(hi, value(r));
    }
    std::printf("  %-10s first %10.0f  last %10.0f  growth %+8.0f  (range %.0f .. %.0f)\n", what,
                first, value(rows.back()), value(rows.back()) - first, lo, hi);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 3600, interval = 60, scale = 1;
    int sweepItem = 0, positional = 0;
    std::string simPath = MYRL_SIM_PATH, program;
    std::vector<double> noises;
    bool onX = true, offscreen = true, bad = false;
    for (int i = 1; i < argc && !bad; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--noise" && v) {
            noises.push_back(std::atof(v));
            ++i;
        } else if (a == "--scale" && v) {
            scale = std::atof(v);
            ++i;
        } else if (a == "--program" && v) {
            program = v;
            ++i;
        } else if (a == "--x") {
            offscreen = false;
        } else if (a == "--offscreen") {
            onX = false;
        } else if (a.rfind("--", 0) == 0 || positional > 3) {
            bad = true;
        } else if (positional == 0) {
            seconds = std::atof(a.c_str()), ++positional;
        } else if (positional == 1) {
            interval = std::atof(a.c_str()), ++positional;
        } else if (positional == 2) {
            sweepItem = std::atoi(a.c_str()), ++positional;
        } else {
            simPath = a, ++positional;
        }
    }
    if (bad || seconds <= 0 || interval <= 0 || scale <= 0 || (!onX && !offscreen)) {
        std::fprintf(stderr, "usage: soak [seconds] [sample interval s] [sweep-time item] "
                             "[myrl-sim path] [--noise DB]... [--x | --offscreen] [--scale F] "
                             "[--program FILE]\n");
        return 2;
    }
    if (noises.empty()) {
        noises = {0.3, 0.0};
    }

    std::vector<Run> runs;
    for (bool x : {true, false}) {
        if (x ? !onX : !offscreen) {
            continue;
        }
        for (double noise : noises) {
            Run r;
            r.Setup.NoiseDb = noise;
            r.Setup.Scale = scale;
            r.Setup.SweepItem = sweepItem;
            r.Setup.Program = program;
            if (x) {
                r.X = StartXvfb();
                if (r.X.Pid < 0) {
                    return 1;
                }
                r.Setup.Display = r.X.Display;
            }
            runs.push_back(r);
        }
    }
    const double t0 = MonotonicMs();
    int tag = 0;
    for (Run& r : runs) {
        // The programs close themselves a little after the last sample.
        r.Pair = StartPair(r.Setup, simPath, "soak" + std::to_string(tag++),
                           seconds + std::min(5.0, interval / 2));
        if (r.Pair.Sim < 0 || r.Pair.Program < 0) {
            return 1;
        }
        std::printf("soak: %s, program pid %d\n", r.Setup.Label().c_str(),
                    static_cast<int>(r.Pair.Program));
    }
    std::printf("%.0f s, a sample every %.0f s, sweep-time item %d\n", seconds, interval,
                program.empty() ? sweepItem : 1);
    std::printf("%-26s %8s %10s %6s %8s %9s %7s %9s %9s %5s %8s\n", "run", "time/s", "RSS/kB",
                "fds", "threads", "CPU/s", "CPU%", "wakes", "commands", "junk", "hang-ups");
    std::fflush(stdout);

    for (int k = 1; k * interval <= seconds + 1e-9; ++k) {
        const double due = t0 + k * interval * 1e3;
        while (MonotonicMs() < due) {
            std::this_thread::sleep_for(std::chrono::milliseconds(
                static_cast<int>(std::clamp(due - MonotonicMs(), 1.0, 200.0))));
        }
        for (Run& r : runs) {
            if (!r.Alive) {
                continue;
            }
            if (waitpid(r.Pair.Program, nullptr, WNOHANG) == r.Pair.Program) {
                r.Alive = false;
                r.Pair.Program = -1;
                std::printf("%s: the program ended early\n", r.Setup.Label().c_str());
                continue;
            }
            Row row;
            row.Seconds = (MonotonicMs() - t0) / 1e3;
            row.Proc = SampleProcess(r.Pair.Program);
            for (const LogLine& l : ReadLog(r.Pair.LogPath(), r.LogOffset)) {
                row.Commands += l.Kind == "command";
                row.Junk += l.Kind == "junk";
                row.Hangups += l.Kind == "hangup";
            }
            const double cpuPct = (row.Proc.CpuS - r.LastCpu) * 100.0 / (row.Seconds - r.LastT);
            r.LastCpu = row.Proc.CpuS;
            r.LastT = row.Seconds;
            std::printf("%-26s %8.1f %10ld %6d %8d %9.2f %7.2f %9ld %9d %5d %8d\n",
                        r.Setup.Label().c_str(), row.Seconds, row.Proc.RssKb, row.Proc.Fds,
                        row.Proc.Threads, row.Proc.CpuS, cpuPct, row.Proc.Sleeps, row.Commands,
                        row.Junk, row.Hangups);
            r.Rows.push_back(row);
        }
        std::fflush(stdout);
    }

    int failed = 0;
    for (Run& r : runs) {
        r.Clean = StopPair(r.Pair, r.Alive ? 30 : 0) && r.Alive;
        const bool savedFile = r.Pair.ParamFileWritten;
        StopProcess(r.X.Pid);
        std::printf("\n%s:\n", r.Setup.Label().c_str());
        if (r.Rows.size() < 2) {
            std::printf("  too few samples (%zu)\n", r.Rows.size());
            ++failed;
            continue;
        }
        std::printf("  growth from the first sample (%.0f s) to the last (%.0f s):\n",
                    r.Rows.front().Seconds, r.Rows.back().Seconds);
        PrintGrowth("RSS/kB", r.Rows, [](const Row& w) { return double(w.Proc.RssKb); });
        PrintGrowth("fds", r.Rows, [](const Row& w) { return double(w.Proc.Fds); });
        PrintGrowth("threads", r.Rows, [](const Row& w) { return double(w.Proc.Threads); });
        int commands = 0, junk = 0, minCommands = r.Rows[1].Commands;
        for (size_t i = 1; i < r.Rows.size(); ++i) {
            commands += r.Rows[i].Commands;
            junk += r.Rows[i].Junk;
            minCommands = std::min(minCommands, r.Rows[i].Commands);
        }
        const Row& first = r.Rows.front();
        const Row& last = r.Rows.back();
        const double span = last.Seconds - first.Seconds;
        std::printf("  CPU        %.2f s over %.0f s after the first sample: %.3f %% of one core, "
                    "%.2f ms per sweep; %.1f wake-ups a second\n",
                    last.Proc.CpuS - first.Proc.CpuS, span,
                    (last.Proc.CpuS - first.Proc.CpuS) * 100.0 / span,
                    commands > 0 ? (last.Proc.CpuS - first.Proc.CpuS) * 1e3 / commands : 0.0,
                    static_cast<double>(last.Proc.Sleeps - first.Proc.Sleeps) / span);
        std::printf("  sweeps     %d commands after the first sample (%.3f per s, fewest in one "
                    "interval %d), junk lines %d\n",
                    commands, commands / span, minCommands, junk);
        std::printf("  end        program %s; parameter file %s\n",
                    r.Clean ? "closed normally" : "did NOT end normally",
                    savedFile ? "written" : "NOT written");
        failed += !r.Clean || !savedFile;
    }
    return failed == 0 ? 0 : 1;
}
