#include "Command.h"
#include "Convert.h"

#include <gtest/gtest.h>

using namespace myrl;

TEST(Command, DecodesPairs) {
    struct Case {
        const char* reply;
        int point;
        int32_t expected;
    };
    const Case cases[] = {{"ff", 0, 255}, {"FF", 0, 255}, {"G0", 0, 0},   {"0080", 1, 128},
                          {"00", 0, 0},   {"7", 0, 0},    {"00F", 1, 0},  {"-1", 0, 0},
                          {" F", 0, 0},   {"+F", 0, 0},   {"aB", 0, 171}, {"12", -1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeReading(c.reply, c.point), c.expected) << c.reply << " @" << c.point;
    }
}

// Every pair of characters reads as the integer conversion reads "$" and the pair.
TEST(Command, DecodesEveryPairAsTheConversionReadsIt) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string pair{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(DecodeReading("00" + pair, 1), StrToIntDef("$" + pair, 0)) << a << " " << b;
        }
    }
}

TEST(Command, ParsesWhatItBuilds) {
    const SweepCommand cmds[] = {{0, 80000, 3}, {12434090, 12500, 8}, {-1, 0, 188}};
    for (const auto& c : cmds) {
        std::string line = BuildCommand(c.StartWord, c.StepWord, c.SweepCode);
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        auto parsed = ParseCommand(line);
        ASSERT_TRUE(parsed.has_value()) << line;
        EXPECT_EQ(*parsed, c);
    }
    EXPECT_EQ(ParseCommand("00bdbaaa000030d408")->StartWord, 12434090);
}

TEST(Command, RejectsLinesThatAreNotCommands) {
    const char* bad[] = {"",
                         "00000000000138800",
                         "0000000000013880033",
                         "00000000000138800G",
                         "-0000000000138800",
                         "0000000 000138800",
                         "hello"};
    for (const char* line : bad) {
        EXPECT_FALSE(ParseCommand(line).has_value()) << line;
    }
}

TEST(Command, EncodesReadings) {
    EXPECT_EQ(EncodeReading(0), "00");
    EXPECT_EQ(EncodeReading(255), "FF");
    EXPECT_EQ(EncodeReading(171), "AB");
}
