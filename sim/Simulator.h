// The simulated analyser unit on a pseudo-terminal, for the command-line simulator and
// for tests that run it inside their own process.
//
// Threads: Start() launches one engine thread that owns the pty, reads commands and
// streams replies; every public member may be called from any other thread. Run-time
// changes (SetUnit and friends) take effect with the next command. Stop() (also run by
// the destructor) joins the engine and removes the link.
#pragma once

#include "Command.h"
#include "PtyLink.h"
#include "Unit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace myrl::sim {

struct SimStats {
    uint64_t Commands = 0;         // command lines received
    uint64_t JunkLines = 0;        // other lines received (never answered)
    uint64_t RepliesCompleted = 0; // all 512 characters (and the trailer) sent
    uint64_t RepliesAbandoned = 0; // cut by a new command, a stall or a hang-up
    uint64_t RepliesSilent = 0;    // commands left unanswered by the silence fault
    uint64_t CharsSent = 0;
    uint64_t Hangups = 0;
    uint64_t Connections = 0; // times the link was published (1 + returns)
    std::optional<SweepCommand> LastCommand;
    std::string LastJunk; // the last junk line, as received
};

struct SimConfig {
    std::string Dir = "."; // where the link is published
    int PortNo = 1;        // link name COM<PortNo>
    UnitConfig Unit;
    std::string LogPath; // every line received, time-stamped; empty: no log
    // Called with "ready <link> <device>" when the link is published (on the caller's
    // thread in Start, on the engine thread after a return) and "hangup <link>" when the
    // line is closed by the hang-up fault (engine thread). Must not call back into the
    // Simulator's Stop.
    std::function<void(const std::string&)> OnEvent;
};

class Simulator {
public:
    explicit Simulator(SimConfig config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty, publishes the link and starts the engine. Throws std::runtime_error.
    void Start();
    // Stops the engine, closes the line and removes the link; idempotent.
    void Stop();

    std::string LinkPath() const;
    // The current slave device; empty while hung up.
    std::string SlavePath() const;

    UnitConfig Unit() const;
    void SetUnit(const UnitConfig& unit);
    void SetDevice(const DeviceConfig& device);
    void SetFaults(const FaultConfig& faults);

    SimStats Stats() const;
    // Waits until `done(Stats())` holds or the time-out passes; returns the last result.
    bool WaitFor(const std::function<bool(const SimStats&)>& done,
                 std::chrono::milliseconds timeout) const;
    // "commands N, replies completed N, replies abandoned N, junk lines N, ..."
    std::string Summary() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Reply {
        PlannedReply Plan;
        std::vector<double> Due;
        Clock::time_point Start;
        size_t Pos = 0;
    };

    void Run();
    void Publish(); // engine thread or Start
    void HandleBytes(const char* data, size_t n);
    // `firstByte`: when the line's first character arrived.
    void HandleLine(const std::string& line, Clock::time_point firstByte);
    void SendDue();
    void FinishReply();
    void HangUp();
    void Log(const char* kind, const std::string& line);
    void Wake();
    template <class F> void Update(F&& f) {
        {
            std::lock_guard lock(mutex_);
            f(stats_);
        }
        changed_.notify_all();
    }

    const SimConfig config_;
    const std::string link_;

    mutable std::mutex mutex_; // guards unit_, stats_, slavePath_
    mutable std::condition_variable changed_;
    UnitConfig unit_;
    SimStats stats_;
    std::string slavePath_;

    // Engine thread only (and Start/Stop while the engine is not running).
    std::unique_ptr<PtyLink> pty_;
    std::optional<Reply> reply_;
    std::optional<Clock::time_point> returnAt_;
    std::optional<Clock::time_point> hangupFrom_; // hang-up due once the program has read
    std::string lineBuf_;
    std::optional<Clock::time_point> lineStart_; // first character of lineBuf_ arrived
    bool xoff_ = false;
    bool blocked_ = false; // the master took only part of the due characters
    int commandsThisConnection_ = 0;
    Rng rng_;
    std::FILE* log_ = nullptr;

    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread engine_;
};

} // namespace myrl::sim
