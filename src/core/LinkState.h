// How the link to the unit stands, worked out from what the sweep cycle sees: the port
// opened or not, replies completed, read time-outs, the line lost and reopened. Gives the
// line of the link ("COM1 → /dev/ttyUSB0: unit replying, 2.4 sweeps/s", "... no reply for
// 3 s", "... line lost, reopening every second", "COM1: not open: no such device") and,
// while no new curve comes, the line of the curve's age. Plain data: one thread; the
// caller gives the time of each event.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace myrl {

enum class LinkKind {
    Closed,   // nothing opened yet, or closed on purpose
    Opened,   // open, no reply yet
    Replying, // replies complete
    Silent,   // open, but no complete reply for a second or more
    Lost,     // the line hung up; it is opened again once a second
    NotOpen,  // the open failed
    Held,     // open, but the line holds our output: no command goes out
};

class LinkState {
public:
    using Clock = std::chrono::steady_clock;

    // A sweep older than this many sweep times (or time-outs) makes the curve stale.
    static constexpr int kStaleSweeps = 3;

    // `name` is the port as the user named it (COM1, /dev/serial/by-id/...), `device` what
    // it leads to (/dev/ttyUSB0); equal when it is no link.
    void Opened(const std::string& name, const std::string& device, Clock::time_point now);
    void OpenFailed(const std::string& name, const std::string& reason, Clock::time_point now);
    // A complete reply arrived (a new curve).
    void Reply(Clock::time_point now);
    // A sweep was given up: nothing arrived within the receive time-out.
    void NoReply(Clock::time_point now);
    // The line hung up, or an attempt to open it again failed.
    void LineLost(Clock::time_point now);
    // Whether the line holds the program's output now (the serial component tells: an XOFF
    // arrived and no XON since). Noise may keep arriving meanwhile, so replies alone do not
    // show it. Returns true when this changed the state.
    bool OutputHeld(bool held, Clock::time_point now);
    void Closed();

    LinkKind Kind() const { return kind_; }
    // The port as the user named it; empty before the first open.
    const std::string& Name() const { return name_; }
    const std::string& LinkLine() const { return linkLine_; }
    // Empty while the curve is fresh, or before the first curve.
    const std::string& CurveLine() const { return curveLine_; }
    // Completed replies a second, over the last few; 0 when not known.
    double SweepRate() const;

private:
    void update(Clock::time_point now);
    std::string prefix() const;

    LinkKind kind_ = LinkKind::Closed;
    std::string name_;
    std::string device_;
    std::string reason_;
    Clock::time_point since_{};     // opened, or the last reply
    bool replied_ = false;          // a reply since the port opened
    bool curve_ = false;            // a reply ever: a curve is on the chart
    Clock::time_point lastReply_{}; // of the curve on the chart
    int missed_ = 0;                // sweeps given up since the last reply
    double lastRate_ = 0;           // the sweep rate while the unit last replied
    std::deque<Clock::time_point> replies_;
    std::string linkLine_;
    std::string curveLine_;
};

// A few words for a window's title while the link is in trouble, empty while it works (or
// was closed on purpose): "No reply from COM1", "Line lost: COM1", "COM1 not open"; for any
// other state in which no reply can come, the link's line.
std::string LinkAlert(const LinkState& link);

} // namespace myrl
