#include "Convert.h"
#include "Errors.h"
#include "Format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace myrl;

TEST(Convert, IntegersThatConvert) {
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {{"0", 0},
                          {"3", 3},
                          {"  42", 42},
                          {"-17", -17},
                          {"+5", 5},
                          {"2147483647", 2147483647},
                          {"-2147483648", -2147483647 - 1},
                          {"$FF", 255},
                          {"$ff", 255},
                          {"$0C", 12},
                          {"$FFFFFFFF", -1},
                          {"-$10", -16}};
    for (const auto& c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.expected) << c.text;
    }
}

TEST(Convert, IntegersThatDoNotConvertCarryTheText) {
    const char* bad[] = {"", "COM3", "12 ", "1.5", "$", "$G0", "2147483648", "$ F", "$-1", "--1"};
    for (const char* text : bad) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "converted " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' は整数ではありません");
        }
        EXPECT_EQ(StrToIntDef(text, -7), -7) << text;
    }
}

TEST(Convert, FloatsThatConvert) {
    struct Case {
        const char* text;
        char sep;
        double expected;
    };
    const Case cases[] = {{"67108864", '.', 67108864.0},
                          {"12800000", '.', 12800000.0},
                          {" -1.5 ", '.', -1.5},
                          {"1.5E-6", '.', 1.5e-6},
                          {"2e3", '.', 2000.0},
                          {"3,25", ',', 3.25},
                          {".5", '.', 0.5},
                          {"5.", '.', 5.0},
                          {"+0", '.', 0.0}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(StrToFloat(c.text, c.sep), c.expected) << c.text;
    }
}

TEST(Convert, FloatsThatDoNotConvertCarryTheText) {
    const char* bad[] = {"", "abc", "1.2.3", "1e", "1,5", "10.7M", "1e999", "nan", "inf", "."};
    for (const char* text : bad) {
        try {
            StrToFloat(text, '.');
            ADD_FAILURE() << "converted " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "'" + std::string(text) + "' は浮動小数点数ではありません");
        }
    }
}

// The program writes the largest double with 15 digits as 1.79769313486232E308, a little
// above it: that text and anything up to it reads as the largest double, nothing beyond.
TEST(Convert, FloatsBeyondTheLargestDoubleOnlyByTheirRounding) {
    struct Case {
        const char* text;
        char sep;
        double expected; // 0: does not convert
    };
    const Case cases[] = {{"1.79769313486232E308", '.', DBL_MAX},
                          {"-1.79769313486232E308", '.', -DBL_MAX},
                          {"1,79769313486232E308", ',', DBL_MAX},
                          {" +1.79769313486232e+308 ", '.', DBL_MAX},
                          {"179769313486232E294", '.', DBL_MAX},
                          {"0.00179769313486232000E311", '.', DBL_MAX},
                          {"1.7976931348623199999E308", '.', DBL_MAX},
                          {"1.7976931348623157E308", '.', DBL_MAX},
                          {"1.797693134862315E308", '.', 1.797693134862315E308},
                          {"1.797693134862320000000001E308", '.', 0},
                          {"1.79769313486233E308", '.', 0},
                          {"-1.8E308", '.', 0},
                          {"1E309", '.', 0},
                          {"1e999999999999", '.', 0}};
    for (const auto& c : cases) {
        if (c.expected != 0) {
            EXPECT_EQ(StrToFloat(c.text, c.sep), c.expected) << c.text;
        } else {
            EXPECT_THROW(StrToFloat(c.text, c.sep), EConvertError) << c.text;
        }
    }
}

// Whatever finite double the program writes in its general form reads back, with either
// separator, within the 15 digits it was written with.
TEST(Convert, EveryWrittenFloatReadsBack) {
    std::vector<double> values = {DBL_MAX,
                                  -DBL_MAX,
                                  DBL_MIN,
                                  -DBL_MIN,
                                  DBL_TRUE_MIN,
                                  -DBL_TRUE_MIN,
                                  std::nextafter(DBL_MIN, 0.0),
                                  2.2250738585072e-308,
                                  std::nextafter(DBL_MAX, 0.0),
                                  1.7976931348623150e308,
                                  9.99999999999999e307,
                                  0.00001,
                                  9.999999999999999e-6,
                                  999999999999999.5,
                                  1e15,
                                  -87 + 87.00005,
                                  0.0,
                                  -0.0};
    std::mt19937_64 rng(20261210);
    for (int k = 0; k < 200000; ++k) {
        const double v = std::bit_cast<double>(rng());
        if (std::isfinite(v)) {
            values.push_back(v);
        }
    }
    for (const double v : values) {
        for (const char sep : {'.', ','}) {
            const std::string text = FormatGeneral(v, sep);
            double back = 0;
            ASSERT_NO_THROW(back = StrToFloat(text, sep)) << text;
            ASSERT_LE(std::fabs(back - v), 6e-15 * std::fabs(v)) << text;
        }
    }
}

// A message quotes at most 100 characters of the offending text, never half a UTF-8
// character, and marks the cut with "…".
TEST(Convert, MessagesQuoteTheFirstHundredCharacters) {
    const std::string a100(100, 'a');
    std::string kana150;
    for (int k = 0; k < 150; ++k) {
        kana150 += "あ";
    }
    struct Case {
        std::string text;
        std::string quoted;
    };
    const Case cases[] = {
        {"COM3", "COM3"},
        {a100, a100},
        {a100 + "b", a100 + "…"},
        {std::string(1 << 20, '7'), std::string(100, '7') + "…"},
        {kana150, kana150.substr(0, 300) + "…"},
        {std::string(99, 'a') + "あい", std::string(99, 'a') + "あ…"},
        // Bytes that form no character count one each.
        {std::string(200, '\x80'), std::string(100, '\x80') + "…"},
        {std::string(99, 'a') + "\xE3\x81" + "bc", std::string(99, 'a') + "\xE3\x81…"},
        // A NUL would end the message where it is read as a C string: its symbol stands in.
        {std::string("1\0"
                     "2",
                     3),
         "1\u2400"
         "2"},
        {std::string(99, 'a') + std::string("\0\0", 2), std::string(99, 'a') + "\u2400…"},
    };
    for (const auto& c : cases) {
        try {
            StrToInt(c.text);
            ADD_FAILURE() << "converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + c.quoted + "' は整数ではありません");
        }
        try {
            StrToFloat(c.text, '.');
            ADD_FAILURE() << "converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + c.quoted + "' は浮動小数点数ではありません");
        }
        EXPECT_EQ(NotAnIntegerInRangeText(c.text, 1, 64),
                  "'" + c.quoted + "' は 1 から 64 までの整数ではありません");
    }
}

// What the user reads below the message: the text quoted, what was expected of it, and for
// a number the separator the locale asks for.
TEST(Convert, ErrorsSayInEnglishWhatWasExpected) {
    struct Case {
        const char* text;
        bool integer;
        char sep;
        const char* detail;
    };
    const Case cases[] = {
        {"12a", true, '.', "'12a' is not a whole number"},
        {"1.5", false, ',', "'1.5' is not a number (the decimal separator is ',')"},
        {"x", false, '.', "'x' is not a number (the decimal separator is '.')"},
    };
    for (const Case& c : cases) {
        try {
            if (c.integer) {
                StrToInt(c.text);
            } else {
                StrToFloat(c.text, c.sep);
            }
            ADD_FAILURE() << c.text << " converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Detail, c.detail);
        }
    }
}
