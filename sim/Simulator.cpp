#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace myrl::sim {

namespace {

constexpr size_t kMaxLine = 4096; // longer junk is counted but not kept in full

std::string Printable(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

} // namespace

Simulator::Simulator(SimConfig config)
    : config_(std::move(config)), link_(config_.Dir + "/COM" + std::to_string(config_.PortNo)),
      unit_(config_.Unit), rng_(config_.Unit.Seed) {}

Simulator::~Simulator() {
    Stop();
}

std::string Simulator::LinkPath() const {
    return link_;
}

std::string Simulator::SlavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

UnitConfig Simulator::Unit() const {
    std::lock_guard lock(mutex_);
    return unit_;
}

void Simulator::SetUnit(const UnitConfig& unit) {
    std::lock_guard lock(mutex_);
    unit_ = unit;
}

void Simulator::SetDevice(const DeviceConfig& device) {
    std::lock_guard lock(mutex_);
    unit_.Device = device;
}

void Simulator::SetFaults(const FaultConfig& faults) {
    std::lock_guard lock(mutex_);
    unit_.Faults = faults;
}

SimStats Simulator::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

bool Simulator::WaitFor(const std::function<bool(const SimStats&)>& done,
                        std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(stats_); });
}

std::string Simulator::Summary() const {
    SimStats s = Stats();
    return "commands " + std::to_string(s.Commands) + ", replies completed " +
           std::to_string(s.RepliesCompleted) + ", replies abandoned " +
           std::to_string(s.RepliesAbandoned) + ", silent " + std::to_string(s.RepliesSilent) +
           ", junk lines " + std::to_string(s.JunkLines) + ", hang-ups " +
           std::to_string(s.Hangups);
}

void Simulator::Start() {
    if (engine_.joinable()) {
        return;
    }
    if (!config_.LogPath.empty()) {
        log_ = std::fopen(config_.LogPath.c_str(), "w");
        if (!log_) {
            throw std::runtime_error("cannot write the log " + config_.LogPath);
        }
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        throw std::runtime_error("eventfd failed");
    }
    try {
        Publish();
    } catch (...) {
        close(wakeFd_);
        wakeFd_ = -1;
        if (log_) {
            std::fclose(log_);
            log_ = nullptr;
        }
        throw;
    }
    stopping_ = false;
    engine_ = std::thread([this] { Run(); });
}

void Simulator::Stop() {
    if (engine_.joinable()) {
        stopping_ = true;
        Wake();
        engine_.join();
    }
    pty_.reset();
    {
        std::lock_guard lock(mutex_);
        slavePath_.clear();
    }
    if (wakeFd_ >= 0) {
        close(wakeFd_);
        wakeFd_ = -1;
    }
    if (log_) {
        std::fprintf(log_, "summary: %s\n", Summary().c_str());
        std::fclose(log_);
        log_ = nullptr;
    }
}

void Simulator::Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void Simulator::Publish() {
    pty_ = std::make_unique<PtyLink>(link_);
    lineBuf_.clear();
    blocked_ = false;
    xoff_ = false;
    commandsThisConnection_ = 0;
    returnAt_.reset();
    {
        std::lock_guard lock(mutex_);
        slavePath_ = pty_->SlavePath();
        ++stats_.Connections;
    }
    changed_.notify_all();
    Log("ready", link_);
    if (config_.OnEvent) {
        config_.OnEvent("ready " + link_ + " " + pty_->SlavePath());
    }
}

void Simulator::Log(const char* kind, const std::string& line) {
    if (!log_) {
        return;
    }
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    double ms = static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
    std::fprintf(log_, "%.3f %s %s\n", ms, kind, Printable(line).c_str());
    std::fflush(log_);
}

void Simulator::Run() {
    char buf[1024];
    while (!stopping_) {
        std::optional<Clock::time_point> deadline;
        if (reply_ && !xoff_ && !blocked_ && reply_->Pos < reply_->Plan.Text.size()) {
            deadline = reply_->Start + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(reply_->Due[reply_->Pos]));
        }
        if (!pty_ && returnAt_) {
            deadline = *returnAt_;
        }
        if (hangupFrom_) {
            deadline = Clock::now() + std::chrono::milliseconds(5);
        }
        short events = static_cast<short>(POLLIN | (blocked_ ? POLLOUT : 0));
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {pty_ ? pty_->MasterFd() : -1, events, 0}};
        timespec wait{};
        timespec* waitPtr = nullptr;
        if (deadline) {
            auto left = std::max(*deadline - Clock::now(), Clock::duration::zero());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<time_t>(ns / 1000000000);
            wait.tv_nsec = static_cast<long>(ns % 1000000000);
            waitPtr = &wait;
        }
        if (ppoll(fds, 2, waitPtr, nullptr) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = read(wakeFd_, &v, sizeof v);
            continue; // re-check stopping_
        }
        if (pty_ && (fds[1].revents & POLLIN)) {
            ssize_t n = read(pty_->MasterFd(), buf, sizeof buf);
            if (n > 0) {
                HandleBytes(buf, static_cast<size_t>(n));
            }
        }
        if (fds[1].revents & POLLOUT) {
            blocked_ = false;
        }
        if (hangupFrom_ && pty_) {
            // Let the program read what was sent before the line goes: a hang-up discards
            // whatever still waits in the slave's input queue.
            auto waited = Clock::now() - *hangupFrom_;
            if ((waited >= std::chrono::milliseconds(20) && pty_->SlaveQueued() == 0) ||
                waited >= std::chrono::milliseconds(500)) {
                HangUp();
            }
        }
        if (!pty_ && returnAt_ && Clock::now() >= *returnAt_) {
            try {
                Publish();
            } catch (const std::exception& e) {
                // The name was taken by something else meanwhile: stay unplugged.
                Log("error", e.what());
                returnAt_.reset();
            }
        }
        SendDue();
    }
}

void Simulator::HandleBytes(const char* data, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        char c = data[k];
        if (c == 0x13) {
            xoff_ = true; // flow control from the program's side
        } else if (c == 0x11) {
            xoff_ = false;
        } else if (c == '\r') {
            std::string line;
            line.swap(lineBuf_);
            const auto firstByte = lineStart_.value_or(Clock::now());
            lineStart_.reset();
            HandleLine(line, firstByte);
        } else {
            if (!lineStart_) {
                lineStart_ = Clock::now();
            }
            if (lineBuf_.size() < kMaxLine) {
                lineBuf_ += c;
            }
        }
    }
}

void Simulator::HandleLine(const std::string& line, Clock::time_point firstByte) {
    auto cmd = ParseCommand(line);
    if (!cmd) {
        Log("junk", line);
        Update([&](SimStats& s) {
            ++s.JunkLines;
            s.LastJunk = line;
        });
        return;
    }
    Log("command", line);
    UnitConfig unit;
    {
        std::lock_guard lock(mutex_);
        unit = unit_;
        ++stats_.Commands;
        stats_.LastCommand = *cmd;
        if (reply_) {
            ++stats_.RepliesAbandoned; // a new command ends the reply in progress
        }
    }
    changed_.notify_all();
    if (reply_ && reply_->Plan.HangupAfter) {
        // The reply the line was to close with is cut short: the line goes all the same,
        // and the new command is not answered.
        reply_.reset();
        hangupFrom_ = Clock::now();
        return;
    }
    reply_.reset();
    Reply r;
    r.Plan = PlanReply(*cmd, unit, ++commandsThisConnection_, rng_);
    r.Due = CharSchedule(cmd->SweepCode, r.Plan.Text.size(), unit.Pacing,
                         unit.Faults.FirstDelaySeconds);
    // The unit has the command once its characters have crossed the line at its rate.
    r.Start = std::max(
        Clock::now(),
        firstByte + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(CommandSeconds(line.size(), unit.Pacing))));
    bool silent = r.Plan.Silent;
    reply_ = std::move(r);
    if (silent) {
        Update([](SimStats& s) { ++s.RepliesSilent; });
        bool hangup = reply_->Plan.HangupAfter;
        reply_.reset();
        if (hangup) {
            hangupFrom_ = Clock::now();
        }
        return;
    }
    if (reply_->Plan.Text.empty()) {
        FinishReply();
    }
}

void Simulator::SendDue() {
    if (!pty_ || !reply_ || xoff_) {
        return;
    }
    Reply& r = *reply_;
    auto elapsed = std::chrono::duration<double>(Clock::now() - r.Start).count();
    size_t end = r.Pos;
    while (end < r.Plan.Text.size() && r.Due[end] <= elapsed) {
        ++end;
    }
    if (end > r.Pos) {
        ssize_t n = write(pty_->MasterFd(), r.Plan.Text.data() + r.Pos, end - r.Pos);
        blocked_ = n < static_cast<ssize_t>(end - r.Pos);
        if (n > 0) {
            r.Pos += static_cast<size_t>(n);
            Update([&](SimStats& s) { s.CharsSent += static_cast<uint64_t>(n); });
        }
        // A short write or EAGAIN: the slave's input queue is full (nobody reads); the
        // rest stays due and goes out once the master is writable again.
    }
    if (r.Pos == r.Plan.Text.size()) {
        FinishReply();
    }
}

void Simulator::FinishReply() {
    bool cut = reply_->Plan.Cut;
    bool hangup = reply_->Plan.HangupAfter;
    reply_.reset();
    Update([&](SimStats& s) { ++(cut ? s.RepliesAbandoned : s.RepliesCompleted); });
    if (hangup) {
        hangupFrom_ = Clock::now();
    }
}

void Simulator::HangUp() {
    double back = Unit().Faults.ReturnAfterSeconds;
    hangupFrom_.reset();
    reply_.reset();
    pty_.reset();
    {
        std::lock_guard lock(mutex_);
        slavePath_.clear();
        ++stats_.Hangups;
    }
    changed_.notify_all();
    Log("hangup", link_);
    if (config_.OnEvent) {
        config_.OnEvent("hangup " + link_);
    }
    if (back >= 0) {
        returnAt_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(back));
    }
}

} // namespace myrl::sim
