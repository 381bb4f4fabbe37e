#include "SweepProc.h"
#include "Command.h"
#include "FreqPlan.h"
#include "Plans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

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

// Every averaging count, whole groups of four slots or not: the sum is that of the slots
// the status names, and the level their mean.
TEST_F(SweepProcTest, SumRunsOverExactlyTheSlotsAveraged) {
    for (int32_t num : {1, 2, 3, 4, 5, 7, 8, 9, 31, 63, 64}) {
        s.AvrNum = num;
        AvrReset(s);
        for (int sweep = 0; sweep < num + 3; ++sweep) {
            const AvrStatus st = process(reply([&](int i) { return (i * 31 + sweep * 17) % 256; }));
            for (size_t p : {size_t{0}, size_t{100}, size_t{255}}) {
                int32_t want = 0;
                for (int32_t k = 0; k < st.Count; ++k) {
                    want += s.SampleRing[p][static_cast<size_t>(k)];
                }
                ASSERT_EQ(s.SampleSum[p], want) << num << " sweep " << sweep << " point " << p;
                ASSERT_EQ(s.RawLevel[p], (100.0 / 256) * want / st.Count - 87) << num;
            }
        }
    }
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

namespace {

// Calibration axes as CAL sweeps leave them: plans that rise (with FREX, in zero span,
// stalled into repeated entries) and tables that do not (edited calibration files, a
// plan whose stop lies below its start).
struct CalAxisCase {
    const char* name;
    bool rises;
    std::function<double(size_t)> freq;
};

const CalAxisCase kCalAxes[] = {
    {"plan", true, [](size_t i) { return 10650000.0 + 100000.0 * static_cast<double>(i) / 256; }},
    {"zero span", true, [](size_t i) { return 100.0 * static_cast<double>(i) / 256; }},
    {"pairs", true, [](size_t i) { return 1000.0 + 10.0 * static_cast<double>(i / 2); }},
    {"stalled runs", true,
     [](size_t i) { return static_cast<double>(std::min<size_t>(i / 40, 3)); }},
    {"flat", true, [](size_t) { return 5.0; }},
    {"signed zeros", true,
     [](size_t i) { return i < 100 ? (i % 2 ? 0.0 : -0.0) : static_cast<double>(i); }},
    // Steps of one unit in the last place, each entry three times.
    {"tiny steps", true,
     [](size_t i) { return 1e6 + std::ldexp(static_cast<double>(i / 3), -33); }},
    {"falling", false, [](size_t i) { return 2e6 - 1000.0 * static_cast<double>(i); }},
    {"one dip", false, [](size_t i) { return i == 128 ? 0.0 : 1000.0 * static_cast<double>(i); }},
    {"last falls", false,
     [](size_t i) { return i == 255 ? 1.0 : 1000.0 * static_cast<double>(i); }},
    {"NaN entry", false,
     [](size_t i) { return i == 77 ? std::nan("") : 1000.0 * static_cast<double>(i); }},
    {"zigzag", false, [](size_t i) { return static_cast<double>((i * 37) % 101); }},
};

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

// The lookup by halving gives the downward scan's value, bit for bit, wherever the axis
// rises, for x on, just beside and between every entry and beyond both ends; where the
// axis does not rise the sweep processing keeps the scan.
TEST_F(SweepProcTest, CalLookupByHalvingGivesTheScansValueOnRisingAxes) {
    long lookups = 0;
    for (const CalAxisCase& c : kCalAxes) {
        for (size_t i = 0; i < kArrayLen; ++i) {
            s.CalFreq[i] = c.freq(i);
            s.CalLevel[i] = -40 + 0.37 * static_cast<double>((i * 53) % 97);
        }
        ASSERT_EQ(CalAxisRises(s), c.rises) << c.name;
        std::vector<double> xs = {-std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::infinity(),
                                  std::nan(""),
                                  -1e300,
                                  1e300,
                                  0.0,
                                  -0.0};
        for (size_t i = 0; i < kArrayLen; ++i) {
            const double f = s.CalFreq[i];
            xs.insert(xs.end(), {f, std::nextafter(f, -HUGE_VAL), std::nextafter(f, HUGE_VAL)});
            if (i + 1 < kArrayLen) {
                xs.push_back(f + (s.CalFreq[i + 1] - f) / 3);
            }
        }
        if (c.rises) {
            for (double x : xs) {
                ASSERT_TRUE(sameBits(CalLookupRising(s, x), CalLookup(s, x)))
                    << c.name << ": x " << x;
                ++lookups;
            }
        }
        // The sweep processing over an axis of those x: NormLevel is RawLevel less the
        // scan's value at every point, whichever way the interval was found.
        for (size_t base = 0; base < xs.size(); base += kArrayLen) {
            for (size_t i = 0; i < kArrayLen; ++i) {
                s.FreqAxis[i] = xs[std::min(base + i, xs.size() - 1)];
            }
            process(reply([](int i) { return (i * 7) % 256; }), "NORM");
            for (size_t i = 0; i < kArrayLen; ++i) {
                ASSERT_TRUE(sameBits(s.NormLevel[i], s.RawLevel[i] - CalLookup(s, s.FreqAxis[i])))
                    << c.name << ": point " << i << " at " << s.FreqAxis[i];
            }
        }
    }
    EXPECT_GT(lookups, 5000);
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
