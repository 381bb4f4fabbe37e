// myrl-sim: the simulated analyser unit as a program. See SimUsage() for the options.
//
// Threads: the main thread waits for signals (through a signalfd) and control lines on
// standard input; the Simulator's engine thread does the line. Output lines are written
// under one mutex so events and answers never interleave.
#include "SimOptions.h"
#include "Simulator.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace myrl::sim;

namespace {

std::mutex outMutex;

void Say(const std::string& line) {
    std::lock_guard lock(outMutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool StdinIsDevNull() {
    struct stat in {
    }, null{};
    return fstat(STDIN_FILENO, &in) != 0 ||
           (stat("/dev/null", &null) == 0 && in.st_dev == null.st_dev && in.st_ino == null.st_ino);
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "myrl-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.Help || options.Version) {
        std::fputs((options.Help ? SimUsage() : SimVersionText()).c_str(), stdout);
        return 0;
    }

    // Block the stop signals before any thread exists, so only the signalfd sees them. A
    // shell's background start leaves SIGINT ignored, which would discard it: undo that.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (sigFd < 0) {
        std::perror("myrl-sim: signalfd");
        return 1;
    }

    options.Config.OnEvent = [](const std::string& event) { Say(event); };
    Simulator sim(options.Config);
    try {
        sim.Start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "myrl-sim: %s\n", e.what());
        return 1;
    }

    bool watchStdin = !options.IgnoreStdin && !StdinIsDevNull();
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{sigFd, POLLIN, 0}, {watchStdin ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue; // EINTR
        }
        if (fds[0].revents & POLLIN) {
            break;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[512];
            ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                break; // end of input
            }
            pending.append(buf, static_cast<size_t>(n));
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                auto words = Words(line);
                if (words.empty()) {
                    continue;
                }
                SimOptions changed = options;
                changed.Config.Unit = sim.Unit();
                std::string bad = ParseSimOptions(words, changed);
                if (!bad.empty()) {
                    Say("error " + bad);
                    continue;
                }
                sim.SetUnit(changed.Config.Unit);
                Say("ok " + line);
            }
        }
    }
    sim.Stop();
    Say("summary " + sim.Summary());
    close(sigFd);
    return 0;
}
