#include "Export.h"
#include "Errors.h"
#include "FreqPlan.h"
#include "Plans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

class ExportTest : public ::testing::Test {
protected:
    ExportTest() {
        dir = fs::temp_directory_path() /
              ("myrl-export-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = (dir / kExportFileName).string();

        // A 100 kHz span from 10.65 MHz in 250 steps of 400 Hz.
        SetPlan(s);
        for (size_t k = 0; k < kArrayLen; ++k) {
            s.DispTrace[k] = -40 + 0.125 * static_cast<double>(k);
        }
    }
    ~ExportTest() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    size_t entries() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator{}));
    }
    fs::path dir;
    std::string file;
    MeasState s;
};

} // namespace

TEST_F(ExportTest, WritesOneCrLfLinePerPointOfTheSpan) {
    s.DispTrace[0] = -23.4812345678901;
    s.DispTrace[1] = 0;
    s.DispTrace[2] = 1.5e-6;
    s.DispTrace[250] = 1.25;
    s.DispTrace[251] = 99; // beyond the span: not written
    ASSERT_TRUE(ExportData(s, file));
    const std::string bytes = slurp(file);

    std::string expected;
    for (int i = 0; i <= 250; ++i) {
        std::string value;
        switch (i) {
        case 0:
            value = "-23.4812345678901";
            break;
        case 1:
            value = "0";
            break;
        case 2:
            value = "1.5E-6";
            break;
        case 250:
            value = "1.25";
            break;
        default:
            value = std::to_string(-40 + 0.125 * i);
            value.erase(value.find_last_not_of('0') + 1);
            if (value.back() == '.') {
                value.pop_back();
            }
        }
        expected += std::to_string(10650000 + 400 * i) + "," + value + "\r\n";
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.substr(0, 28), "10650000,-23.4812345678901\r\n");
    EXPECT_EQ(entries(), 1u);
}

// The values take the locale's decimal separator, except a comma, which separates the
// fields: every line keeps two fields.
TEST_F(ExportTest, ValuesUseTheGivenDecimalSeparatorUnlessItIsTheComma) {
    struct Case {
        char sep;
        const char* line;
    };
    const Case cases[] = {{'.', "10650000,-23.4812345678901\r\n"},
                          {',', "10650000,-23.4812345678901\r\n"},
                          {'\'', "10650000,-23'4812345678901\r\n"}};
    s.DispTrace[0] = -23.4812345678901;
    for (const auto& c : cases) {
        const std::string bytes = ExportBytes(s, c.sep);
        EXPECT_EQ(bytes.substr(0, 28), c.line) << c.sep;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), ','), 251) << c.sep;
    }
}

// A level offset of 87.00005 dB puts the floor readings at 0.00005 dB and above: fixed
// notation on every line, with the 15 digits of the general form.
TEST_F(ExportTest, SmallLevelsAreWrittenInFixedNotation) {
    s.LevelOffset = 87.00005;
    for (size_t k = 0; k < kArrayLen; ++k) {
        const double reading = static_cast<double>(k % 7 == 0 ? 0 : k);
        s.DispTrace[k] = (100.0 / s.LevelScale) * reading - 87 + s.LevelOffset;
    }
    const std::string bytes = ExportBytes(s);
    EXPECT_EQ(bytes.find('E'), std::string::npos);
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n10650800,")),
              "10650000,0.0000500000000016598\r\n10650400,0.390675000000002");
}

TEST_F(ExportTest, FrequenciesRoundHalvesToEvenIn64Bits) {
    struct Case {
        double freq;
        const char* text;
    };
    const Case cases[] = {
        {10650000.5, "10650000"},
        {10650001.5, "10650002"},
        {10650001.49, "10650001"},
        {-2.5, "-2"},
        {-0.4, "0"},
        {3000000000.5, "3000000000"},
        {4294967296.7, "4294967297"},
        {2.5e11, "250000000000"},
    };
    for (const auto& c : cases) {
        s.FreqAxis[0] = c.freq;
        const std::string bytes = ExportBytes(s);
        EXPECT_EQ(bytes.substr(0, bytes.find(',')), c.text) << c.freq;
    }
}

TEST_F(ExportTest, ZeroSpanNeitherCreatesNorTouchesTheFile) {
    s.ZeroSpan = true;
    EXPECT_FALSE(ExportData(s, file));
    EXPECT_FALSE(fs::exists(file));

    std::ofstream(file, std::ios::binary) << "old\r\n";
    EXPECT_FALSE(ExportData(s, file));
    EXPECT_EQ(slurp(file), "old\r\n");
}

TEST_F(ExportTest, SecondExportReplacesTheFirst) {
    s.SweepSteps = 250;
    ASSERT_TRUE(ExportData(s, file));
    const std::string first = slurp(file);
    s.DispTrace.fill(1.0);
    s.FreqAxis.fill(5);
    ASSERT_TRUE(ExportData(s, file));
    std::string second;
    for (int i = 0; i <= 250; ++i) {
        second += "5,1\r\n";
    }
    EXPECT_EQ(slurp(file), second);
    EXPECT_NE(first.size(), second.size());
    EXPECT_EQ(entries(), 1u);
}

TEST_F(ExportTest, ReadOnlyFolderIsAccessDeniedAndKeepsTheOldFile) {
    ASSERT_TRUE(ExportData(s, file));
    const std::string old = slurp(file);
    s.DispTrace.fill(7);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    try {
        ExportData(s, file);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 5);
        EXPECT_STREQ(e.what(), "ファイルへのアクセスが拒否されました");
    }
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(slurp(file), old);
    EXPECT_EQ(entries(), 1u);
}
