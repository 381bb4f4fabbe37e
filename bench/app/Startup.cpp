// Start-up of the program as users start it, and its memory once sweeping.
//
//   startup [runs] [options]
//     --program FILE  the program file (default: the one built beside this measurement)
//     --sim FILE      the simulator (default: the one built beside this measurement)
//     --scale F       QT_SCALE_FACTOR (default 1)
//     --offscreen     Qt's offscreen platform instead of an X server of its own (Xvfb)
//     --settle S      seconds of sweeping before the memory is sampled (default 10)
//
// For each run (default 10): myrl-sim (paced, lowpass device, 0.3 dB of noise, --log)
// publishes COM1 in a fresh folder; the program file is started there as users start it,
// with no options. Reported: the time from starting it to the first command line the
// simulator received (the line delivers it at once; 151 ms of it are the program's
// specified pauses: 100 ms at the end of the port's Open, the first 50 ms timer interval, the
// 1 ms between the purges), and after `settle` seconds of sweeping its resident memory
// (VmRSS) and peak (VmHWM). One X server serves all runs. Nothing is asserted.
#include "AppRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace myrl::bench;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10;
    double settle = 10;
    RunSetup setup;
    setup.NoiseDb = 0.3;
    setup.Program = MYRL_PROGRAM_PATH;
    std::string simPath = MYRL_SIM_PATH;
    bool onX = true;
    bool bad = false;
    for (int i = 1; i < argc && !bad; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--program" && v) {
            setup.Program = v, ++i;
        } else if (a == "--sim" && v) {
            simPath = v, ++i;
        } else if (a == "--scale" && v) {
            setup.Scale = std::atof(v), ++i;
        } else if (a == "--settle" && v) {
            settle = std::atof(v), ++i;
        } else if (a == "--offscreen") {
            onX = false;
        } else if (a.rfind("--", 0) != 0 && i == 1) {
            runs = std::atoi(a.c_str());
        } else {
            bad = true;
        }
    }
    if (bad || runs < 1 || setup.Scale <= 0 || settle < 0) {
        std::fprintf(stderr, "usage: startup [runs] [--program FILE] [--sim FILE] [--scale F] "
                             "[--offscreen] [--settle S]\n");
        return 2;
    }
    XServer x;
    if (onX) {
        x = StartXvfb();
        if (x.Pid < 0) {
            return 1;
        }
        setup.Display = x.Display;
    }
    std::printf("startup: %s, %d runs, memory after %.0f s of sweeping\n", setup.Label().c_str(),
                runs, settle);
    std::vector<double> firsts, rss, peaks;
    for (int k = 0; k < runs; ++k) {
        RunningPair pair = StartPair(setup, simPath, "startup" + std::to_string(k), 0);
        if (pair.Sim < 0 || pair.Program < 0) {
            StopProcess(x.Pid);
            return 1;
        }
        std::streamoff offset = 0;
        double first = -1;
        const double limit = MonotonicMs() + 20000;
        while (first < 0 && MonotonicMs() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            for (const LogLine& l : ReadLog(pair.LogPath(), offset)) {
                if (l.Kind == "command" && first < 0) {
                    first = l.Ms - pair.StartMs;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(settle));
        const ProcSample p = SampleProcess(pair.Program);
        if (first < 0 || !p.Valid) {
            std::fprintf(stderr, "run %d: no command from the program; it said:\n", k + 1);
            std::ifstream said(pair.Dir / "program.out");
            for (std::string line; std::getline(said, line);) {
                std::fprintf(stderr, "  %s\n", line.c_str());
            }
            StopPair(pair, 0);
            continue;
        }
        StopPair(pair, 0);
        firsts.push_back(first);
        rss.push_back(static_cast<double>(p.RssKb));
        peaks.push_back(static_cast<double>(p.PeakRssKb));
        std::printf("run %2d: first command %6.1f ms after the start; RSS %ld kB, peak %ld kB\n",
                    k + 1, first, p.RssKb, p.PeakRssKb);
        std::fflush(stdout);
    }
    StopProcess(x.Pid);
    if (firsts.empty()) {
        return 1;
    }
    std::printf("first command: median %.1f ms, min %.1f ms, max %.1f ms\n", Median(firsts),
                *std::min_element(firsts.begin(), firsts.end()),
                *std::max_element(firsts.begin(), firsts.end()));
    std::printf("RSS:           median %.0f kB, max %.0f kB; peak median %.0f kB\n", Median(rss),
                *std::max_element(rss.begin(), rss.end()), Median(peaks));
    return 0;
}
