#include "Convert.h"
#include "Errors.h"

#include <gtest/gtest.h>

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
