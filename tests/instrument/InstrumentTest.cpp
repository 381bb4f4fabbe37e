// The instrument core without any window, against the simulated unit on a pty: port switches
// asked for inside a step, recovery after a hang-up, settings changed while a reply streams
// in, readers of the last sweep, subscriptions, and which changes restart the average.
#include "Instrument.h"
#include "CommX.h"
#include "FreqPlan.h"
#include "HeadlessStart.h"
#include "LimitMasks.h"
#include "Simulator.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace myrl;
using namespace std::chrono_literals;

namespace {

class NoView : public StepView {
public:
    void SetProgress(int32_t received) override { Received = received; }
    void SetAvrStat(const std::string& text) override { AvrStat = text; }
    void CepstrumStep() override {}
    int32_t Received = 0;
    std::string AvrStat;
};

// The plan of a parameter file: CENTER/SPAN 10.7 MHz / 100 kHz without FREX.
StoredParams Plan(const std::string& centre = "10700000", const std::string& span = "100000") {
    StoredParams p;
    p.FDefIndex = 1;
    p.Edit1 = centre;
    p.Edit2 = span;
    p.Frex = false;
    return p;
}

class InstrumentTest : public ::testing::Test {
protected:
    // A simulator publishing COM<portNo> in the test's folder.
    sim::Simulator& AddSimulator(int portNo, sim::UnitConfig unit = {}) {
        sim::SimConfig c;
        c.Dir = dir_.Path().string();
        c.PortNo = portNo;
        c.Unit = unit;
        sims_.push_back(std::make_unique<sim::Simulator>(c));
        sims_.back()->Start();
        return *sims_.back();
    }
    static sim::UnitConfig Fast() {
        sim::UnitConfig u;
        u.Pacing.Fast = true;
        return u;
    }
    void Start(const std::string& link, const StoredParams& p = Plan()) {
        ConfigureUnitPort(Port);
        Port.SetProcessEvents([this] {
            if (InRead) {
                InRead();
            }
        });
        Core.AttachPort(Port);
        Core.SetDevice(link);
        StartInstrument(Core, p);
        Core.OpenPort();
    }
    // Steps until `done` holds (checked after each step) or the time-out passes, `Gap` apart.
    bool StepUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            Core.Step(View);
            std::this_thread::sleep_for(Gap);
        }
        return true;
    }
    bool SweepsDone(uint64_t n) {
        return StepUntil([&] { return Core.LastSweep() && Core.LastSweep()->Number >= n; });
    }

    TCommX Port;
    Instrument Core;
    NoView View;
    std::chrono::milliseconds Gap = 5ms;
    // Runs while a step waits in the port's read (the place where window events run).
    std::function<void()> InRead;

private:
    TempDir dir_{"myrl-core"};
    std::vector<std::unique_ptr<sim::Simulator>> sims_;
};

TEST_F(InstrumentTest, ASwitchAskedInsideAStepIsCarriedOutWhenTheStepEnds) {
    sim::UnitConfig slow = Fast();
    slow.Faults.FirstDelaySeconds = 0.05; // every read waits a while
    sim::Simulator& first = AddSimulator(1, slow);
    sim::Simulator& second = AddSimulator(2, Fast());
    Start(first.LinkPath());
    ASSERT_TRUE(SweepsDone(1));

    bool asked = false;
    bool switchedInside = false;
    const std::exception* failure = nullptr;
    bool done = false;
    InRead = [&] {
        if (asked) {
            return;
        }
        asked = true;
        Core.SwitchPort(second.LinkPath(), [&](const std::exception* e) {
            failure = e;
            done = true;
        });
        switchedInside = done || Port.OpenedPath() != first.LinkPath();
    };
    ASSERT_TRUE(StepUntil([&] { return asked; }));
    InRead = nullptr;
    EXPECT_FALSE(switchedInside) << "the step waiting in its read kept its port";
    EXPECT_TRUE(done) << "carried out once the step ended";
    EXPECT_EQ(failure, nullptr);
    EXPECT_EQ(Port.OpenedPath(), second.LinkPath());
    const uint64_t before = second.Stats().RepliesCompleted;
    const uint64_t have = Core.LastSweep()->Number;
    ASSERT_TRUE(SweepsDone(have + 2));
    EXPECT_GE(second.Stats().RepliesCompleted, before + 2) << "the sweeps come from the new unit";
}

TEST_F(InstrumentTest, ALostLineIsOpenedAgainOnceItComesBack) {
    sim::UnitConfig unit = Fast();
    unit.Faults.HangupAfter = 2;
    unit.Faults.ReturnAfterSeconds = 0.5;
    sim::Simulator& sim = AddSimulator(1, unit);
    Start(sim.LinkPath());
    std::vector<LinkKind> seen;
    auto events = Core.Subscribe([&](InstrumentEvent e) {
        if (e == InstrumentEvent::LinkChanged &&
            (seen.empty() || seen.back() != Core.Link().Kind())) {
            seen.push_back(Core.Link().Kind());
        }
    });
    ASSERT_TRUE(StepUntil([&] { return Core.LineLost(); }));
    EXPECT_FALSE(Port.Active());
    EXPECT_EQ(Core.Link().Kind(), LinkKind::Lost);
    const uint64_t before = Core.LastSweep() ? Core.LastSweep()->Number : 0;
    ASSERT_TRUE(StepUntil([&] { return !Core.LineLost(); }));
    EXPECT_TRUE(Port.Active());
    ASSERT_TRUE(SweepsDone(before + 1)) << "sweeping goes on after the line came back";
    const std::vector<LinkKind> expected{LinkKind::Replying, LinkKind::Lost, LinkKind::Opened,
                                         LinkKind::Replying};
    EXPECT_EQ(seen, expected);
}

// A plan changed while a reply streams in: the sweep being received is processed with the
// axis of the words it was sent with, but is not counted as measured under the new plan; the
// next command carries the new plan, and its sweep is the first settled one.
TEST_F(InstrumentTest, ASettingsChangeInsideAReadTakesEffectAtTheStepBoundary) {
    sim::UnitConfig slow = Fast();
    slow.Faults.FirstDelaySeconds = 0.05;
    sim::Simulator& sim = AddSimulator(1, slow);
    Start(sim.LinkPath());
    ASSERT_TRUE(SweepsDone(1));
    EXPECT_TRUE(Core.LastSweep()->Settled);

    const SweepCommand sent = *sim.Stats().LastCommand;
    bool changed = false;
    InRead = [&] {
        if (changed || Core.State().SweepStart) {
            return;
        }
        changed = true;
        FieldsEntry entry(1, "5000000", "200000");
        Core.ChangePlan([&](MeasState& s) { ApplyFreqEntries(s, entry); });
    };
    ASSERT_TRUE(SweepsDone(2));
    InRead = nullptr;
    ASSERT_TRUE(changed);
    const auto during = Core.LastSweep();
    EXPECT_FALSE(during->BeganUnderSettings);
    EXPECT_FALSE(during->Settled);
    EXPECT_EQ(during->Settings.StartFreq, 4900000);
    MeasState axis = Core.State();
    axis.StartWord = sent.StartWord;
    axis.StepWord = sent.StepWord;
    CalcFreqAxis(axis, false);
    EXPECT_EQ(during->FreqAxis, axis.FreqAxis) << "the axis of the words that were sent";

    ASSERT_TRUE(SweepsDone(3));
    const SweepCommand next = *sim.Stats().LastCommand;
    MeasState plan = Core.State();
    CalcSweepWords(plan, false);
    EXPECT_EQ(next.StartWord, plan.StartWord);
    EXPECT_TRUE(Core.LastSweep()->BeganUnderSettings);
    EXPECT_TRUE(Core.LastSweep()->Settled);
}

TEST_F(InstrumentTest, AReaderInsideAStepSeesTheLastCompleteSweep) {
    sim::UnitConfig paced; // real line pacing: the reply streams in over several reads
    paced.Device.Kind = sim::DeviceKind::Lowpass;
    sim::Simulator& sim = AddSimulator(1, paced);
    Start(sim.LinkPath(), Plan("10000000", "20000000"));
    SweepSettings slower = Core.Settings();
    slower.SweepTimeIdx = 2; // 1 s: a character every 2 ms or so, and reads that wait between
    Core.Apply(slower);
    ASSERT_TRUE(SweepsDone(1));
    const auto before = Core.LastSweep();
    const SweepSnapshot copy = *before;
    Gap = 0ms; // each read then waits for the next characters of the reply

    int looked = 0;
    InRead = [&] {
        if (Core.State().RxCount > 0 && Core.State().RxCount < 2 * kPointCount) {
            const auto now = Core.LastSweep();
            EXPECT_EQ(now, before);
            EXPECT_EQ(now->NormLevel, copy.NormLevel);
            ++looked;
        }
    };
    ASSERT_TRUE(SweepsDone(2));
    InRead = nullptr;
    EXPECT_GT(looked, 0) << "no read waited half-way through a reply";
    EXPECT_EQ(before->Number, 1u);
    EXPECT_EQ(before->FreqAxis, copy.FreqAxis) << "a reader's copy outlives the next sweep";
    EXPECT_EQ(before->NormLevel, copy.NormLevel);
    EXPECT_EQ(Core.LastSweep()->Number, 2u);
}

TEST(InstrumentEvents, SubscriptionsEndWhenTheirObjectGoesEvenInsideANotification) {
    auto core = std::make_unique<Instrument>();
    int a = 0;
    int b = 0;
    Instrument::Subscription subB;
    Instrument::Subscription subA = core->Subscribe([&](InstrumentEvent) {
        ++a;
        subB.Reset(); // a later listener ends inside this notification: it is not called
    });
    subB = core->Subscribe([&](InstrumentEvent) { ++b; });
    core->ViewChanged();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    subA.Reset();
    core->ViewChanged();
    EXPECT_EQ(a, 1);

    int c = 0;
    Instrument::Subscription subC = core->Subscribe([&](InstrumentEvent) { ++c; });
    Instrument::Subscription moved = std::move(subC);
    core->ViewChanged();
    EXPECT_EQ(c, 1);
    core.reset(); // the instrument goes first: the subscription ends quietly
    moved.Reset();
}

TEST(InstrumentSettings, OnlyAChangeOfWhatIsMeasuredRestartsTheAverage) {
    struct Case {
        const char* name;
        void (*change)(SweepSettings&);
        bool restarts;
    } cases[] = {
        {"start", [](SweepSettings& v) { v.StartFreq += 1; }, true},
        {"stop", [](SweepSettings& v) { v.StopFreq += 1; }, true},
        {"zero span", [](SweepSettings& v) { v.ZeroSpan = !v.ZeroSpan; }, true},
        {"FREX", [](SweepSettings& v) { v.Frex = !v.Frex; }, true},
        {"sweep time", [](SweepSettings& v) { v.SweepTimeIdx = 3; }, true},
        {"averaging", [](SweepSettings& v) { v.AvrNum = 8; }, true},
        {"mode", [](SweepSettings& v) { v.Mode = MeasMode::Norm; }, true},
        {"SWR view", [](SweepSettings& v) { v.Swr = !v.Swr; }, false},
        {"delay view", [](SweepSettings& v) { v.Ceps = !v.Ceps; }, false},
        {"reference level", [](SweepSettings& v) { v.RefLevel = -10; }, false},
        {"nothing", [](SweepSettings&) {}, false},
    };
    for (const Case& c : cases) {
        Instrument core;
        StartInstrument(core, Plan());
        int notified = 0;
        auto sub = core.Subscribe(
            [&](InstrumentEvent e) { notified += e == InstrumentEvent::SettingsChanged; });
        SweepSettings next = core.Settings();
        c.change(next);
        const uint64_t resets = core.State().AvrResets;
        core.Apply(next);
        EXPECT_EQ(core.State().AvrResets != resets, c.restarts) << c.name;
        EXPECT_EQ(core.Settings(), next) << c.name;
        EXPECT_EQ(notified, std::string(c.name) == "nothing" ? 0 : 1) << c.name;
    }
    Instrument core;
    SweepSettings bad = core.Settings();
    bad.AvrNum = 65;
    EXPECT_THROW(core.Apply(bad), std::invalid_argument);
    bad.AvrNum = 1;
    bad.SweepTimeIdx = 17;
    EXPECT_THROW(core.Apply(bad), std::invalid_argument);
    EXPECT_THROW(core.SetAverage(0), std::invalid_argument);
}

// With a fresh average the first settled sweep is the AvrNum + 1-th (the first one is shown
// alone and overwritten), or the first with an average of one; it is announced once.
TEST_F(InstrumentTest, TheAverageSettlesAfterAsManySweepsAsItHoldsAndIsAnnouncedOnce) {
    sim::Simulator& sim = AddSimulator(1, Fast());
    Start(sim.LinkPath());
    for (const auto& [average, firstSettled] : {std::pair{1, 1u}, {2, 3u}, {4, 5u}}) {
        SweepSettings v = Core.Settings();
        v.AvrNum = average;
        Core.Apply(v);
        Core.RestartAverage();
        const uint64_t base = Core.LastSweep() ? Core.LastSweep()->Number : 0;
        // The sweep under way (if any) began before the restart: finish it first.
        std::vector<uint64_t> settled;
        int announced = 0;
        auto sub = Core.Subscribe([&](InstrumentEvent e) {
            if (e == InstrumentEvent::SweepCompleted && Core.LastSweep()->Settled) {
                settled.push_back(Core.LastSweep()->Number - base);
            }
            announced += e == InstrumentEvent::AverageSettled;
        });
        ASSERT_TRUE(SweepsDone(base + firstSettled + 2)) << average;
        ASSERT_FALSE(settled.empty()) << average;
        EXPECT_EQ(settled.front(), firstSettled) << average;
        EXPECT_EQ(settled.size(), 3u) << average;
        EXPECT_EQ(announced, 1) << average;
    }
}

// Which calibration the saved files name: the file while its tables are in force, nothing
// once a CAL sweep of this run replaced them (or before any).
TEST_F(InstrumentTest, TheCalibrationSourceIsTheFileWhileItsTablesAreInForce) {
    sim::UnitConfig noisy = Fast();
    noisy.Faults.NoiseDb = 1; // each CAL sweep new tables
    sim::Simulator& sim = AddSimulator(1, noisy);
    Start(sim.LinkPath());
    EXPECT_EQ(Core.CalibrationSource(), "");
    Core.SetMode(MeasMode::Cal);
    ASSERT_TRUE(SweepsDone(2));
    EXPECT_EQ(Core.CalibrationSource(), "") << "a CAL sweep of this run, not saved";

    TempDir files("myrl-cal");
    const std::string path = (files.Path() / "thru.myrlcal").string();
    Core.SaveCalibration(path, "through, 2 m", "2026-12-10 14:00:00 UTC");
    const std::string named = path + " (through, 2 m), taken 2026-12-10 14:00:00 UTC";
    EXPECT_EQ(Core.CalibrationSource(), named);
    ASSERT_TRUE(SweepsDone(Core.LastSweep()->Number + 1)); // CAL: a new sweep replaces it
    EXPECT_EQ(Core.CalibrationSource(), "");

    Core.SetMode(MeasMode::Norm);
    Core.LoadCalibration(path);
    EXPECT_EQ(Core.CalibrationSource(), named);
    ASSERT_TRUE(SweepsDone(Core.LastSweep()->Number + 1)); // NORM keeps the tables
    EXPECT_EQ(Core.CalibrationSource(), named);
}

} // namespace

namespace {

sim::UnitConfig FastBandpass() {
    sim::UnitConfig u;
    u.Pacing.Fast = true;
    u.Device.Kind = sim::DeviceKind::Bandpass;
    return u;
}

// The verdict is worked out once for each sweep the average has settled for, never while it
// settles; it judges the level before the reference-level shift, and a restart clears it.
TEST_F(InstrumentTest, TheVerdictJudgesEachSettledSweepOnce) {
    sim::Simulator& sim = AddSimulator(1, FastBandpass());
    Start(sim.LinkPath(), Plan("10700000", "400000"));
    Core.SetAverage(4);
    std::vector<std::pair<uint64_t, bool>> judged; // sweep number, settled
    auto sub = Core.Subscribe([&](InstrumentEvent e) {
        if (e == InstrumentEvent::VerdictChanged && Core.Verdict()) {
            judged.emplace_back(Core.VerdictSweep(), Core.LastSweep()->Settled);
        }
    });
    Core.SetLimits(BandpassMask());
    Core.SetLimitsOn(true);
    EXPECT_FALSE(Core.Verdict());
    EXPECT_EQ(Core.Status().Line(StatusTopic::Limits), "limits: waiting for a settled sweep");
    ASSERT_TRUE(StepUntil([&] { return judged.size() >= 3; }));
    for (const auto& [number, settled] : judged) {
        EXPECT_TRUE(settled) << number;
    }
    EXPECT_EQ(judged[1].first, judged[0].first + 1);
    EXPECT_EQ(judged[2].first, judged[1].first + 1);
    ASSERT_TRUE(Core.Verdict());
    const LimitVerdict pass = *Core.Verdict();
    EXPECT_EQ(pass.Kind, VerdictKind::Pass) << VerdictLine(pass);
    EXPECT_EQ(Core.Status().Line(StatusTopic::Limits), VerdictLine(pass));

    // The reference level shifts the display only: the verdict stays what it was.
    Core.SetRefLevel(-20);
    ASSERT_TRUE(Core.Verdict());
    const size_t before = judged.size();
    ASSERT_TRUE(StepUntil([&] { return judged.size() > before; }));
    EXPECT_EQ(Core.Verdict()->WorstMargin, pass.WorstMargin);
    EXPECT_EQ(Core.Verdict()->Failures, pass.Failures);

    // Tightened by half a decibel the mask fails.
    Core.SetLimits(Tightened(BandpassMask(), 0.5));
    ASSERT_TRUE(Core.Verdict()); // the last sweep judged again at once
    EXPECT_EQ(Core.Verdict()->Kind, VerdictKind::Fail);
    EXPECT_EQ(Core.Status().Line(StatusTopic::Limits).rfind("limits: FAIL, ", 0), 0u);

    // A restart of the average clears it until the average has settled again.
    Core.SetAverage(2);
    EXPECT_FALSE(Core.Verdict());
    const uint64_t restartedAt = Core.LastSweep()->Number;
    ASSERT_TRUE(StepUntil([&] { return Core.Verdict().has_value(); }));
    EXPECT_GE(Core.VerdictSweep(), restartedAt + 2);
    EXPECT_TRUE(Core.LastSweep()->Settled);

    Core.SetLimitsOn(false);
    EXPECT_FALSE(Core.Verdict());
    EXPECT_EQ(Core.Status().Line(StatusTopic::Limits), "");
}

// A single acquisition restarts the average and ends with the sweep that settles it, after
// that sweep's verdict.
TEST_F(InstrumentTest, ASingleAcquisitionEndsWhenTheAverageHasSettled) {
    sim::Simulator& sim = AddSimulator(1, FastBandpass());
    Start(sim.LinkPath(), Plan("10700000", "400000"));
    Core.SetAverage(4);
    ASSERT_TRUE(SweepsDone(2));
    Core.SetLimits(BandpassMask());
    Core.SetLimitsOn(true);
    std::vector<InstrumentEvent> order;
    int done = 0;
    std::optional<LimitVerdict> atDone;
    auto sub = Core.Subscribe([&](InstrumentEvent e) {
        if (e == InstrumentEvent::AverageSettled || e == InstrumentEvent::VerdictChanged ||
            e == InstrumentEvent::SingleDone) {
            order.push_back(e);
        }
        if (e == InstrumentEvent::SingleDone) {
            ++done;
            atDone = Core.Verdict();
        }
    });
    const uint64_t resets = Core.State().AvrResets;
    const uint64_t from = Core.LastSweep()->Number;
    Core.StartSingle();
    EXPECT_TRUE(Core.SingleRunning());
    EXPECT_EQ(Core.State().AvrResets, resets + 1);
    ASSERT_TRUE(StepUntil([&] { return done > 0; }));
    EXPECT_FALSE(Core.SingleRunning());
    EXPECT_EQ(Core.LastSweep()->Number, from + 5); // four sweeps and the one overwritten
    EXPECT_TRUE(Core.LastSweep()->Settled);
    ASSERT_TRUE(atDone);
    EXPECT_EQ(atDone->Kind, VerdictKind::Pass);
    const std::vector<InstrumentEvent> expected{InstrumentEvent::AverageSettled,
                                                InstrumentEvent::VerdictChanged,
                                                InstrumentEvent::SingleDone};
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(std::vector<InstrumentEvent>(order.end() - 3, order.end()), expected);
    ASSERT_TRUE(SweepsDone(Core.LastSweep()->Number + 2));
    EXPECT_EQ(done, 1) << "announced once";

    Core.StartSingle();
    Core.CancelSingle();
    ASSERT_TRUE(SweepsDone(Core.LastSweep()->Number + 6));
    EXPECT_EQ(done, 1) << "a cancelled acquisition ends without a word";
}

// Readouts and searches take the points a data file holds (0 .. SweepSteps): the points
// beyond lie above STOP. Here the trace rises past STOP (the band-pass filter's lower edge
// just above the plan), so its peak would lie above STOP.
TEST_F(InstrumentTest, ReadoutsNeverReachAboveStop) {
    sim::Simulator& sim = AddSimulator(1, FastBandpass());
    Start(sim.LinkPath(), Plan("10570000", "140000")); // 10.5 - 10.64 MHz
    ASSERT_TRUE(SweepsDone(1));
    const MeasState& s = Core.State();
    ASSERT_GT(s.NormLevel[255], s.NormLevel[250] + 0.5) << "the trace rises beyond STOP";
    for (bool between : {false, true}) {
        Core.State().MarkerFL = s.FreqAxis[200];
        Core.State().MarkerFU = s.FreqAxis[255];
        const auto r = Core.Readout(between, 3);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Last, 250);
        EXPECT_LE(r->PeakHz, s.StopFreq);
        EXPECT_LE(r->MinHz, s.StopFreq);
        EXPECT_EQ(r->PeakHz, s.FreqAxis[250]);
    }
}

// A calibration taken over another plan is a status line while that plan is in force.
TEST_F(InstrumentTest, ACalibrationOfAnotherPlanIsAStatusLine) {
    sim::Simulator& sim = AddSimulator(1, Fast());
    Start(sim.LinkPath(), Plan("10700000", "400000"));
    Core.SetMode(MeasMode::Cal);
    ASSERT_TRUE(SweepsDone(2));
    EXPECT_EQ(Core.CalibrationPlanLine(), "");
    TempDir dir("myrl-cal");
    const std::string path = (dir.Path() / "a.myrlcal").string();
    Core.SaveCalibration(path, "", "now");
    EXPECT_EQ(Core.CalibrationFile(), path);
    Core.SetMode(MeasMode::Norm);
    FieldsEntry wide(0, "0", "20000000");
    Core.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, wide); });
    EXPECT_EQ(Core.CalibrationPlanLine(),
              "the calibration was taken over 10.5 MHz–10.9 MHz, the plan is 0 Hz–20 MHz: "
              "outside it NORM uses the edge levels");
    EXPECT_EQ(Core.Status().Line(StatusTopic::CalibrationPlan), Core.CalibrationPlanLine());
    FieldsEntry narrow(1, "10700000", "100000");
    Core.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, narrow); });
    EXPECT_EQ(Core.CalibrationPlanLine(),
              "the calibration was taken over 10.5 MHz–10.9 MHz, the plan is 10.65 MHz–10.75 MHz");
    FieldsEntry same(1, "10700000", "400000");
    Core.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, same); });
    EXPECT_EQ(Core.CalibrationPlanLine(), "");
    EXPECT_EQ(Core.Status().Line(StatusTopic::CalibrationPlan), "");
    EXPECT_EQ(Core.CalibrationFile(), path) << "still that file's tables";
}

} // namespace
