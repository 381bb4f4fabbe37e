// Graph1's presentation: the scale and captions for the SWR box and the reference position,
// and the trace it shows.
#include "Presentation.h"

#include "SweepProc.h"

#include <gtest/gtest.h>

#include <memory>

namespace myrl {
namespace {

struct ScaleCase {
    const char* name;
    bool swr;
    int refPos;
    double bias;
    int dbPerDiv;
    Presentation expected;
};

class PresentationScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(PresentationScale, FollowsTheSwrBoxAndTheReferencePosition) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(ChoosePresentation(c.swr, c.refPos, c.bias, 7, c.dbPerDiv), c.expected);
    if (c.dbPerDiv == kDefaultDbPerDiv) {
        EXPECT_EQ(ChoosePresentation(c.swr, c.refPos, c.bias, 7), c.expected);
    }
    if (!c.swr) {
        // The reference level (0 dB of the trace) stays on the refPos-th line from the top.
        const Presentation& p = c.expected;
        EXPECT_DOUBLE_EQ((p.Ymax - 0) / (p.Ymax - p.Ymin) * p.YGridNum, c.refPos + c.bias);
    }
}

const Presentation kLevelRef1{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -90, 10};
const Presentation kLevelRef0{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -100, 0};
const Presentation kLevelRef9{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -10, 90};
const Presentation kLevelBiased{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -75, 25};
// Finer scales: ten divisions of the chosen step, the reference on the same line.
const Presentation kLevel1dB{"FREQUENCY RESPONSE", "1dB/div", true, false, false, 10, true, -7, 3};
const Presentation kLevel2dB{"FREQUENCY RESPONSE", "2dB/div", true, false, false, 10, true, -14, 6};
const Presentation kLevel5dB{
    "FREQUENCY RESPONSE", "5dB/div", true, false, false, 10, true, -35, 15};
const Presentation kLevel5dBBiased{
    "FREQUENCY RESPONSE", "5dB/div", true, false, false, 10, true, -37.5, 12.5};
const Presentation kLevelRef3{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -70, 30};
// The SWR scale keeps the chart's grid count (7 here).
const Presentation kSwr{"                  SWR", "  ", false, true, true, 7, false, 1, 10};

INSTANTIATE_TEST_SUITE_P(
    Cases, PresentationScale,
    ::testing::Values(ScaleCase{"LevelRef1", false, 1, 0, 10, kLevelRef1},
                      ScaleCase{"LevelRef0", false, 0, 0, 10, kLevelRef0},
                      ScaleCase{"LevelRef9", false, 9, 0, 10, kLevelRef9},
                      ScaleCase{"LevelWithBias", false, 2, 0.5, 10, kLevelBiased},
                      ScaleCase{"OneDbPerDiv", false, 3, 0, 1, kLevel1dB},
                      ScaleCase{"TwoDbPerDiv", false, 3, 0, 2, kLevel2dB},
                      ScaleCase{"FiveDbPerDiv", false, 3, 0, 5, kLevel5dB},
                      ScaleCase{"FiveDbPerDivWithBias", false, 2, 0.5, 5, kLevel5dBBiased},
                      // A step not offered is taken as the default.
                      ScaleCase{"ThreeDbPerDivIsTen", false, 3, 0, 3, kLevelRef3},
                      ScaleCase{"ZeroDbPerDivIsTen", false, 3, 0, 0, kLevelRef3},
                      ScaleCase{"NegativeDbPerDivIsTen", false, 3, 0, -5, kLevelRef3},
                      ScaleCase{"SwrIgnoresThePosition", true, 4, 0.5, 10, kSwr},
                      ScaleCase{"SwrIgnoresTheStep", true, 4, 0.5, 1, kSwr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FillDispTrace, LevelMinusReferenceOrSwrOverEveryEntryUpToPointNum) {
    auto s = std::make_unique<MeasState>();
    s->PointNum = kPointCount;
    s->RefLevel = 2.5;
    for (int i = 0; i < kArrayLen; ++i) {
        s->NormLevel[static_cast<size_t>(i)] = -i;
        s->SwrTrace[static_cast<size_t>(i)] = 1 + i;
    }
    FillDispTrace(*s, false);
    EXPECT_EQ(s->DispTrace[0], -2.5);
    EXPECT_EQ(s->DispTrace[kPointCount], -kPointCount - 2.5); // entry N too
    FillDispTrace(*s, true);
    EXPECT_EQ(s->DispTrace[0], 1);
    EXPECT_EQ(s->DispTrace[kPointCount], 1 + kPointCount);

    s->PointNum = 3; // entries beyond PointNum keep what they held
    FillDispTrace(*s, false);
    EXPECT_EQ(s->DispTrace[3], -5.5);
    EXPECT_EQ(s->DispTrace[4], 5);
}

TEST(FillDispTrace, TheMemoryShownOrSubtractedOverItsOwnAxis) {
    auto s = std::make_unique<MeasState>();
    s->PointNum = 4;
    s->RefLevel = 1;
    for (int i = 0; i <= 4; ++i) {
        s->FreqAxis[static_cast<size_t>(i)] = 100.0 * i; // 0, 100, ..., 400
        s->NormLevel[static_cast<size_t>(i)] = -10;
        s->SwrTrace[static_cast<size_t>(i)] = 7;
    }
    // The memory: -2 dB at 50 Hz rising to -4 dB at 250 Hz (held flat outside).
    s->MemPoints = 2;
    s->MemFreq[0] = 50;
    s->MemFreq[1] = 250;
    s->MemLevel[0] = -2;
    s->MemLevel[1] = -4;
    const double mem[] = {-2, -2.5, -3.5, -4, -4};
    struct Case {
        int32_t mode;
        bool swr;
    };
    for (const Case& c : {Case{kMemOff, false}, Case{kMemShown, false}, Case{kMemShown, true},
                          Case{kMemSubtracted, false}, Case{kMemSubtracted, true}}) {
        SCOPED_TRACE(c.mode * 10 + c.swr);
        s->MemMode = c.mode;
        s->MemTrace.fill(99);
        FillDispTrace(*s, c.swr);
        for (size_t i = 0; i <= 4; ++i) {
            EXPECT_DOUBLE_EQ(MemoryAt(*s, s->FreqAxis[i]), mem[i]);
            double disp = c.swr ? 7 : -11;
            if (c.mode == kMemSubtracted) {
                disp = c.swr ? SwrFromLevel(-10 - mem[i]) : -10 - mem[i] - 1;
            }
            EXPECT_DOUBLE_EQ(s->DispTrace[i], disp) << i;
            const double memTrace =
                c.mode != kMemShown ? 99 : (c.swr ? SwrFromLevel(mem[i]) : mem[i] - 1);
            EXPECT_DOUBLE_EQ(s->MemTrace[i], memTrace) << i;
        }
    }
    s->MemPoints = 0;
    EXPECT_EQ(MemoryAt(*s, 100), 0);
}

// The chart says "trace − memory" while the memory is subtracted, and only then: the
// scale and everything else stay those of the presentation.
TEST(PresentationTitle, SaysTraceMinusMemoryOnlyWhileSubtracted) {
    const struct {
        bool swr;
        int32_t memMode;
        const char* title;
    } cases[] = {
        {false, kMemOff, "FREQUENCY RESPONSE"},
        {false, kMemShown, "FREQUENCY RESPONSE"},
        {false, kMemSubtracted, "      TRACE − MEMORY"},
        {true, kMemOff, "                  SWR"},
        {true, kMemShown, "                  SWR"},
        {true, kMemSubtracted, "SWR OF TRACE − MEMORY"},
    };
    for (const auto& c : cases) {
        Presentation p = ChoosePresentation(c.swr, 3, 0, 7, 5, c.memMode);
        EXPECT_EQ(p.Title, c.title) << c.swr << " " << c.memMode;
        p.Title = ChoosePresentation(c.swr, 3, 0, 7, 5).Title;
        EXPECT_EQ(p, ChoosePresentation(c.swr, 3, 0, 7, 5));
    }
}

// Where the shown memory is drawn: the points of the axis within its first and last
// frequency.
TEST(MemoryPoints, ThePointsOfTheAxisWithinTheMemorysFrequencies) {
    auto s = std::make_unique<MeasState>();
    s->PointNum = 5;
    for (int i = 0; i <= 5; ++i) {
        s->FreqAxis[static_cast<size_t>(i)] = 100.0 * i; // 0 .. 400; entry 5 is not a point
    }
    const struct {
        int32_t points;
        double low, high;
        PointRange range;
    } cases[] = {
        {2, 0, 400, {0, 5}},    // the same plan
        {3, 50, 250, {1, 2}},   // inside: points 100 and 200
        {2, 100, 300, {1, 3}},  // ends on points: they count
        {2, -500, 150, {0, 2}}, // reaching below the axis
        {2, 350, 900, {4, 1}},  // reaching above it; entry 5 is not a point
        {2, 410, 900, {0, 0}},  // wholly above
        {2, 120, 180, {0, 0}},  // between two points
        {1, 0, 400, {0, 0}},    // a single point is no memory
        {0, 0, 400, {0, 0}},    // nothing stored
    };
    for (const auto& c : cases) {
        s->MemPoints = c.points;
        s->MemFreq.fill(0);
        if (c.points > 0) {
            s->MemFreq[0] = c.low;
            s->MemFreq[static_cast<size_t>(c.points - 1)] = c.high;
        }
        const PointRange r = MemoryPoints(*s);
        EXPECT_EQ(r.First, c.range.First) << c.low << ".." << c.high;
        EXPECT_EQ(r.Count, c.range.Count) << c.low << ".." << c.high;
    }
}

} // namespace
} // namespace myrl
