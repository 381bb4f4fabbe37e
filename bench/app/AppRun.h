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
    long RssKb = 0;     // VmRSS
    int Fds = 0;        // entries of /proc/PID/fd
    int Threads = 0;    // entries of /proc/PID/task
    double CpuS = 0;    // utime + stime
    bool Valid = false; // the process was there
};
ProcSample SampleProcess(pid_t pid);

} // namespace myrl::bench
