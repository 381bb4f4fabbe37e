// Graph1's presentation: the scale and captions for the SWR box and the reference position,
// and the trace it shows.
#include "Presentation.h"

#include <gtest/gtest.h>

#include <memory>

namespace myrl {
namespace {

struct ScaleCase {
    const char* name;
    bool swr;
    int refPos;
    double bias;
    Presentation expected;
};

class PresentationScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(PresentationScale, FollowsTheSwrBoxAndTheReferencePosition) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(ChoosePresentation(c.swr, c.refPos, c.bias, 7), c.expected);
}

const Presentation kLevelRef1{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -90, 10};
const Presentation kLevelRef0{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -100, 0};
const Presentation kLevelRef9{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -10, 90};
const Presentation kLevelBiased{
    "FREQUENCY RESPONSE", "10dB/div", true, false, false, 10, true, -75, 25};
// The SWR scale keeps the chart's grid count (7 here).
const Presentation kSwr{"                  SWR", "  ", false, true, true, 7, false, 1, 10};

INSTANTIATE_TEST_SUITE_P(Cases, PresentationScale,
                         ::testing::Values(ScaleCase{"LevelRef1", false, 1, 0, kLevelRef1},
                                           ScaleCase{"LevelRef0", false, 0, 0, kLevelRef0},
                                           ScaleCase{"LevelRef9", false, 9, 0, kLevelRef9},
                                           ScaleCase{"LevelWithBias", false, 2, 0.5, kLevelBiased},
                                           ScaleCase{"SwrIgnoresThePosition", true, 4, 0.5, kSwr}),
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

} // namespace
} // namespace myrl
