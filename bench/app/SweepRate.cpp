// Cost per sweep of the whole program against the simulated unit at the real line rate,
// as users run it.
//
//   sweep_rate [seconds] [sweep-time item] [myrl-sim path] [options]
//     --noise DB     detector noise of the simulated unit; repeat for several runs
//                    (default: 0.3 and 0, so that every sweep differs, and none does)
//     --x            on an X server of its own (Xvfb) only; --offscreen: offscreen only
//                    (default: both)
//     --scale F      QT_SCALE_FACTOR for the program (default 1)
//     --program FILE start this program file as users start it (its sweep-time item stays
//                    the layout's "0.5s") instead of the program's windows in a process
//                    forked from this one with the sweep-time item chosen
//
// For each display and noise in turn: myrl-sim (paced: 19200 bit/s, the command's own
// characters too; lowpass device; --log) publishes COM1 in a fresh folder, the program
// starts there with the sweep-time item chosen (default 0, "<0.5"), settles for 3 s and
// sweeps for `seconds` (default 65). Reported over that interval:
//   period      mean time between the commands the simulator received (one per sweep);
//               the cycle implies 402 ms for "<0.5" (531 characters of line time, the 50 ms
//               pause, the 50 ms timer and half a step on average)
//   CPU/sweep   the program's user + system time per sweep, and in % of one core
//   X/sweep     the X server's user + system time per sweep, and in % of one core
//   wake-ups/s  voluntary context switches per second of all the program's threads, and of
//               its user-interface thread alone
//   RSS         the program's resident memory at the end, and its peak
// A row per run; nothing is asserted (figures for the notes).
#include "AppRun.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace myrl::bench;

namespace {

struct Options {
    double Seconds = 65;
    int SweepItem = 0;
    std::string Sim = MYRL_SIM_PATH;
    std::vector<double> Noise;
    bool X = true;
    bool Offscreen = true;
    double Scale = 1;
    std::string Program;
};

bool Parse(int argc, char** argv, Options& o) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--noise") {
            const char* v = value();
            if (!v) {
                return false;
            }
            o.Noise.push_back(std::atof(v));
        } else if (a == "--x") {
            o.Offscreen = false;
        } else if (a == "--offscreen") {
            o.X = false;
        } else if (a == "--scale") {
            const char* v = value();
            if (!v || std::atof(v) <= 0) {
                return false;
            }
            o.Scale = std::atof(v);
        } else if (a == "--program") {
            const char* v = value();
            if (!v) {
                return false;
            }
            o.Program = v;
        } else if (a.rfind("--", 0) == 0) {
            return false;
        } else if (positional == 0) {
            o.Seconds = std::atof(a.c_str());
            ++positional;
        } else if (positional == 1) {
            o.SweepItem = std::atoi(a.c_str());
            ++positional;
        } else if (positional == 2) {
            o.Sim = a;
            ++positional;
        } else {
            return false;
        }
    }
    if (o.Noise.empty()) {
        o.Noise = {0.3, 0.0};
    }
    return o.Seconds > 0 && (o.X || o.Offscreen);
}

struct Row {
    std::string Label;
    double Seconds = 0;
    int Sweeps = 0;
    double PeriodMs = 0;
    double CpuMsPerSweep = 0;
    double CpuPercent = 0;
    double XMsPerSweep = 0;
    double XPercent = 0;
    double WakeupsPerS = 0;
    double UiWakeupsPerS = 0;
    long RssKb = 0;
    long PeakRssKb = 0;
};

// One run; false when it could not be measured.
bool Measure(const Options& o, const RunSetup& setup, Row& row) {
    XServer x;
    RunSetup s = setup;
    if (!s.Display.empty()) {
        x = StartXvfb();
        if (x.Pid < 0) {
            return false;
        }
        s.Display = x.Display;
    }
    constexpr double kSettleS = 3;
    RunningPair pair = StartPair(s, o.Sim, "rate", kSettleS + o.Seconds + 2);
    bool ok = pair.Sim > 0 && pair.Program > 0;
    if (ok) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kSettleS));
        const double t0 = MonotonicMs();
        const ProcSample p0 = SampleProcess(pair.Program);
        const ProcSample x0 = x.Pid > 0 ? SampleProcess(x.Pid) : ProcSample{};
        std::this_thread::sleep_for(std::chrono::duration<double>(o.Seconds));
        const double t1 = MonotonicMs();
        const ProcSample p1 = SampleProcess(pair.Program);
        const ProcSample x1 = x.Pid > 0 ? SampleProcess(x.Pid) : ProcSample{};
        std::streamoff offset = 0;
        std::vector<double> commands;
        for (const LogLine& l : ReadLog(pair.LogPath(), offset)) {
            if (l.Kind == "command" && l.Ms >= t0 && l.Ms <= t1) {
                commands.push_back(l.Ms);
            }
        }
        ok = p0.Valid && p1.Valid && commands.size() >= 2;
        if (ok) {
            const double span = (t1 - t0) / 1e3;
            row.Seconds = span;
            row.Sweeps = static_cast<int>(commands.size()) - 1;
            row.PeriodMs = (commands.back() - commands.front()) / row.Sweeps;
            const double sweepsInSpan = span * 1e3 / row.PeriodMs;
            row.CpuMsPerSweep = (p1.CpuS - p0.CpuS) * 1e3 / sweepsInSpan;
            row.CpuPercent = (p1.CpuS - p0.CpuS) * 100 / span;
            row.XMsPerSweep = (x1.CpuS - x0.CpuS) * 1e3 / sweepsInSpan;
            row.XPercent = (x1.CpuS - x0.CpuS) * 100 / span;
            row.WakeupsPerS = static_cast<double>(p1.Sleeps - p0.Sleeps) / span;
            row.UiWakeupsPerS = static_cast<double>(p1.MainSleeps - p0.MainSleeps) / span;
            row.RssKb = p1.RssKb;
            row.PeakRssKb = p1.PeakRssKb;
        } else {
            std::fprintf(stderr, "sweep_rate: %s: too few commands (%zu)\n", s.Label().c_str(),
                         commands.size());
        }
    }
    StopPair(pair, 5);
    StopProcess(x.Pid);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: sweep_rate [seconds] [sweep-time item] [myrl-sim path] "
                             "[--noise DB]... [--x | --offscreen] [--scale F] [--program FILE]\n");
        return 2;
    }
    std::vector<RunSetup> setups;
    for (bool onX : {true, false}) {
        if (onX ? !o.X : !o.Offscreen) {
            continue;
        }
        for (double noise : o.Noise) {
            RunSetup s;
            s.Display = onX ? "x" : ""; // the server is started for the run
            s.NoiseDb = noise;
            s.Scale = o.Scale;
            s.SweepItem = o.SweepItem;
            s.Program = o.Program;
            setups.push_back(s);
        }
    }
    std::printf("sweep-time item %d, %.0f s a run; the cycle implies 402 ms for item 0\n",
                o.Program.empty() ? o.SweepItem : 1, o.Seconds);
    std::printf("%-34s %6s %9s %8s %10s %8s %10s %8s %8s %8s %8s %8s\n", "run", "sweeps", "period",
                "vs 402", "CPU/sweep", "CPU", "X/sweep", "X CPU", "wake/s", "UI w/s", "RSS/kB",
                "peak/kB");
    std::fflush(stdout);
    int failed = 0;
    for (const RunSetup& s : setups) {
        Row r;
        if (!Measure(o, s, r)) {
            ++failed;
            continue;
        }
        std::printf("%-34s %6d %7.1fms %+7.2f%% %8.3fms %7.3f%% %8.3fms %7.3f%% %8.1f %8.1f "
                    "%8ld %8ld\n",
                    s.Label().c_str(), r.Sweeps, r.PeriodMs, (r.PeriodMs / 402 - 1) * 100,
                    r.CpuMsPerSweep, r.CpuPercent, r.XMsPerSweep, r.XPercent, r.WakeupsPerS,
                    r.UiWakeupsPerS, r.RssKb, r.PeakRssKb);
        std::fflush(stdout);
    }
    return failed == 0 ? 0 : 1;
}
