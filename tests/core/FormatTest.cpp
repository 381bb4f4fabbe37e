#include "Format.h"
#include "Convert.h"
#include "Errors.h"
#include "Export.h"
#include "ParamFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <string>

using namespace myrl;

TEST(Format, Hex) {
    EXPECT_EQ(FormatHex(0, 8), "00000000");
    EXPECT_EQ(FormatHex(80000, 8), "00013880");
    EXPECT_EQ(FormatHex(10650000, 8), "00A28190");
    EXPECT_EQ(FormatHex(-1, 8), "FFFFFFFF");
    EXPECT_EQ(FormatHex(3, 2), "03");
    EXPECT_EQ(FormatHex(188, 2), "BC");
}

TEST(Format, FixedRoundsHalvesAwayFromZero) {
    struct Case {
        double v;
        int width, decimals;
        const char* expected;
    };
    const Case cases[] = {
        {0.25, 6, 1, "   0.3"},   {-0.25, 6, 1, "  -0.3"},  {0.3, 6, 1, "   0.3"},
        {99.9, 6, 1, "  99.9"},   {-99.9, 6, 1, " -99.9"},  {0.0, 6, 1, "   0.0"},
        {-0.04, 6, 1, "   0.0"},  {1.2345, 1, 3, "1.235"},  {1.2225, 1, 3, "1.223"},
        {9.9995, 1, 3, "10.000"}, {1.23449, 1, 3, "1.234"}, {-2.5, 2, 1, "-2.5"},
        {2.05, 2, 1, "2.1"},      {0.15, 2, 1, "0.2"},      {1234.5, 2, 0, "1235"},
        {1e-20, 6, 1, "   0.0"},  {0.05, 2, 1, "0.1"},      {0.95, 2, 1, "1.0"},
        {199.0, 1, 3, "199.000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.v, c.width, c.decimals), c.expected) << c.v;
    }
    EXPECT_EQ(FormatFixed(-2.5, 2, 1, ','), "-2,5");
}

TEST(Format, GroupedByThrees) {
    struct Case {
        double v;
        int width;
        char sep;
        const char* expected;
    };
    const Case cases[] = {{10670089.0, 9, ',', "10,670,089"},
                          {999999.0, 9, ',', "  999,999"},
                          {0.0, 9, ',', "        0"},
                          {10700000.0, 9, '.', "10.700.000"},
                          {2.5, 3, ',', "  3"},
                          {-1234.5, 9, ',', "   -1,235"},
                          {100.0, 3, ',', "100"},
                          {1234.0, 9, '\0', "     1234"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGrouped(c.v, c.width, c.sep), c.expected) << c.v;
    }
}

TEST(Format, GeneralFifteenDigits) {
    struct Case {
        double v;
        const char* expected;
    };
    const Case cases[] = {{67108864.0, "67108864"},
                          {-23.48123456789012, "-23.4812345678901"},
                          {1.5e-6, "1.5E-6"},
                          {0.0, "0"},
                          {12800000.0, "12800000"},
                          {0.1, "0.1"},
                          {0.0001, "0.0001"},
                          // Fixed from 0.00001 up, decided on the rounded digits.
                          {0.00001, "0.00001"},
                          {-0.00005, "-0.00005"},
                          {0.0000999, "0.0000999"},
                          {-87 + 87.00005, "0.0000500000000016598"},
                          {9.999999999999999e-6, "0.00001"},
                          {9.99e-6, "9.99E-6"},
                          {-1e-5 / 3, "-3.33333333333333E-6"},
                          {999999999999999.0, "999999999999999"},
                          {1.7976931348623157e308, "1.79769313486232E308"},
                          {4.9406564584124654e-324, "4.94065645841247E-324"},
                          {123456789012345.0, "123456789012345"},
                          {1e15, "1E15"},
                          {1e20, "1E20"},
                          {-1.25, "-1.25"},
                          {199.0, "199"},
                          {1.0 / 3.0, "0.333333333333333"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGeneral(c.v), c.expected) << c.v;
    }
    EXPECT_EQ(FormatGeneral(-1.25, ','), "-1,25");
}

TEST(Format, Exponent) {
    EXPECT_EQ(FormatExponent(1.2345e-6, 4, 1), "1.235E-6");
    EXPECT_EQ(FormatExponent(6.25e-2, 4, 1), "6.250E-2");
    EXPECT_EQ(FormatExponent(9.9996e-5, 4, 1), "1.000E-4");
    EXPECT_EQ(FormatExponent(0.0, 4, 1), "0.000E+0");
}

// The program runs in the user's locale (the window system adopts it from the
// environment), but the number forms take their separator from the caller alone: run
// under a decimal-comma locale, nothing here may change.
TEST(NumberForms, IgnoreTheProcessLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "");
    const std::string processDecimal = std::localeconv()->decimal_point;
    RecordProperty("process_decimal_point", processDecimal);

    EXPECT_EQ(FormatGeneral(-23.4812345678901), "-23.4812345678901");
    EXPECT_EQ(FormatGeneral(0.00005, ','), "0,00005");
    EXPECT_EQ(FormatGeneral(1.5e-6), "1.5E-6");
    EXPECT_EQ(FormatFixed(-12.25, 6, 1), " -12.3");
    EXPECT_EQ(FormatExponent(1.2345e-6, 4, 1), "1.235E-6");
    EXPECT_EQ(StrToFloat("0.5", '.'), 0.5);
    EXPECT_EQ(StrToFloat("0,5", ','), 0.5);
    EXPECT_THROW(StrToFloat("0,5", '.'), EConvertError);
    EXPECT_EQ(StrToFloat("1.79769313486232E308", '.'), DBL_MAX);

    MeasState s;
    s.SweepSteps = 0;
    s.FreqAxis[0] = 10650000;
    s.DispTrace[0] = -0.5;
    EXPECT_EQ(ExportBytes(s, '.'), "10650000,-0.5\r\n");
    EXPECT_EQ(ExportBytes(s, ','), "10650000,-0.5\r\n");

    StoredParams p;
    p.LevelOffset = 0.5;
    const std::string file = FormatParamFile(p, ',');
    EXPECT_EQ(file.substr(0, file.find("\r\n0\r\n")), "1\r\n67108864\r\n12800000\r\n0,5");

    std::setlocale(LC_ALL, saved.c_str());
}
