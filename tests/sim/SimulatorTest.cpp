#include "Simulator.h"
#include "SimTestUtil.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

using namespace myrl;
using namespace myrl::sim;
using namespace std::chrono_literals;
using simtest::Port;

namespace {

// The reply the unit must give to `cmd` with no faults.
std::string ModelReply(const SweepCommand& cmd, const UnitConfig& unit) {
    Rng unused(0);
    return ReplyText(SweepReadings(cmd, unit, unused));
}

class SimulatorTest : public ::testing::Test {
protected:
    void StartSim(UnitConfig unit = FastUnit()) {
        SimConfig cfg;
        cfg.Dir = dir_.Path().string();
        cfg.PortNo = 3;
        cfg.Unit = unit;
        cfg.LogPath = (dir_.Path() / "sim.log").string();
        sim_ = std::make_unique<Simulator>(cfg);
        sim_->Start();
        port_ = std::make_unique<Port>(sim_->LinkPath());
        ASSERT_TRUE(port_->IsOpen());
    }
    static UnitConfig FastUnit() {
        UnitConfig u;
        u.Pacing.Fast = true;
        return u;
    }
    bool Wait(const std::function<bool(const SimStats&)>& done) { return sim_->WaitFor(done, 10s); }
    std::string Link() const { return (dir_.Path() / "COM3").string(); }

    myrl::TempDir dir_{"myrl-sim-test"};
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<Port> port_;
};

const SweepCommand kDefaultPlan{0, 80000, 3};

} // namespace

TEST_F(SimulatorTest, CommandsGetTheModelsReadings) {
    struct Case {
        const char* name;
        DeviceKind device;
        bool frex;
        SweepCommand cmd;
    };
    const Case cases[] = {
        {"default plan", DeviceKind::Lowpass, false, kDefaultPlan},
        {"10.7 MHz filter", DeviceKind::Bandpass, false, {10650000, 400, 3}},
        {"FREX", DeviceKind::Cable, true, {12434090, 12500, 8}},
        {"zero span", DeviceKind::Bandpass, false, {10700000 + 40000, 0, 0}},
    };
    StartSim();
    for (const auto& c : cases) {
        UnitConfig unit = FastUnit();
        unit.Device.Kind = c.device;
        unit.Generator.Frex = c.frex;
        sim_->SetUnit(unit);
        port_->Send(BuildCommand(c.cmd.StartWord, c.cmd.StepWord, c.cmd.SweepCode));
        std::string reply = port_->Read(512);
        ASSERT_EQ(reply.size(), 512u) << c.name;
        for (int i = 0; i < 256; ++i) {
            auto f = DutHz(unit.Generator, PointWord(c.cmd, i));
            ASSERT_TRUE(f.has_value()) << c.name;
            ASSERT_EQ(DecodeReading(reply, i), DetectorReading(DeviceDb(unit.Device, *f)))
                << c.name << " point " << i;
        }
        EXPECT_EQ(sim_->Stats().LastCommand, c.cmd) << c.name;
    }
    // Zero span: one frequency, one reading (-3 dB edge region of the filter).
    std::string flat = ModelReply(cases[3].cmd, sim_->Unit());
    EXPECT_EQ(flat.find_first_not_of(flat.substr(0, 2)), std::string::npos);
    EXPECT_TRUE(Wait([&](const SimStats& s) { return s.RepliesCompleted == 4; }));
}

TEST_F(SimulatorTest, JunkLinesGetNothing) {
    StartSim();
    for (const char* junk : {"hello\r", "00000000000138800\r", "000000000001388003\n\r", "\r"}) {
        port_->Send(junk);
    }
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.JunkLines == 4; }));
    EXPECT_EQ(sim_->Stats().CharsSent, 0u);
    EXPECT_EQ(sim_->Stats().Commands, 0u);
    EXPECT_EQ(sim_->Stats().LastJunk, "");
    // The next command's reply is the first thing on the line.
    port_->Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(port_->Read(512), ModelReply(kDefaultPlan, sim_->Unit()));
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.RepliesCompleted == 1; }));
    EXPECT_EQ(sim_->Stats().CharsSent, 512u);
}

TEST_F(SimulatorTest, ANewCommandEndsTheReplyInProgress) {
    UnitConfig paced; // real line rate; code 4A spreads the first reply over 8 s
    StartSim(paced);
    port_->Send(BuildCommand(0, 80000, 0x4A));
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.CharsSent >= 4; }));
    SweepCommand second{10650000, 400, 0};
    port_->Send(BuildCommand(second.StartWord, second.StepWord, second.SweepCode));
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.RepliesCompleted == 1; }));
    SimStats s = sim_->Stats();
    EXPECT_EQ(s.RepliesAbandoned, 1u);
    ASSERT_GE(s.CharsSent, 516u);
    ASSERT_LT(s.CharsSent, 1024u);
    std::string all = port_->Read(s.CharsSent);
    ASSERT_EQ(all.size(), s.CharsSent);
    EXPECT_EQ(all.substr(all.size() - 512), ModelReply(second, paced));
}

TEST_F(SimulatorTest, FaultsDoWhatTheySay) {
    struct Case {
        const char* name;
        FaultConfig faults;
        size_t chars; // characters on the line for the faulty command
        std::function<bool(const SimStats&)> done;
    };
    auto make = [](auto set) {
        FaultConfig f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"silence", make([](FaultConfig& f) { f.Silence = 1; }), 0,
         [](const SimStats& s) { return s.RepliesSilent == 1; }},
        {"XOFF noise", make([](FaultConfig& f) { f.XoffNoise = 1; }), 1,
         [](const SimStats& s) { return s.RepliesAbandoned == 1; }},
        {"stall", make([](FaultConfig& f) { f.StallAfter = 101; }), 101,
         [](const SimStats& s) { return s.RepliesAbandoned == 1; }},
        {"trailer", make([](FaultConfig& f) { f.Trailer = "\r\n"; }), 514,
         [](const SimStats& s) { return s.RepliesCompleted == 1; }},
        {"first delay", make([](FaultConfig& f) { f.FirstDelaySeconds = 0.35; }), 512,
         [](const SimStats& s) { return s.RepliesCompleted == 1; }},
        {"corrupt", make([](FaultConfig& f) { f.Corrupt = 0.2; }), 512,
         [](const SimStats& s) { return s.RepliesCompleted == 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim_.reset();
        port_.reset();
        UnitConfig unit = FastUnit();
        unit.Faults = c.faults;
        StartSim(unit);
        port_->Send(BuildCommand(0, 80000, 3));
        ASSERT_TRUE(Wait(c.done));
        ASSERT_EQ(sim_->Stats().CharsSent, c.chars);
        std::string got = port_->Read(c.chars);
        std::string clean = ModelReply(kDefaultPlan, unit);
        if (c.faults.Corrupt > 0) {
            size_t bad = 0;
            for (size_t k = 0; k < got.size(); ++k) {
                bad += got[k] != clean[k];
                EXPECT_TRUE(got[k] == clean[k] ||
                            !std::isxdigit(static_cast<unsigned char>(got[k])));
            }
            EXPECT_GT(bad, 50u);
        } else if (c.faults.XoffNoise > 0) {
            EXPECT_EQ(got, "\x13");
        } else {
            EXPECT_EQ(got, (clean + c.faults.Trailer).substr(0, c.chars));
        }
        // Afterwards a clean command gets exactly its reply: nothing was left over.
        sim_->SetFaults({});
        port_->Send(BuildCommand(0, 80000, 3));
        EXPECT_EQ(port_->Read(512), clean);
        ASSERT_TRUE(Wait([&](const SimStats& s) { return s.CharsSent == c.chars + 512; }));
    }
}

TEST_F(SimulatorTest, HangUpClosesTheLineAndCanComeBack) {
    UnitConfig unit = FastUnit();
    unit.Faults.HangupAfter = 2;
    unit.Faults.HangupChars = 40;
    unit.Faults.ReturnAfterSeconds = 0.2;
    StartSim(unit);
    std::string first = sim_->SlavePath();
    port_->Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(port_->Read(512).size(), 512u);
    port_->Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(port_->Read(512).size(), 40u);
    EXPECT_TRUE(port_->HungUp);
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.Hangups == 1; }));
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.Connections == 2; }));
    // Replugged: the same link, a new device, working again.
    EXPECT_NE(sim_->SlavePath(), first);
    EXPECT_EQ(std::filesystem::read_symlink(Link()).string(), sim_->SlavePath());
    Port again(Link());
    ASSERT_TRUE(again.IsOpen());
    again.Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(again.Read(512).size(), 512u);
}

TEST_F(SimulatorTest, HangUpComesEvenWhenANewCommandCutsItsReply) {
    UnitConfig unit = FastUnit();
    unit.Faults.HangupAfter = 1;
    unit.Faults.FirstDelaySeconds = 600; // the reply to close with has not begun ...
    StartSim(unit);
    port_->Send(BuildCommand(0, 80000, 3));
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.Commands == 1; }));
    port_->Send(BuildCommand(0, 80000, 3)); // ... when the next command cuts it
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.Hangups == 1; }));
    EXPECT_EQ(port_->Read(1).size(), 0u);
    EXPECT_TRUE(port_->HungUp);
    EXPECT_EQ(sim_->Stats().CharsSent, 0u);
}

TEST_F(SimulatorTest, HangUpWithoutReturnRemovesTheLink) {
    UnitConfig unit = FastUnit();
    unit.Faults.HangupAfter = 1;
    StartSim(unit);
    port_->Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(port_->Read(600).size(), 512u);
    EXPECT_TRUE(port_->HungUp);
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.Hangups == 1; }));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
    EXPECT_EQ(sim_->SlavePath(), "");
    EXPECT_EQ(sim_->Stats().RepliesCompleted, 1u);
}

TEST_F(SimulatorTest, StopRemovesTheLinkAndWritesTheLog) {
    StartSim();
    port_->Send("junk\r");
    port_->Send(BuildCommand(0, 80000, 3));
    EXPECT_EQ(port_->Read(512).size(), 512u);
    ASSERT_TRUE(Wait([](const SimStats& s) { return s.RepliesCompleted == 1; }));
    sim_->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
    std::ifstream log(dir_.Path() / "sim.log");
    std::stringstream text;
    text << log.rdbuf();
    std::string t = text.str();
    EXPECT_NE(t.find(" junk junk\n"), std::string::npos) << t;
    EXPECT_NE(t.find(" command 000000000001388003\n"), std::string::npos) << t;
    EXPECT_NE(t.find("summary: commands 1, replies completed 1, replies abandoned 0"),
              std::string::npos)
        << t;
}

TEST(SimulatorLink, RefusesToReplaceWhatIsNotALinkAndReplacesStaleLinks) {
    myrl::TempDir dir{"myrl-sim-test"};
    SimConfig cfg;
    cfg.Dir = dir.Path().string();
    auto link = dir.Path() / "COM1";
    { std::ofstream(link) << "keep me"; }
    Simulator refused(cfg);
    EXPECT_THROW(refused.Start(), std::runtime_error);
    std::ifstream in(link);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me");

    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/pts/does-not-exist", link);
    Simulator sim(cfg);
    sim.Start();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.SlavePath());
    sim.Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}
