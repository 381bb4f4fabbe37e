// Time from command to last reply character at the real line rate, measured the way the
// program sees it: over the pty, from the write of the command to the read of the 512th
// character. Counters: first_ms (command to first character), max_gap_ms (longest pause
// between two reads that brought characters).
#include "Command.h"
#include "Simulator.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace myrl;
using namespace myrl::sim;
using Clock = std::chrono::steady_clock;

namespace {

void BM_CommandToLastChar(benchmark::State& state) {
    const myrl::TempDir dir("myrl-sim-bench");
    SimConfig cfg;
    cfg.Dir = dir.Path().string();
    Simulator sim(cfg); // real pacing
    sim.Start();
    int fd = open(sim.LinkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    auto code = static_cast<int32_t>(state.range(0));
    std::string cmd = BuildCommand(0, 80000, code);
    double firstMs = 0, maxGapMs = 0;
    for (auto _ : state) {
        tcflush(fd, TCIFLUSH);
        auto start = Clock::now();
        [[maybe_unused]] ssize_t w = write(fd, cmd.data(), cmd.size());
        size_t got = 0;
        auto last = start;
        while (got < 512) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) {
                state.SkipWithError("no character within 1 s");
                break;
            }
            char buf[600];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) {
                continue;
            }
            auto now = Clock::now();
            if (got == 0) {
                firstMs = std::chrono::duration<double, std::milli>(now - start).count();
            } else {
                maxGapMs = std::max(maxGapMs,
                                    std::chrono::duration<double, std::milli>(now - last).count());
            }
            last = now;
            got += static_cast<size_t>(n);
        }
        state.SetIterationTime(std::chrono::duration<double>(last - start).count());
    }
    state.counters["first_ms"] = firstMs;
    state.counters["max_gap_ms"] = maxGapMs;
    state.counters["line_time_ms"] = 531.0 / 1920.0 * 1000.0;
    close(fd);
    sim.Stop();
}

} // namespace

BENCHMARK(BM_CommandToLastChar)
    ->Arg(0x00)
    ->Arg(0x03)
    ->Arg(0x4A)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
