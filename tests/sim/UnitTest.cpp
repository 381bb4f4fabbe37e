#include "Unit.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

using namespace myrl;
using namespace myrl::sim;

namespace {

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(c);
}

const SweepCommand kDefaultPlan{0, 80000, 3};

} // namespace

TEST(Unit, CleanReplyFollowsTheModel) {
    UnitConfig unit;
    unit.Device.Kind = DeviceKind::Lowpass;
    Rng rng(1);
    PlannedReply r = PlanReply(kDefaultPlan, unit, 1, rng);
    ASSERT_EQ(r.Text.size(), 512u);
    EXPECT_FALSE(r.Silent || r.Cut || r.HangupAfter);
    for (int i = 0; i < 256; ++i) {
        int expected = DetectorReading(LowpassDb(80000.0 * i, 10e6, 4));
        ASSERT_EQ(DecodeReading(r.Text, i), expected) << i;
    }
    EXPECT_TRUE(std::all_of(r.Text.begin(), r.Text.end(), IsHex));
}

TEST(Unit, FaultsShapeTheReply) {
    struct Case {
        const char* name;
        FaultConfig faults;
        int commandIndex;
        size_t length;
        bool silent, cut, hangup;
    };
    auto make = [](auto set) {
        FaultConfig f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"silence", make([](FaultConfig& f) { f.Silence = 1; }), 1, 0, true, false, false},
        {"XOFF noise", make([](FaultConfig& f) { f.XoffNoise = 1; }), 1, 1, false, true, false},
        {"stall", make([](FaultConfig& f) { f.StallAfter = 100; }), 1, 100, false, true, false},
        {"stall never", make([](FaultConfig& f) { f.StallAfter = 100, f.StallProb = 0; }), 1, 512,
         false, false, false},
        {"trailer", make([](FaultConfig& f) { f.Trailer = "\r\n"; }), 1, 514, false, false, false},
        {"hang-up not yet", make([](FaultConfig& f) { f.HangupAfter = 2; }), 1, 512, false, false,
         false},
        {"hang-up whole", make([](FaultConfig& f) { f.HangupAfter = 2; }), 2, 512, false, false,
         true},
        {"hang-up cut", make([](FaultConfig& f) { f.HangupAfter = 2, f.HangupChars = 10; }), 2, 10,
         false, true, true},
        {"silent hang-up", make([](FaultConfig& f) { f.HangupAfter = 1, f.Silence = 1; }), 1, 0,
         true, true, true},
    };
    for (const auto& c : cases) {
        UnitConfig unit;
        unit.Faults = c.faults;
        Rng rng(7);
        PlannedReply r = PlanReply(kDefaultPlan, unit, c.commandIndex, rng);
        EXPECT_EQ(r.Text.size(), c.length) << c.name;
        EXPECT_EQ(r.Silent, c.silent) << c.name;
        EXPECT_EQ(r.Cut, c.cut) << c.name;
        EXPECT_EQ(r.HangupAfter, c.hangup) << c.name;
    }
}

TEST(Unit, CorruptionAndNoiseRepeatWithTheSeed) {
    UnitConfig unit;
    unit.Faults.Corrupt = 0.1;
    unit.Faults.Trailer = "\r\n";
    Rng a(42), b(42), c(43);
    std::string ra = PlanReply(kDefaultPlan, unit, 1, a).Text;
    EXPECT_EQ(ra, PlanReply(kDefaultPlan, unit, 1, b).Text);
    EXPECT_NE(ra, PlanReply(kDefaultPlan, unit, 1, c).Text);
    auto bad = std::count_if(ra.begin(), ra.begin() + 512, [](char ch) { return !IsHex(ch); });
    EXPECT_GT(bad, 20);
    EXPECT_LT(bad, 110);
    EXPECT_EQ(ra.substr(512), "\r\n"); // the trailer stays intact
    for (char ch : ra.substr(0, 512)) {
        EXPECT_TRUE(IsHex(ch) || (ch >= 'G' && ch <= 'Z') || ch == '?' || ch == '*' || ch == '#');
    }

    UnitConfig noisy;
    noisy.Faults.NoiseDb = 1.0;
    Rng n1(5), n2(5);
    auto r1 = SweepReadings(kDefaultPlan, noisy, n1);
    EXPECT_EQ(r1, SweepReadings(kDefaultPlan, noisy, n2));
    Rng quiet(5);
    EXPECT_NE(r1, SweepReadings(kDefaultPlan, UnitConfig{}, quiet));
}
