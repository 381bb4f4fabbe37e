// Measurements of the serial component on a pseudo-terminal.
//
//   serial_measure idle [seconds]      CPU time (user + system, all threads) that an open,
//                                      idle port costs over the interval (default 10 s)
//   serial_measure latency [trips]     time from bytes arriving on the line to Read returning
//                                      them, median and worst over the round trips (default 1000)
//
// The process plays both ends: the component owns the slave side (published as COM1 in a
// temporary working directory), the program writes on the master side.
#include "CommX.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The unit's end of a line published as COM1 in a working folder of its own.
struct Line {
    myrl::TempDir dir{"myrl-measure", myrl::TempDir::Enter::Yes};
    myrl::PtyPair pty;
    int master = pty.Master();

    Line() { pty.Publish(dir.Path(), 1); }
};

double CpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    const auto sec = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

void Configure(myrl::TCommX& comm) {
    comm.SetPortNo(1);
    comm.SetBitRate(19200);
    comm.SetFlowCtrl(myrl::cfcXonXoff);
    comm.SetTimeOutReceive(300);
}

int Idle(int seconds) {
    Line line;
    myrl::TCommX comm;
    Configure(comm);
    comm.Open();
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("idle open port: %.3f ms CPU over %.2f s wall (%.4f %% of one core)\n", cpu * 1e3,
                wall, 100.0 * cpu / wall);
    comm.Close();
    return 0;
}

int Latency(int trips) {
    Line line;
    myrl::TCommX comm;
    Configure(comm);
    comm.SetProcessEvents([] {}); // Read waits in 1 ms steps, as in the program
    comm.Open();

    std::mutex lock;
    std::condition_variable changed;
    bool go = false;
    bool quit = false;
    Clock::time_point sentAt;
    std::thread unit([&] {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int> delayUs(200, 3000);
        for (;;) {
            {
                std::unique_lock lk(lock);
                changed.wait(lk, [&] { return go || quit; });
                if (quit) {
                    return;
                }
                go = false;
            }
            // Let Read settle into its wait, then put the bytes on the line.
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
            const char bytes[2] = {'4', '2'};
            std::lock_guard lk(lock);
            sentAt = Clock::now();
            if (::write(line.master, bytes, sizeof bytes) != sizeof bytes) {
                std::perror("write");
            }
        }
    });

    std::vector<double> us;
    us.reserve(static_cast<size_t>(trips));
    char buf[16];
    for (int i = 0; i < trips; ++i) {
        {
            std::lock_guard lk(lock);
            go = true;
        }
        changed.notify_one();
        int got = 0;
        while (got < 2) {
            const int32_t n = comm.Read(buf, sizeof buf);
            if (n < 0) {
                std::fprintf(stderr, "read failed\n");
                return 1;
            }
            got += n;
        }
        const auto done = Clock::now();
        std::lock_guard lk(lock);
        us.push_back(std::chrono::duration<double, std::micro>(done - sentAt).count());
    }
    {
        std::lock_guard lk(lock);
        quit = true;
    }
    changed.notify_one();
    unit.join();
    comm.Close();

    std::sort(us.begin(), us.end());
    std::printf("bytes on the line -> Read returns, %d round trips: median %.1f us, "
                "99th %.1f us, worst %.1f us\n",
                trips, us[us.size() / 2], us[us.size() * 99 / 100], us.back());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int arg = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "idle") {
        return Idle(arg > 0 ? arg : 10);
    }
    if (mode == "latency") {
        return Latency(arg > 0 ? arg : 1000);
    }
    std::fprintf(stderr, "usage: %s idle [seconds] | latency [trips]\n", argv[0]);
    return 2;
}
