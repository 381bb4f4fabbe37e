// The sweep period of the windowed program under remote control: a client asking
// `rate` queries a second against no client at all, side by side.
//
//   remote_load [seconds] [rate] [rounds] [sweep-time item] [myrl-sim path]
//
// Starts myrl-sim (paced, lowpass device, --log with monotonic time stamps) publishing COM1
// in a fresh temporary folder and runs the program's two windows in this process (Qt's
// offscreen platform unless a display is set) with remote control on a free loopback port.
// The windows repaint as they always do (Graph1 after every step). After 3 s of settling,
// `rounds` rounds (default 2) each measure `seconds` (default 30) without a client, then
// `seconds` with one: a client process that sends one query every 1/rate s (default 1000
// a second) and waits for its answer - in turn SENS:FREQ:CENT?, CALC:MARK1:Y?, *IDN?,
// SYST:ERR?, INIT:CONT?, SENS:AVER:COUN?, CALC:BWID?, FREQ:SPAN?, SYST:LINK? and, every
// tenth, TRAC:DATA? (251 points, about 6 kB); when an answer came late it catches up, so the
// rate holds over the interval. The sweep period comes from the simulator's
// log (the command lines within each interval); the CPU time is this process's (the
// program; the client and the simulator run in processes of their own).
#include "AppRun.h"
#include "ErrorReport.h"
#include "Program.h"
#include "RemoteService.h"
#include "TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using myrl::bench::MonotonicMs;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// The client: told "run PORT SECONDS RATE" on `in`, it queries for that long and writes
// "<queries> <p50 ms> <p99 ms> <max ms> <late>" on `out`; "quit" ends it.
[[noreturn]] void ClientProcess(int in, int out) {
    static const char* const kQueries[] = {
        "SENS:FREQ:CENT?", "CALC:MARK1:Y?", "*IDN?",      "SYST:ERR?",  "INIT:CONT?",
        "SENS:AVER:COUN?", "CALC:BWID?",    "FREQ:SPAN?", "SYST:LINK?", "TRAC:DATA?"};
    FILE* commands = fdopen(in, "r");
    char line[128];
    while (std::fgets(line, sizeof line, commands)) {
        int port = 0;
        double seconds = 0, rate = 0;
        if (std::sscanf(line, "run %d %lf %lf", &port, &seconds, &rate) != 3) {
            break;
        }
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            dprintf(out, "0 0 0 0 0\n");
            continue;
        }
        std::vector<double> latency;
        const double step = 1000.0 / rate;
        const double t0 = MonotonicMs();
        double next = t0;
        long late = 0;
        std::string buf;
        for (size_t k = 0; MonotonicMs() - t0 < seconds * 1000; ++k) {
            const double now = MonotonicMs();
            if (next > now) {
                timespec ts{0, static_cast<long>((next - now) * 1e6)};
                nanosleep(&ts, nullptr);
            } else if (now - next > step) {
                ++late; // behind the schedule (the program was busy): catch up at once
            }
            next += step;
            const std::string q = std::string(kQueries[k % 10]) + "\n";
            const double sent = MonotonicMs();
            if (send(fd, q.data(), q.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(q.size())) {
                break;
            }
            char chunk[8192];
            bool answered = false;
            while (!answered) {
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    break;
                }
                buf.append(chunk, static_cast<size_t>(n));
                const size_t nl = buf.find('\n');
                if (nl != std::string::npos) {
                    buf.erase(0, nl + 1);
                    answered = true;
                }
            }
            if (!answered) {
                break;
            }
            latency.push_back(MonotonicMs() - sent);
        }
        close(fd);
        std::sort(latency.begin(), latency.end());
        auto at = [&](double q) {
            return latency.empty() ? 0.0
                                   : latency[std::min(latency.size() - 1,
                                                      static_cast<size_t>(q * latency.size()))];
        };
        dprintf(out, "%zu %.3f %.3f %.3f %ld\n", latency.size(), at(0.5), at(0.99),
                latency.empty() ? 0.0 : latency.back(), late);
    }
    _exit(0);
}

struct Interval {
    bool Client = false;
    double T0 = 0, T1 = 0, Cpu = 0;
    std::string ClientStats;
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const double rate = argc > 2 ? std::atof(argv[2]) : 1000.0;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 2;
    const int sweepItem = argc > 4 ? std::atoi(argv[4]) : 0;
    const std::string simPath = argc > 5 ? argv[5] : MYRL_SIM_PATH;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }

    // The client is forked before any thread exists.
    int toClient[2], fromClient[2];
    if (pipe(toClient) != 0 || pipe(fromClient) != 0) {
        return 1;
    }
    const pid_t client = fork();
    if (client == 0) {
        close(toClient[1]);
        close(fromClient[0]);
        ClientProcess(toClient[0], fromClient[1]);
    }
    close(toClient[0]);
    close(fromClient[1]);

    const auto dir = myrl::bench::EnterScratchFolder("remote-load");
    const pid_t sim =
        myrl::bench::StartSim(simPath, {"--paced", "--device", "lowpass", "--log", "sim.log"});
    if (sim < 0) {
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("MYRL");
    myrl::SetErrorReporter([](const std::string& m, const std::string&) {
        std::fprintf(stderr, "error: %s\n", m.c_str());
    });
    std::vector<Interval> intervals;
    {
        myrl::Program program(
            myrl::StartOptions{"", myrl::RemoteAddress{myrl::RemoteAddress::Kind::Tcp, 0}});
        const int port = program.Remote().Server().Port();
        program.Form1->findChild<QComboBox*>("SweepTime")->setCurrentIndex(sweepItem);
        for (int r = 0; r < rounds; ++r) {
            Interval none, loaded;
            loaded.Client = true;
            intervals.push_back(none);
            intervals.push_back(loaded);
        }
        // Each interval: its start, then after `seconds` its end and the next one's start.
        std::function<void(size_t)> begin = [&](size_t k) {
            Interval& i = intervals[k];
            i.T0 = MonotonicMs();
            i.Cpu = CpuSeconds();
            if (i.Client) {
                dprintf(toClient[1], "run %d %f %f\n", port, seconds, rate);
            }
            QTimer::singleShot(static_cast<int>(seconds * 1000), [&, k] {
                Interval& j = intervals[k];
                j.T1 = MonotonicMs();
                j.Cpu = CpuSeconds() - j.Cpu;
                if (j.Client) {
                    // The client's last query is answered meanwhile.
                    pollfd p{fromClient[0], POLLIN, 0};
                    while (poll(&p, 1, 0) == 0) {
                        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                    }
                    char stats[128] = {};
                    const ssize_t n = read(fromClient[0], stats, sizeof stats - 1);
                    j.ClientStats = n > 0 ? std::string(stats, static_cast<size_t>(n - 1)) : "";
                }
                if (k + 1 < intervals.size()) {
                    begin(k + 1);
                } else {
                    QApplication::quit();
                }
            });
        };
        QTimer::singleShot(3000, [&] { begin(0); });
        QApplication::exec();
    }
    dprintf(toClient[1], "quit\n");
    waitpid(client, nullptr, 0);
    myrl::bench::StopProcess(sim);

    std::streamoff offset = 0;
    std::vector<double> commands;
    for (const auto& l : myrl::bench::ReadLog("sim.log", offset)) {
        if (l.Kind == "command") {
            commands.push_back(l.Ms);
        }
    }
    myrl::bench::RemoveScratchFolder(dir);

    std::printf("sweep-time item %d, %d rounds of %.0f s without and with a client at %.0f "
                "queries/s\n",
                sweepItem, rounds, seconds, rate);
    std::printf("%-9s %8s %7s %10s %9s  %s\n", "interval", "sweeps", "period", "CPU", "queries/s",
                "latency p50/p99/max ms, late");
    double period[2] = {0, 0};
    int count[2] = {0, 0};
    for (const Interval& i : intervals) {
        std::vector<double> in;
        for (double c : commands) {
            if (c >= i.T0 && c <= i.T1) {
                in.push_back(c);
            }
        }
        if (in.size() < 2) {
            std::printf("too few sweeps in an interval\n");
            return 1;
        }
        const double p = (in.back() - in.front()) / static_cast<double>(in.size() - 1);
        period[i.Client] += p;
        ++count[i.Client];
        long queries = 0;
        double p50 = 0, p99 = 0, max = 0;
        long late = 0;
        std::sscanf(i.ClientStats.c_str(), "%ld %lf %lf %lf %ld", &queries, &p50, &p99, &max,
                    &late);
        std::printf("%-9s %8zu %5.1f ms %7.2f %% %9.0f", i.Client ? "client" : "none",
                    in.size() - 1, p, i.Cpu * 1e5 / (i.T1 - i.T0), queries * 1e3 / (i.T1 - i.T0));
        if (i.Client) {
            std::printf("  %.3f / %.3f / %.1f, %ld", p50, p99, max, late);
        }
        std::printf("\n");
    }
    const double without = period[0] / count[0], with = period[1] / count[1];
    std::printf("period without a client %.2f ms, with one %.2f ms: %+.2f %%\n", without, with,
                (with / without - 1) * 100);
    return 0;
}
