// Pieces shared by the scripted measurements of the whole program against myrl-sim: a
// scratch working folder, the simulator as a child process, the program as a child
// process, the simulator's time-stamped log and /proc samples of a process.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace myrl::bench {

// CLOCK_MONOTONIC in milliseconds: the clock of the simulator's log.
double MonotonicMs();

// Makes /tmp/myrl-<what>-<pid> and enters it.
std::filesystem::path EnterScratchFolder(const std::string& what);
// Leaves and removes it.
void RemoveScratchFolder(const std::filesystem::path& dir);

// Starts `simPath` with `args` in the working folder (standard input ignored, standard
// output to sim.out) and waits
// until it has published COM1; returns its pid, or -1 (with a message) when it does not.
pid_t StartSim(const std::string& simPath, const std::vector<std::string>& args);
// SIGTERM and wait.
void StopProcess(pid_t pid);

// Forks the program: both windows and the start sequence as in the program's main, in a
// process of its own (Qt's offscreen platform unless a display is set), with the
// sweep-time item `sweepItem` chosen at start. After `seconds` (> 0) it closes the control
// panel as the user does and ends; otherwise it runs until it is signalled. Call it
// before this process has started any thread.
pid_t StartProgram(int sweepItem, double seconds);

// One line of the simulator's log: "<ms> <kind> <text>".
struct LogLine {
    double Ms = 0;
    std::string Kind; // command, junk, ready, hangup, error
};
// Reads the lines of `path` from `offset` on (only whole lines) and advances it.
std::vector<LogLine> ReadLog(const std::string& path, std::streamoff& offset);

// A snapshot of a process from /proc.
struct ProcSample {
    long RssKb = 0;      // VmRSS
    long PeakRssKb = 0;  // VmHWM
    int Fds = 0;         // entries of /proc/PID/fd
    int Threads = 0;     // entries of /proc/PID/task
    double CpuS = 0;     // utime + stime
    long Sleeps = 0;     // voluntary context switches of all its threads: each a wake-up
    long MainSleeps = 0; // ... of its main (user-interface) thread
    long Preempted = 0;  // involuntary context switches of all its threads
    bool Valid = false;  // the process was there
};
ProcSample SampleProcess(pid_t pid);

// An X server of its own: Xvfb, 1280x1024 at 24 bits, on a display number it picks itself.
struct XServer {
    pid_t Pid = -1; // < 0: it did not start
    std::string Display;
};
XServer StartXvfb();

// How one measured run of the program is set up.
struct RunSetup {
    std::string Display;       // an X server's display; empty: Qt's offscreen platform
    double NoiseDb = 0;        // the simulated detector's noise (myrl-sim --noise)
    double Scale = 1;          // QT_SCALE_FACTOR (1: not set)
    int SweepItem = 0;         // the sweep-time item chosen at start (not with Program)
    std::string Program;       // a program file started as users start it, the sweep-time
                               // item then the layout's; empty: the program's two windows in
                               // a process forked from this one
    std::string Label() const; // "X, noise 0.3 dB" and the like
};

// A simulated unit (paced, lowpass, --log sim.log) and the program, in a scratch folder of
// their own.
struct RunningPair {
    std::filesystem::path Dir;
    pid_t Sim = -1;
    pid_t Program = -1;
    double StartMs = 0;            // MonotonicMs() just before the program was started
    bool ParamFileWritten = false; // found by StopPair before it removes the folder
    bool FromFile = false;         // a program file: it ends when the session asks it to
    std::string LogPath() const { return (Dir / "sim.log").string(); }
};
// Starts both; the forked program closes itself as the user does after `programSeconds`
// (> 0), a started program file runs until it is stopped. Sim < 0 or Program < 0: failed.
// Call it before this process has started any thread.
RunningPair StartPair(const RunSetup& setup, const std::string& simPath, const std::string& tag,
                      double programSeconds);
// Waits for a program that closes itself (up to `graceSeconds`), else ends it; a program file
// is asked to close at once (SIGTERM, as a desktop session ends it) and given the grace to do
// so. Stops the simulator and removes the folder. Returns whether the program ended with 0
// (by itself, or for a program file as asked).
bool StopPair(RunningPair& pair, double graceSeconds);

} // namespace myrl::bench
