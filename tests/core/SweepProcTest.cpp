#include "SweepProc.h"
#include "Command.h"
#include "FreqPlan.h"
#include "Plans.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace myrl;

namespace {

class SweepProcTest : public ::testing::Test {
protected:
    SweepProcTest() {
        SetPlan(s);
        s.AvrNum = 1;
        AvrReset(s);
    }

    // A reply whose point i reads reading(i).
    static std::string reply(const std::function<int(int)>& reading) {
        std::string r;
        for (int i = 0; i < kPointCount; ++i) {
            r += EncodeReading(reading(i));
        }
        return r;
    }

    AvrStatus process(const std::string& text, const char* mode = "THRU", bool swr = false) {
        s.ReplyText = text;
        return ProcessReply(s, mode, swr);
    }

    MeasState s;
};

} // namespace

TEST_F(SweepProcTest, LevelConversion) {
    process(reply([](int) { return 0; }));
    EXPECT_DOUBLE_EQ(s.RawLevel[0], -87);
    EXPECT_DOUBLE_EQ(s.RawLevel[255], -87);
    EXPECT_DOUBLE_EQ(s.RawLevel[256], 0); // entry N is never filled from a reading
    process(reply([](int) { return 255; }));
    EXPECT_DOUBLE_EQ(s.RawLevel[0], 12.609375);
    process(reply([](int) { return 128; }));
    EXPECT_DOUBLE_EQ(s.RawLevel[100], -37);
    s.LevelOffset = 1.5;
    process(reply([](int) { return 128; }));
    EXPECT_DOUBLE_EQ(s.RawLevel[100], -35.5);
}

TEST_F(SweepProcTest, UndecodablePairsAndShortRepliesReadZero) {
    std::string text = reply([](int) { return 255; });
    text[2] = 'G';
    text.resize(400);
    process(text);
    EXPECT_DOUBLE_EQ(s.RawLevel[0], 12.609375);
    EXPECT_DOUBLE_EQ(s.RawLevel[1], -87);
    EXPECT_DOUBLE_EQ(s.RawLevel[199], 12.609375);
    EXPECT_DOUBLE_EQ(s.RawLevel[200], -87);
}

TEST_F(SweepProcTest, AveragingSequenceForFourSweeps) {
    s.AvrNum = 4;
    AvrReset(s);
    struct Row {
        int slot;
        AvrStatus status;
    };
    const Row rows[] = {{0, {1, 4}}, {0, {1, 4}}, {1, {2, 4}}, {2, {3, 4}},
                        {3, {4, 4}}, {0, {4, 4}}, {1, {4, 4}}};
    int sweep = 0;
    for (const auto& row : rows) {
        ++sweep;
        // Sweep k reads 10k everywhere, so the slot it lands in is visible in the ring.
        const int value = 10 * sweep;
        EXPECT_EQ(process(reply([&](int) { return value; })), row.status) << "sweep " << sweep;
        EXPECT_EQ(s.SampleRing[17][static_cast<size_t>(row.slot)], value) << "sweep " << sweep;
        EXPECT_EQ(AvrStatusText(row.status),
                  "Averaging   " + std::to_string(row.status.Count) + " / 4");
    }
    // Sweep 7 averages sweeps 4..7: 40, 50, 60, 70 in slots 2, 3, 0, 1.
    EXPECT_EQ(s.SampleSum[17], 40 + 50 + 60 + 70);
    EXPECT_DOUBLE_EQ(s.RawLevel[17], 55 * 100.0 / 256 - 87);
}

TEST_F(SweepProcTest, AverageOfOneWritesSlotZeroEveryTime) {
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(process(reply([&](int) { return k; })), (AvrStatus{1, 1}));
        EXPECT_EQ(s.SampleRing[0][0], k);
        EXPECT_EQ(s.SampleRing[0][1], 0);
    }
}

TEST_F(SweepProcTest, AveragingCountOutsideTheRingIsLimited) {
    struct Case {
        int32_t avrNum;
        int32_t effective;
    };
    const Case cases[] = {{0, 1}, {-5, 1}, {65, 64}, {1000, 64}};
    for (const auto& c : cases) {
        s.AvrNum = c.avrNum;
        AvrReset(s);
        for (int k = 0; k < 200; ++k) {
            AvrStatus st = process(reply([](int i) { return i % 200; }));
            EXPECT_GE(st.Count, 1);
            EXPECT_LE(st.Count, c.effective);
            EXPECT_EQ(st.Num, c.effective);
            ASSERT_GE(s.AvrSlot, 0);
            ASSERT_LT(s.AvrSlot, kRingDepth);
        }
        EXPECT_DOUBLE_EQ(s.RawLevel[100], 100 * 100.0 / 256 - 87) << c.avrNum;
    }
}

TEST_F(SweepProcTest, NormBeforeAnyCalGivesThruLevels) {
    process(reply([](int i) { return i; }), "NORM");
    for (size_t i = 0; i < 256; ++i) {
        EXPECT_DOUBLE_EQ(s.NormLevel[i], s.RawLevel[i]);
    }
}

TEST_F(SweepProcTest, NormAgainstCalOfTheSameResponse) {
    auto response = [](int i) { return 50 + (i * 7) % 150; };
    process(reply(response), "CAL");
    EXPECT_EQ(s.CalFreq[10], s.FreqAxis[10]);
    process(reply(response), "NORM");
    for (size_t i = 0; i < 256; ++i) {
        if (i == 1) {
            // The first interval is held flat at entry 0.
            EXPECT_DOUBLE_EQ(s.NormLevel[1], s.RawLevel[1] - s.CalLevel[0]);
        } else {
            EXPECT_NEAR(s.NormLevel[i], 0, 1e-12) << i;
        }
    }
}

TEST_F(SweepProcTest, CalSweepRecordsWhetherItWasZeroSpan) {
    // A zero-span sweep's axis is the positions 0..100, not hertz: the calibration says
    // which it holds, and keeps saying it once the plan has changed.
    for (const bool zero : {true, false, true}) {
        s.ZeroSpan = zero;
        process(reply([](int i) { return i; }), "CAL");
        EXPECT_EQ(s.CalZeroSpan, zero);
        s.ZeroSpan = !zero;
        process(reply([](int i) { return i; }), "NORM");
        EXPECT_EQ(s.CalZeroSpan, zero);
    }
}

TEST_F(SweepProcTest, CalLookupOutsideAndBetween) {
    for (size_t i = 0; i < 257; ++i) {
        s.CalFreq[i] = 1000.0 + 10.0 * static_cast<double>(i);
        s.CalLevel[i] = -static_cast<double>(i);
    }
    EXPECT_DOUBLE_EQ(CalLookup(s, 0), 0);       // below CalFreq[0]
    EXPECT_DOUBLE_EQ(CalLookup(s, 1005), 0);    // first interval flat
    EXPECT_DOUBLE_EQ(CalLookup(s, 1025), -2.5); // interpolated
    EXPECT_DOUBLE_EQ(CalLookup(s, 1020), -2);   // on entry 2: interval 1..2 at its end
    EXPECT_DOUBLE_EQ(CalLookup(s, 1e9), -255);  // above CalFreq[255]
}

// Repeated CalFreq entries (a stalled plan): the scan stops at the last entry below x, so
// the interval it interpolates over always rises and no division by zero can occur; the
// values are those of the rising intervals, and a wholly flat table gives its end entries.
TEST_F(SweepProcTest, CalLookupOverRepeatedEntriesInterpolatesTheRisingIntervals) {
    for (size_t i = 0; i < 257; ++i) {
        s.CalFreq[i] = 1000.0 + 10.0 * static_cast<double>(i / 2); // pairs of equal entries
        s.CalLevel[i] = static_cast<double>(i);
    }
    const struct {
        double x, level;
    } cases[] = {
        {1015.0, 3.5},                  // between entry 3 (1010) and entry 4 (1020)
        {1020.0, 4.0},                  // on the first of a pair: the end of the interval below it
        {1500.0, 100.0},                // entries 100 and 101 both hold 1500
        {2000.0, 200.0}, {1000.0, 0.0}, // at and below the first pair: entry 0
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(CalLookup(s, c.x), c.level) << c.x;
    }
    // Every CalFreq equal: x at or below them takes entry 0, above them entry 255.
    s.CalFreq.fill(5.0);
    EXPECT_DOUBLE_EQ(CalLookup(s, 5.0), s.CalLevel[0]);
    EXPECT_DOUBLE_EQ(CalLookup(s, 7.0), s.CalLevel[255]);
    s.FreqAxis.fill(5.0);
    process(reply([](int) { return 100; }), "NORM");
    for (size_t i = 0; i < 257; ++i) {
        ASSERT_DOUBLE_EQ(s.NormLevel[i], s.RawLevel[i] - s.CalLevel[0]) << i;
    }
}

TEST_F(SweepProcTest, UnknownModeLeavesNormLevel) {
    process(reply([](int) { return 128; }), "THRU");
    process(reply([](int) { return 0; }), "thru");
    EXPECT_DOUBLE_EQ(s.NormLevel[5], -37);
    EXPECT_DOUBLE_EQ(s.RawLevel[5], -87);
}

TEST_F(SweepProcTest, ReferenceLevelAndSwr) {
    s.RefLevel = -10;
    process(reply([](int) { return 128; }), "THRU");
    EXPECT_DOUBLE_EQ(s.DispTrace[3], -27);
    process(reply([](int) { return 128; }), "THRU", true);
    EXPECT_DOUBLE_EQ(s.DispTrace[3], s.SwrTrace[3]);
}

TEST(Swr, Values) {
    EXPECT_NEAR(SwrFromLevel(0), 199, 1e-9);
    EXPECT_NEAR(SwrFromLevel(10), 199, 1e-9);
    EXPECT_NEAR(SwrFromLevel(-20), 1.1 / 0.9, 1e-12);
    EXPECT_NEAR(SwrFromLevel(-87), 1.0, 1e-4);
}
