// How long the program takes to sweep again once a lost line comes back.
//
//   reconnect [repetitions] [commands per connection] [hang-up after K chars]
//             [return after S s] [sweep-time item] [myrl-sim path]
//
// Starts myrl-sim (paced, lowpass device, --log) publishing COM1 in a fresh temporary
// folder, set to hang up with the reply to the N-th command of every connection (default
// 8) after K of its characters (default 200; -1: after the whole reply) -- the pty goes
// and the link with it -- and to publish a new pty under the same link S seconds later
// (default 1). The program runs in a process of its own with the sweep-time item chosen
// (default 0, "<0.5"). From the simulator's log: for each return of the line ("ready"
// after the first), the time to the program's next command on it (the reconnect time),
// and from the hang-up to that command (the whole outage the user sees).
#include "AppRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

using namespace myrl::bench;

namespace {

void PrintStats(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double median =
        v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    std::printf("%-28s min %7.1f ms  median %7.1f ms  max %7.1f ms  (%zu)\n", what, v.front(),
                median, v.back(), v.size());
}

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::string perConnection = argc > 2 ? argv[2] : "8";
    const std::string chars = argc > 3 ? argv[3] : "200";
    const std::string returnAfter = argc > 4 ? argv[4] : "1";
    const int sweepItem = argc > 5 ? std::atoi(argv[5]) : 0;
    const std::string simPath = argc > 6 ? argv[6] : MYRL_SIM_PATH;
    if (reps < 1) {
        std::fprintf(stderr, "usage: reconnect [repetitions] [commands per connection] "
                             "[hang-up after K chars] [return after S s] [sweep-time item] "
                             "[myrl-sim path]\n");
        return 2;
    }

    const auto dir = EnterScratchFolder("reconnect");
    const pid_t sim =
        StartSim(simPath, {"--paced", "--device", "lowpass", "--log", "sim.log", "--hangup-after",
                           perConnection, "--hangup-chars", chars, "--return-after", returnAfter});
    if (sim < 0) {
        return 1;
    }
    const pid_t program = StartProgram(sweepItem, 0);

    // Generous: every connection takes N sweeps of at most a few seconds, the return and
    // the reconnect.
    const double limitMs =
        MonotonicMs() + 1e3 * (30 + reps * (std::atof(perConnection.c_str()) * 3 +
                                            std::atof(returnAfter.c_str()) + 5));
    std::vector<double> reconnect, outage;
    std::streamoff offset = 0;
    int readies = 0;
    double lastReady = -1, lastHangup = -1; // < 0: none since the last measured command
    bool alive = true;
    while (static_cast<int>(reconnect.size()) < reps && MonotonicMs() < limitMs) {
        if (waitpid(program, nullptr, WNOHANG) == program) {
            alive = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const LogLine& l : ReadLog("sim.log", offset)) {
            if (l.Kind == "hangup") {
                lastHangup = l.Ms;
            } else if (l.Kind == "ready" && ++readies > 1) {
                lastReady = l.Ms;
            } else if (l.Kind == "command" && lastReady >= 0) {
                reconnect.push_back(l.Ms - lastReady);
                outage.push_back(l.Ms - (lastHangup >= 0 ? lastHangup : lastReady));
                std::printf("return %2zu: next command %7.1f ms after the line came back, "
                            "%7.1f ms after the hang-up\n",
                            reconnect.size(), reconnect.back(), outage.back());
                std::fflush(stdout);
                lastReady = lastHangup = -1;
            }
        }
    }
    if (alive) {
        StopProcess(program);
    }
    StopProcess(sim);
    RemoveScratchFolder(dir);

    std::printf("hang-up with the reply to command %s after %s characters, back after %s s, "
                "sweep-time item %d\n",
                perConnection.c_str(), chars.c_str(), returnAfter.c_str(), sweepItem);
    if (!alive) {
        std::printf("reconnect: the program ended early\n");
    }
    if (reconnect.empty()) {
        std::fprintf(stderr, "reconnect: the program never swept again after a return\n");
        return 1;
    }
    PrintStats("return -> next command", reconnect);
    PrintStats("hang-up -> next command", outage);
    return alive && static_cast<int>(reconnect.size()) == reps ? 0 : 1;
}
