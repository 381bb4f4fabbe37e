#include "Pacing.h"

#include <gtest/gtest.h>

using namespace myrl::sim;

namespace {
constexpr double kChar = 10.0 / 19200;
}

TEST(Pacing, SweepSecondsInvertTheCodeTable) {
    struct Case {
        int code;
        double seconds;
    };
    const Case cases[] = {
        {0x03, 5 / 9.5}, {0x08, 10 / 9.5}, {0x11, 2.0}, {0x4A, 8.0}, {0xBC, 20.0}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(SweepSecondsFromCode(c.code), c.seconds) << c.code;
    }
}

TEST(Pacing, ShortSweepsAreLimitedByTheLine) {
    PacingConfig real;
    auto due = CharSchedule(0x00, 512, real);
    ASSERT_EQ(due.size(), 512u);
    for (size_t k = 0; k < due.size(); ++k) {
        ASSERT_NEAR(due[k], k * kChar, 1e-12) << k;
    }
}

TEST(Pacing, LongSweepsSendEachReadingWhenItIsMeasured) {
    PacingConfig real;
    auto due = CharSchedule(0x4A, 514, real); // 8 s sweep, two trailer characters
    for (size_t i = 1; i < 256; ++i) {
        ASSERT_NEAR(due[2 * i], i / 256.0 * 8.0, 1e-12) << i;
        ASSERT_NEAR(due[2 * i + 1], due[2 * i] + kChar, 1e-12) << i;
    }
    EXPECT_NEAR(due[513], due[511] + 2 * kChar, 1e-12);
}

TEST(Pacing, EveryCodeKeepsInsideTheReceiveTimeOut) {
    PacingConfig real;
    for (int code = 0; code < 256; ++code) {
        auto due = CharSchedule(code, 512, real);
        EXPECT_LT(due[0], 0.3) << code;
        for (size_t k = 1; k < due.size(); ++k) {
            ASSERT_GE(due[k] - due[k - 1], kChar - 1e-12) << code << " @" << k;
            ASSERT_LT(due[k] - due[k - 1], 0.3) << code << " @" << k;
        }
    }
}

TEST(Pacing, FastAndFirstDelay) {
    PacingConfig fast;
    fast.Fast = true;
    for (double d : CharSchedule(0xBC, 512, fast, 0.25)) {
        ASSERT_EQ(d, 0.25);
    }
    PacingConfig real;
    auto plain = CharSchedule(0x03, 512, real);
    auto late = CharSchedule(0x03, 512, real, 0.5);
    for (size_t k = 0; k < plain.size(); ++k) {
        ASSERT_NEAR(late[k], plain[k] + 0.5, 1e-12);
    }
}

// The command line and its carriage return take their line time before the unit has the
// command (a pty delivers them at once); without pacing they take none.
TEST(Pacing, CommandCharactersTakeTheirLineTime) {
    PacingConfig real;
    EXPECT_NEAR(CommandSeconds(18, real), 19 * kChar, 1e-15);
    EXPECT_NEAR(CommandSeconds(0, real), kChar, 1e-15);
    PacingConfig fast;
    fast.Fast = true;
    EXPECT_EQ(CommandSeconds(18, fast), 0.0);
}
