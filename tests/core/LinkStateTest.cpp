#include "LinkState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace myrl {
namespace {

using namespace std::chrono_literals;
using Clock = LinkState::Clock;

// A run of the sweep cycle's news, step by step, with the lines each step leaves.
struct Step {
    enum What { Opened, OpenFailed, Reply, NoReply, Lost, Closed, Held, Released } what;
    std::chrono::milliseconds at; // since the start of the run
    const char* link;             // the link's line after the step
    const char* curve;            // the curve's line after the step
};

struct Run {
    const char* name;
    std::vector<Step> steps;
};

class LinkStateTest : public ::testing::TestWithParam<Run> {};

TEST_P(LinkStateTest, LinesFollowTheNews) {
    LinkState link;
    const Clock::time_point t0{};
    for (const Step& s : GetParam().steps) {
        const Clock::time_point now = t0 + s.at;
        switch (s.what) {
        case Step::Opened:
            link.Opened("COM1", "/dev/ttyUSB0", now);
            break;
        case Step::OpenFailed:
            link.OpenFailed("COM1", "no such device", now);
            break;
        case Step::Reply:
            link.Reply(now);
            break;
        case Step::NoReply:
            link.NoReply(now);
            break;
        case Step::Lost:
            link.LineLost(now);
            break;
        case Step::Closed:
            link.Closed();
            break;
        case Step::Held:
            link.OutputHeld(true, now);
            break;
        case Step::Released:
            link.OutputHeld(false, now);
            break;
        }
        EXPECT_EQ(link.LinkLine(), s.link) << "at " << s.at.count() << " ms";
        EXPECT_EQ(link.CurveLine(), s.curve) << "at " << s.at.count() << " ms";
    }
}

const char* const kOpen = "COM1 → /dev/ttyUSB0";
const char* const kLost = "COM1 → /dev/ttyUSB0: line lost, reopening every second";
const char* const kHeld =
    "COM1 → /dev/ttyUSB0: output held: the line sent XOFF and no XON, no command goes out";

INSTANTIATE_TEST_SUITE_P(
    Runs, LinkStateTest,
    ::testing::Values(
        Run{"RepliesGiveTheRate",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::Reply, 400ms, "COM1 → /dev/ttyUSB0: unit replying", ""},
             {Step::Reply, 800ms, "COM1 → /dev/ttyUSB0: unit replying, 2.5 sweeps/s", ""},
             {Step::Reply, 1200ms, "COM1 → /dev/ttyUSB0: unit replying, 2.5 sweeps/s", ""}}},
        // One late reply within a second says nothing; a silence of seconds is counted, and
        // after three sweep times the curve is said to be old.
        Run{"SilentUnit",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::Reply, 500ms, "COM1 → /dev/ttyUSB0: unit replying", ""},
             {Step::Reply, 1000ms, "COM1 → /dev/ttyUSB0: unit replying, 2.0 sweeps/s", ""},
             {Step::NoReply, 1300ms, "COM1 → /dev/ttyUSB0: unit replying, 2.0 sweeps/s", ""},
             {Step::NoReply, 2100ms, "COM1 → /dev/ttyUSB0: no reply for 1 s", ""},
             {Step::NoReply, 3100ms, "COM1 → /dev/ttyUSB0: no reply for 2 s",
              "curve older than 3 sweeps: last reply 2 s ago"},
             {Step::Reply, 3600ms, "COM1 → /dev/ttyUSB0: unit replying", ""}}},
        // A unit that never replies: no curve, so none is old.
        Run{"NeverReplies",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::NoReply, 300ms, kOpen, ""},
             {Step::NoReply, 4000ms, "COM1 → /dev/ttyUSB0: no reply for 4 s", ""}}},
        Run{"HangupAndReturn",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::Reply, 500ms, "COM1 → /dev/ttyUSB0: unit replying", ""},
             {Step::Reply, 1000ms, "COM1 → /dev/ttyUSB0: unit replying, 2.0 sweeps/s", ""},
             {Step::Lost, 1100ms, kLost, ""},
             {Step::Lost, 2100ms, kLost, ""},
             {Step::Lost, 3100ms, kLost, "curve older than 3 sweeps: last reply 2 s ago"},
             {Step::Opened, 4100ms, kOpen, "curve older than 3 sweeps: last reply 3 s ago"},
             {Step::Reply, 4500ms, "COM1 → /dev/ttyUSB0: unit replying", ""}}},
        Run{"NotOpen",
            {{Step::OpenFailed, 0ms, "COM1: not open: no such device", ""},
             {Step::Closed, 10ms, "", ""}}},
        // Noise with an XOFF and no XON: the line holds every command while noise still
        // fills "replies"; the link says so until output goes again.
        Run{"OutputHeldByXoff",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::Reply, 500ms, "COM1 → /dev/ttyUSB0: unit replying", ""},
             {Step::Reply, 1000ms, "COM1 → /dev/ttyUSB0: unit replying, 2.0 sweeps/s", ""},
             {Step::Held, 2100ms, kHeld, ""},
             {Step::Reply, 2400ms, kHeld, ""},
             {Step::NoReply, 3000ms, kHeld, ""},
             {Step::NoReply, 4000ms, kHeld, "curve older than 3 sweeps: last reply 1 s ago"},
             {Step::Released, 4600ms, "COM1 → /dev/ttyUSB0: no reply for 3 s",
              "curve older than 3 sweeps: last reply 2 s ago"},
             {Step::Reply, 5000ms, "COM1 → /dev/ttyUSB0: unit replying", ""},
             {Step::Reply, 5500ms, "COM1 → /dev/ttyUSB0: unit replying, 2.0 sweeps/s", ""}}},
        // Held before any reply, released before one: the port is just open again. A lost
        // line is lost, held or not.
        Run{"HeldBeforeAnyReply",
            {{Step::Opened, 0ms, kOpen, ""},
             {Step::Held, 1000ms, kHeld, ""},
             {Step::Released, 1500ms, kOpen, ""},
             {Step::Lost, 1600ms, kLost, ""},
             {Step::Held, 1700ms, kLost, ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The few words a window title gets: only while no reply can come, and the same words for
// as long as the trouble lasts (the title does not count the seconds).
TEST(LinkAlert, WordsForTroubleOnly) {
    LinkState link;
    const Clock::time_point t0{};
    const struct {
        std::function<void()> news;
        const char* alert;
    } steps[] = {
        {[] {}, ""}, // nothing opened yet
        {[&] { link.Opened("COM1", "/dev/ttyUSB0", t0); }, ""},
        {[&] { link.NoReply(t0 + 300ms); }, ""}, // a first reply may take a while
        {[&] { link.Reply(t0 + 500ms); }, ""},
        {[&] { link.NoReply(t0 + 1300ms); }, ""}, // late by less than a second
        {[&] { link.NoReply(t0 + 1600ms); }, "No reply from COM1"},
        {[&] { link.NoReply(t0 + 5600ms); }, "No reply from COM1"},
        {[&] { link.Reply(t0 + 6000ms); }, ""},
        {[&] { link.LineLost(t0 + 6100ms); }, "Line lost: COM1"},
        {[&] { link.LineLost(t0 + 7100ms); }, "Line lost: COM1"},
        {[&] { link.Opened("COM1", "/dev/ttyUSB1", t0 + 8100ms); }, ""},
        {[&] { link.OpenFailed("/dev/ttyS199", "no such device", t0 + 9000ms); },
         "/dev/ttyS199 not open"},
        {[&] { link.Closed(); }, ""}, // closed on purpose, at the end of the run
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].news();
        EXPECT_EQ(LinkAlert(link), steps[i].alert) << "step " << i << ": " << link.LinkLine();
    }
}

TEST(LinkStateNames, APortThatIsNoLinkIsNamedOnce) {
    LinkState link;
    link.Opened("/dev/ttyUSB0", "/dev/ttyUSB0", Clock::time_point{});
    EXPECT_EQ(link.LinkLine(), "/dev/ttyUSB0");
    EXPECT_EQ(link.Kind(), LinkKind::Opened);
}

} // namespace
} // namespace myrl
