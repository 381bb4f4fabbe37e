#include "FreqPlan.h"
#include "Command.h"
#include "Rnd.h"

#include <gtest/gtest.h>

using namespace myrl;

namespace {

MeasState plan(double start, double stop, bool zeroSpan) {
    MeasState s;
    s.GenClock = 67108864;
    s.FreqRes = s.GenClock / kWordsPerClock;
    s.FrexRef = 12800000;
    s.FrexOffset = s.FrexRef * 256 / 11;
    s.SweepSteps = kSweepStepCount;
    s.PointNum = kPointCount;
    s.StartFreq = start;
    s.StopFreq = stop;
    s.ZeroSpan = zeroSpan;
    return s;
}

std::string commandOf(const MeasState& s, double sweepTimeIdx) {
    return BuildCommand(s.StartWord, s.StepWord, SweepCode(sweepTimeIdx));
}

} // namespace

TEST(FreqPlan, DefaultPlanGivesTheFirstCommand) {
    MeasState s = plan(0, 20000000, false);
    CalcSweepWords(s, false);
    EXPECT_EQ(s.StartWord, 0);
    EXPECT_EQ(s.StepWord, 80000);
    EXPECT_EQ(commandOf(s, 1), "000000000001388003\r");
    EXPECT_EQ(commandOf(s, 1).size(), 19u);
}

TEST(FreqPlan, CenterSpan) {
    MeasState s = plan(10650000, 10750000, false);
    CalcSweepWords(s, false);
    EXPECT_EQ(s.StartWord, 10650000);
    EXPECT_EQ(s.StepWord, 400);
    EXPECT_EQ(commandOf(s, 1).substr(0, 16), "00A2819000000190");
    CalcFreqAxis(s, false);
    EXPECT_DOUBLE_EQ(s.FreqAxis[0], 10650000);
    EXPECT_DOUBLE_EQ(s.FreqAxis[250], 10750000);
    EXPECT_DOUBLE_EQ(s.FreqAxis[256], 10650000 + 256 * 400);
}

TEST(FreqPlan, ZeroSpanTunesTheCentreAndAxisIsPercent) {
    MeasState s = plan(10700000, 10700000, true);
    CalcSweepWords(s, false);
    EXPECT_EQ(s.StartWord, 10700000);
    EXPECT_EQ(s.StepWord, 0);
    EXPECT_EQ(commandOf(s, 1).substr(0, 16), "00A344E000000000");
    CalcFreqAxis(s, false);
    EXPECT_DOUBLE_EQ(s.FreqAxis[0], -1);
    EXPECT_DOUBLE_EQ(s.FreqAxis[1], -0.6);
    EXPECT_DOUBLE_EQ(s.FreqAxis[250], 99);
    EXPECT_DOUBLE_EQ(s.FreqAxis[256], 0.4 * 256 - 1);
}

TEST(FreqPlan, ZeroSpanRoundsTheCentreHalvesToEven) {
    MeasState s = plan(10700000, 10700001, true); // centre 10700000.5
    CalcSweepWords(s, false);
    EXPECT_EQ(s.StartWord, 10700000);
    s = plan(10700001, 10700002, true); // centre 10700001.5
    CalcSweepWords(s, false);
    EXPECT_EQ(s.StartWord, 10700002);
}

TEST(FreqPlan, FrexExtension) {
    MeasState s = plan(100000000, 200000000, false);
    CalcSweepWords(s, true);
    EXPECT_EQ(s.StartWord, 12434090);
    EXPECT_EQ(s.StepWord, 12500);
    EXPECT_EQ(commandOf(s, 2), "00BDBAAA000030D408\r");
    CalcFreqAxis(s, true);
    EXPECT_NEAR(s.FreqAxis[0], 99999970.909090909, 1e-6);
    EXPECT_NEAR(s.FreqAxis[250], 199999970.909090909, 1e-6);
}

TEST(FreqPlan, FrexZeroSpan) {
    MeasState s = plan(150000000, 150000000, true);
    CalcSweepWords(s, true);
    EXPECT_EQ(s.StartWord, rnd((150000000 + s.FrexOffset) / 32));
    EXPECT_EQ(s.StepWord, 0);
}

TEST(FreqPlan, AxisWordArithmeticWrapsAt32Bits) {
    MeasState s = plan(0, 0, false);
    s.StartWord = 2147483600;
    s.StepWord = 1;
    CalcFreqAxis(s, false);
    EXPECT_DOUBLE_EQ(s.FreqAxis[47], 2147483647);
    EXPECT_DOUBLE_EQ(s.FreqAxis[48], -2147483648.0);
}

// The unit holds a tuning word in a 32-bit register: a word beyond 2^31 or 2^32 keeps its
// low 32 bits in every branch alike, zero span included.
TEST(FreqPlan, TuningWordsKeepTheirLow32BitsInEveryBranch) {
    struct Case {
        double start;
        double stop;
        bool zeroSpan;
        bool frex;
        int32_t startWord;
        const char* sent;
    };
    const Case cases[] = {
        {3e9, 3e9 + 100000, false, false, -1294967296, "B2D05E00"},  // 3000000000
        {5e9, 5e9 + 100000, false, false, 705032704, "2A05F200"},    // 5000000000
        {1e11, 1e11 + 100000, false, true, -1160658206, "BAD1C2E2"}, // 3134309090
        {3e9, 3e9, true, false, -1294967296, "B2D05E00"},            // 3000000000
        {5e9, 5e9, true, false, 705032704, "2A05F200"},              // 5000000000
        {4294967297, 4294967298, true, false, 2, "00000002"},        // 4294967297.5 to even
        {1e11, 1e11, true, true, -1160658205, "BAD1C2E3"},           // 3134309090.9
        {2e11, 2e11, true, true, 1964341795, "75157A23"},            // 6259309090.9
    };
    for (const auto& c : cases) {
        MeasState s = plan(c.start, c.stop, c.zeroSpan);
        CalcSweepWords(s, c.frex);
        EXPECT_EQ(s.StartWord, c.startWord)
            << c.start << (c.zeroSpan ? " zero span" : "") << (c.frex ? " FREX" : "");
        EXPECT_EQ(commandOf(s, 1).substr(0, 8), c.sent) << c.start;
    }
}

TEST(FreqPlan, SweepCodeTable) {
    const int32_t codes[17] = {0, 3, 8, 12, 17, 22, 26, 31, 36, 41, 46, 50, 55, 74, 93, 140, 188};
    const char* sent[17] = {"00", "03", "08", "0C", "11", "16", "1A", "1F", "24",
                            "29", "2E", "32", "37", "4A", "5D", "8C", "BC"};
    for (int idx = 0; idx < 17; ++idx) {
        EXPECT_EQ(SweepCode(idx), codes[idx]) << idx;
        EXPECT_EQ(BuildCommand(0, 0, SweepCode(idx)).substr(16, 2), sent[idx]) << idx;
    }
    EXPECT_DOUBLE_EQ(SweepSeconds(13), 8);
    EXPECT_DOUBLE_EQ(SweepSeconds(16), 20);
}
