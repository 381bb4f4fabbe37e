#include "FreqEntry.h"
#include "Errors.h"
#include "PlainFreqEntry.h"
#include "SweepProc.h"

#include <gtest/gtest.h>

using namespace myrl;

namespace {

// The controls as plain fields.
using Panel = PlainFreqEntry;

class FreqEntryTest : public ::testing::Test {
protected:
    FreqEntryTest() {
        s.AvrCount = 5; // any sign of a reset shows
    }
    void enter(const std::string& fdef, const std::string& e1, const std::string& e2) {
        p.fdef = fdef;
        p.edit1 = e1;
        p.edit2 = e2;
        ApplyFreqEntries(s, p);
    }
    MeasState s;
    Panel p;
};

void expectConvertError(const std::function<void()>& f, const std::string& text) {
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), text);
    }
}

} // namespace

TEST_F(FreqEntryTest, CenterSpanWithSuffixes) {
    enter("CENTER/SPAN", "10.7M", "100k");
    EXPECT_EQ(p.edit1, "10700000");
    EXPECT_EQ(p.edit2, "100000");
    EXPECT_EQ(s.StartFreq, 10650000);
    EXPECT_EQ(s.StopFreq, 10750000);
    EXPECT_FALSE(s.ZeroSpan);
    EXPECT_EQ(p.fl, "10,650,000");
    EXPECT_EQ(p.fc, "10,700,000");
    EXPECT_EQ(p.fu, "10,750,000");
    EXPECT_EQ(p.fdiv, "   10,000  Hz/div");
    EXPECT_EQ(p.xmin, 10650000);
    EXPECT_EQ(p.xmax, 10750000);
    EXPECT_EQ(s.AvrCount, 1);
}

TEST_F(FreqEntryTest, FieldNormalisation) {
    struct Case {
        const char* typed;
        const char* field;
    };
    const Case cases[] = {{"12m", "12000000"}, {"455k", "455000"}, {"455K", "455000"},
                          {"1.5", "2"},        {"2.5", "2"},       {"-3", "-3"},
                          {"1e3", "1000"},     {"0.0005M", "500"}};
    for (const auto& c : cases) {
        enter("START/STOP", c.typed, "30000000");
        EXPECT_EQ(p.edit1, c.field) << c.typed;
    }
}

TEST_F(FreqEntryTest, StartAboveStopBecomesZeroSpan) {
    enter("START/STOP", "2000000", "1000000");
    EXPECT_EQ(p.edit2, "2000000");
    EXPECT_EQ(s.StartFreq, 2000000);
    EXPECT_EQ(s.StopFreq, 2000000);
    EXPECT_TRUE(s.ZeroSpan);
    EXPECT_EQ(p.fl, "");
    EXPECT_EQ(p.fu, "");
    EXPECT_EQ(p.fdiv, "");
    EXPECT_EQ(p.fc, "2,000,000");
    EXPECT_EQ(p.xmin, 0);
    EXPECT_EQ(p.xmax, 100);
}

TEST_F(FreqEntryTest, SpansThatAreZeroOrOdd) {
    enter("CENTER/SPAN", "1000000", "0");
    EXPECT_TRUE(s.ZeroSpan);
    EXPECT_EQ(p.fc, "1,000,000");
    enter("CENTER/SPAN", "1000000", "3");
    EXPECT_FALSE(s.ZeroSpan);
    EXPECT_EQ(s.StartFreq, 999998.5);
    EXPECT_EQ(p.fl, "  999,999");
    enter("ZERO SPAN", "10700000", "100000");
    EXPECT_TRUE(s.ZeroSpan);
    EXPECT_EQ(s.StartFreq, 10650000);
}

TEST_F(FreqEntryTest, FailuresKeepTheLimitsButNotTheReset) {
    enter("CENTER/SPAN", "10700000", "100000");
    const auto before = p;
    s.AvrCount = 7;
    p.edit1 = "";
    expectConvertError([&] { ApplyFreqEntries(s, p); }, "'' は浮動小数点数ではありません");
    EXPECT_EQ(s.AvrCount, 1);
    EXPECT_EQ(s.StartFreq, 10650000);
    EXPECT_EQ(p.fl, before.fl);

    p.edit1 = "10700000";
    p.edit2 = "3000M";
    expectConvertError([&] { ApplyFreqEntries(s, p); }, "'3000000000' は整数ではありません");
    EXPECT_EQ(p.edit2, "3000000000");
    EXPECT_EQ(s.StopFreq, 10750000);
    EXPECT_EQ(p.xmax, 10750000);

    p.edit2 = "1x";
    expectConvertError([&] { ApplyFreqEntries(s, p); }, "'1x' は浮動小数点数ではありません");
}

TEST_F(FreqEntryTest, UnknownDefinitionLeavesThePlan) {
    enter("CENTER/SPAN", "10700000", "100000");
    enter("center/span", "5000000", "1000");
    EXPECT_EQ(s.StartFreq, 10650000);
    EXPECT_EQ(p.edit1, "5000000");
}

TEST_F(FreqEntryTest, ModeSwitchRewritesTheFields) {
    enter("CENTER/SPAN", "10700000", "100000");
    p.fdef = "START/STOP";
    ApplyFreqMode(s, p);
    EXPECT_EQ(p.edit1, "10650000");
    EXPECT_EQ(p.edit2, "10750000");
    EXPECT_EQ(p.label6, "START");
    EXPECT_EQ(p.label7, "STOP");
    p.fdef = "ZERO SPAN";
    ApplyFreqMode(s, p);
    EXPECT_EQ(p.label6, "FREQUENCY");
    EXPECT_EQ(p.label7, "");
    EXPECT_FALSE(p.secondVisible);
    EXPECT_TRUE(s.ZeroSpan);
    EXPECT_EQ(p.edit1, "10700000");
    p.fdef = "CENTER/SPAN";
    ApplyFreqMode(s, p);
    EXPECT_TRUE(p.secondVisible);
    EXPECT_FALSE(s.ZeroSpan);
}

TEST_F(FreqEntryTest, ZoomMoveAndCentre) {
    enter("CENTER/SPAN", "10700000", "100000");
    ApplyPlanButton(s, p, PlanButton::ZoomOut);
    EXPECT_EQ(p.edit2, "110000");
    EXPECT_EQ(s.StartFreq, 10645000);
    EXPECT_EQ(s.StopFreq, 10755000);
    ApplyPlanButton(s, p, PlanButton::ZoomIn);
    EXPECT_EQ(p.edit2, "100000");
    ApplyPlanButton(s, p, PlanButton::MoveRight);
    EXPECT_EQ(p.edit1, "10710000");
    ApplyPlanButton(s, p, PlanButton::MoveLeft);
    EXPECT_EQ(p.edit1, "10700000");
    s.MarkerFL = 10712345.6;
    ApplyPlanButton(s, p, PlanButton::CentreOnFL);
    EXPECT_EQ(p.edit1, "10712346");
    EXPECT_EQ(p.edit2, "100000");
    s.MarkerFU = 10800000;
    ApplyPlanButton(s, p, PlanButton::CentreOnFU);
    EXPECT_EQ(p.edit1, "10800000");
}

TEST_F(FreqEntryTest, PlanButtonsAreInertInZeroSpan) {
    enter("ZERO SPAN", "10700000", "100000");
    const auto before = s;
    for (auto b : {PlanButton::ZoomOut, PlanButton::ZoomIn, PlanButton::MoveLeft,
                   PlanButton::MoveRight, PlanButton::CentreOnFL, PlanButton::CentreOnFU}) {
        ApplyPlanButton(s, p, b);
        EXPECT_EQ(s.StartFreq, before.StartFreq);
        EXPECT_EQ(s.StopFreq, before.StopFreq);
        EXPECT_EQ(p.edit1, "10700000");
    }
}
