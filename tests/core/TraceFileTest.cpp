// The files a user takes away: the names offered, the CSV with its header, the Touchstone
// file, the reader that loads a trace back, and the fixed export's bytes as they stay.
#include "TraceFile.h"

#include "Errors.h"
#include "Export.h"
#include "Plans.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace myrl;

namespace {

std::tm At(int y, int mo, int d, int h, int mi, int s = 0) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// A NORM measurement over 10.65 .. 10.75 MHz whose values need all 17 digits to read back.
class TraceFileTest : public ::testing::Test {
protected:
    TraceFileTest() {
        SetPlan(s);
        s.RefLevel = -12.3;
        s.AvrCount = 3;
        for (size_t k = 0; k < kArrayLen; ++k) {
            const double x = static_cast<double>(k);
            s.RawLevel[k] = -20.0 - x / 3.0;
            s.CalLevel[k] = -1.0 - x / 7.0;
            s.CalFreq[k] = s.FreqAxis[k];
            s.NormLevel[k] = s.RawLevel[k] - s.CalLevel[k] + 0.1 * std::sin(x);
            s.SwrTrace[k] = 1.0 + std::exp(-x / 11.0);
        }
        s.NormLevel[7] = 0.1 + 0.2; // 0.30000000000000004
        s.RawLevel[8] = 1e-300;
        s.SwrTrace[9] = 123456789012345678.0;
        info.Program = "MYRL 1.43";
        info.Written = At(2026, 12, 10, 14, 32, 5);
        info.Plan = PlanDefinition::CentreSpan;
        info.SweepTime = "<0.5";
        info.Mode = "NORM";
        info.Averaging = "4";
    }
    // The state `s`, with its calibration tables or, as every run starts, both empty.
    MeasState WithCalibration(bool taken) const {
        MeasState t = s;
        if (!taken) {
            t.CalFreq.fill(0);
            t.CalLevel.fill(0);
        }
        return t;
    }
    MeasState s;
    TraceFileInfo info;
};

} // namespace

TEST(TraceFileNames, FrequencyInItsNaturalUnit) {
    const struct {
        double hz;
        const char* text;
    } cases[] = {
        {10700000, "10.7MHz"},
        {100000, "100kHz"},
        {1234567, "1.234567MHz"},
        {999, "999Hz"},
        {0, "0Hz"},
        {1000, "1kHz"},
        {2450000000.0, "2.45GHz"},
        {10650000.4, "10.65MHz"},
        {999999.6, "1MHz"},
        {1500.5, "1.5kHz"},
        {1501.5, "1.502kHz"},
        {-50000, "-50kHz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FreqInUnit(c.hz), c.text) << c.hz;
    }
}

TEST(TraceFileNames, OfferedNameFollowsThePlanDefinitionAndTheMinute) {
    const std::tm when = At(2026, 12, 10, 14, 32, 59);
    const struct {
        PlanDefinition def;
        double start, stop;
        const char* ext;
        const char* name;
    } cases[] = {
        {PlanDefinition::CentreSpan, 10650000, 10750000, ".png",
         "myrl-10.7MHz-100kHz-20261210-1432.png"},
        {PlanDefinition::StartStop, 10650000, 10750000, ".csv",
         "myrl-10.65MHz-10.75MHz-20261210-1432.csv"},
        {PlanDefinition::StartStop, 0, 20000000, ".png", "myrl-0Hz-20MHz-20261210-1432.png"},
        {PlanDefinition::ZeroSpan, 10700000, 10700000, ".png", "myrl-10.7MHz-20261210-1432.png"},
        {PlanDefinition::CentreSpan, 100000000, 200000000, ".s1p",
         "myrl-150MHz-100MHz-20261210-1432.s1p"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OfferedFileName(c.def, c.start, c.stop, when, c.ext), c.name);
    }
    EXPECT_EQ(OfferedFileName(PlanDefinition::StartStop, 1000, 2000, At(2027, 1, 2, 3, 4), ".png"),
              "myrl-1kHz-2kHz-20270102-0304.png")
        << "month, day, hour and minute keep two digits";
}

TEST_F(TraceFileTest, CsvHasCommentedHeaderNamedColumnsAndOneRowPerPointOfTheSpan) {
    const auto lines = Lines(TraceCsvBytes(s, info));
    size_t comments = 0;
    while (comments < lines.size() && lines[comments].rfind("# ", 0) == 0) {
        ++comments;
    }
    ASSERT_GE(comments, 9u);
    const std::vector<std::string> expectedStarts = {
        "# MYRL 1.43",
        "# written: 2026-12-10 14:32:05",
        "# plan: CENTER/SPAN, center 10.7MHz, span 100kHz (start 10650000 Hz, stop 10750000 Hz)",
        "# FREX: off",
        "# sweep time: <0.5",
        "# mode: NORM",
        "# reference level: -12.3 dB",
        "# averaging: 4 (3 sweeps in the average now)",
        "# calibration: the last CAL sweep, 10650000 Hz to 10750000 Hz, subtracted",
    };
    for (size_t i = 0; i < expectedStarts.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, expectedStarts[i].size()), expectedStarts[i]) << i;
    }
    ASSERT_EQ(lines.size(), comments + 1 + 251);
    EXPECT_EQ(lines[comments], "frequency_hz,level_db,swr,raw_level_db,norm_level_db");
    EXPECT_EQ(lines[comments + 1], "10650000,-6.699999999999999,2,-20,-19") << "point 0";
    EXPECT_EQ(lines.back().substr(0, 9), "10750000,") << "point 250 is the last row";
}

TEST_F(TraceFileTest, CsvNumbersReadBackExactlyAndIgnoreTheProcessLocale) {
    const std::string bytes = TraceCsvBytes(s, info);
    // The same bytes with a comma-decimal locale in force (where it is installed).
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(TraceCsvBytes(s, info), bytes);
        std::setlocale(LC_ALL, "C");
    }
    const TraceRead r = ParseTraceCsv(bytes, "x.csv");
    ASSERT_EQ(r.FrequencyHz.size(), 251u);
    ASSERT_EQ(r.Levels.size(), 4u);
    const char* names[] = {"level_db", "swr", "raw_level_db", "norm_level_db"};
    for (size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(r.Levels[c].Name, names[c]);
        ASSERT_EQ(r.Levels[c].Values.size(), 251u);
    }
    for (size_t k = 0; k <= 250; ++k) {
        EXPECT_EQ(r.FrequencyHz[k], s.FreqAxis[k]) << k;
        EXPECT_EQ(r.Levels[0].Values[k], s.NormLevel[k] - s.RefLevel) << k;
        EXPECT_EQ(r.Levels[1].Values[k], s.SwrTrace[k]) << k;
        EXPECT_EQ(r.Levels[2].Values[k], s.RawLevel[k]) << k;
        EXPECT_EQ(r.Levels[3].Values[k], s.NormLevel[k]) << k;
    }
}

TEST_F(TraceFileTest, CsvHeaderSaysWhichCalibrationIsInUse) {
    struct Case {
        const char* mode;
        bool calTaken;
        const char* says;
        bool calZeroSpan = false;
        const char* file = ""; // the calibration file in use, as the instrument names it
    } cases[] = {
        {"NORM", true, "# calibration: the last CAL sweep, 10650000 Hz to 10750000 Hz, subtracted"},
        {"NORM", true, "# calibration: the last CAL sweep, in zero span, subtracted", true},
        {"NORM", false, "# calibration: no CAL sweep taken in this run, subtracted"},
        {"CAL", true, "# calibration: this sweep is taken as the calibration"},
        {"THRU", true, "# calibration: none applied (THRU); the last CAL sweep"},
        {"THRU", false, "# calibration: none applied (THRU); no CAL sweep taken"},
        // A loaded (or saved) calibration file is named, with its note and time.
        {"NORM", true,
         "# calibration: the calibration file /bench/bp.myrlcal (through, 2 m cable), taken "
         "2026-12-10 14:00:00 UTC, 10650000 Hz to 10750000 Hz, subtracted",
         false, "/bench/bp.myrlcal (through, 2 m cable), taken 2026-12-10 14:00:00 UTC"},
        {"NORM", true,
         "# calibration: the calibration file /bench/z.myrlcal, taken 2026-12-10 14:00:00 UTC, "
         "in zero span, subtracted",
         true, "/bench/z.myrlcal, taken 2026-12-10 14:00:00 UTC"},
        {"THRU", true,
         "# calibration: none applied (THRU); the calibration file /bench/z.myrlcal, taken", false,
         "/bench/z.myrlcal, taken 2026-12-10 14:00:00 UTC"},
    };
    for (const Case& c : cases) {
        MeasState t = WithCalibration(c.calTaken);
        t.CalZeroSpan = c.calZeroSpan;
        info.Mode = c.mode;
        info.Calibration = c.file;
        const std::string bytes = TraceCsvBytes(t, info);
        EXPECT_NE(bytes.find(c.says), std::string::npos) << c.mode << " " << c.calTaken;
    }
}

// One sweep is one sweep.
TEST_F(TraceFileTest, CsvCountsTheSweepsInTheAverage) {
    for (const auto& [count, says] :
         {std::pair{1, "# averaging: 4 (1 sweep in the average now)"},
          std::pair{2, "# averaging: 4 (2 sweeps in the average now)"}}) {
        s.AvrCount = count;
        EXPECT_NE(TraceCsvBytes(s, info).find(says), std::string::npos) << count;
    }
}

// A Touchstone file says what its level is relative to, and never claims a calibration
// that was neither taken nor loaded.
TEST_F(TraceFileTest, TouchstoneSaysWhatTheLevelIsRelativeTo) {
    const struct {
        const char* mode;
        bool calTaken;
        const char* file;
        const char* says;
    } cases[] = {
        {"NORM", true, "",
         "! S21 (transmission) magnitude in dB: the NORM level, relative to the CAL sweep of "
         "this run\n"},
        {"NORM", true, "/bench/bp.myrlcal, taken 2026-12-10 14:00:00 UTC",
         "! S21 (transmission) magnitude in dB: the NORM level, relative to the calibration file "
         "/bench/bp.myrlcal, taken 2026-12-10 14:00:00 UTC\n"},
        {"NORM", false, "",
         "! S21 (transmission) magnitude in dB: the NORM level with no calibration taken or "
         "loaded: the level as the unit measured it, nothing subtracted\n"},
        {"THRU", true, "",
         "! S21 (transmission) magnitude in dB: the THRU level as the unit measured it, no "
         "calibration subtracted\n"},
    };
    for (const auto& c : cases) {
        info.Mode = c.mode;
        info.Calibration = c.file;
        const std::string bytes =
            TouchstoneBytes(WithCalibration(c.calTaken), info, TouchstoneParam::S21);
        EXPECT_NE(bytes.find(c.says), std::string::npos) << c.mode << " " << c.calTaken << "\n"
                                                         << bytes.substr(0, 300);
        if (!c.calTaken) {
            EXPECT_EQ(bytes.find("relative to"), std::string::npos);
        }
    }
}

TEST_F(TraceFileTest, CsvPlanLineForEachDefinitionAndFrex) {
    info.Frex = true;
    info.Plan = PlanDefinition::StartStop;
    std::string bytes = TraceCsvBytes(s, info);
    EXPECT_NE(bytes.find("# plan: START/STOP, start 10.65MHz, stop 10.75MHz"), std::string::npos);
    EXPECT_NE(bytes.find("# FREX: on\n"), std::string::npos);
    info.Plan = PlanDefinition::ZeroSpan;
    bytes = TraceCsvBytes(s, info);
    EXPECT_NE(bytes.find("# plan: ZERO SPAN, frequency 10.65MHz\n"), std::string::npos);
}

TEST_F(TraceFileTest, TouchstoneHoldsTheNormLevelInDbWithAngleZero) {
    for (TouchstoneParam param : {TouchstoneParam::S21, TouchstoneParam::S11}) {
        const auto lines = Lines(TouchstoneBytes(s, info, param));
        size_t i = 0;
        std::string comments;
        while (i < lines.size() && lines[i].rfind("!", 0) == 0) {
            comments += lines[i++] + "\n";
        }
        EXPECT_NE(comments.find(param == TouchstoneParam::S21
                                    ? "! S21 (transmission) magnitude in dB"
                                    : "! S11 (reflection) magnitude in dB"),
                  std::string::npos);
        EXPECT_NE(comments.find("! The angle was not measured: the angle column is 0.\n"),
                  std::string::npos);
        ASSERT_LT(i, lines.size());
        EXPECT_EQ(lines[i], "# Hz S DB R 50");
        ASSERT_EQ(lines.size(), i + 1 + 251);
        for (size_t k = 0; k <= 250; ++k) {
            std::istringstream row(lines[i + 1 + k]);
            row.imbue(std::locale::classic());
            double f = 0, db = 0, angle = -1;
            std::string rest;
            ASSERT_TRUE(row >> f >> db >> angle) << lines[i + 1 + k];
            EXPECT_FALSE(row >> rest);
            EXPECT_EQ(f, s.FreqAxis[k]);
            EXPECT_EQ(db, s.NormLevel[k]);
            EXPECT_EQ(angle, 0);
        }
    }
}

TEST_F(TraceFileTest, TouchstoneOnlyForTheNormLevelOverASpan) {
    struct Case {
        const char* what;
        const char* mode;
        bool swr;
        std::function<void(MeasState&)> change;
        bool applies;
    } cases[] = {
        {"NORM, level", "NORM", false, [](MeasState&) {}, true},
        {"THRU", "THRU", false, [](MeasState&) {}, false},
        {"CAL", "CAL", false, [](MeasState&) {}, false},
        {"SWR presentation", "NORM", true, [](MeasState&) {}, false},
        {"zero span", "NORM", false, [](MeasState& t) { t.ZeroSpan = true; }, false},
        {"a stalled plan repeats frequencies", "NORM", false,
         [](MeasState& t) { t.FreqAxis[100] = t.FreqAxis[99]; }, false},
    };
    for (const Case& c : cases) {
        MeasState t = s;
        c.change(t);
        EXPECT_EQ(TouchstoneApplies(t, c.mode, c.swr), c.applies) << c.what;
    }
}

TEST_F(TraceFileTest, ReaderTakesItsOwnCsvAndTheFixedExportFromDisk) {
    TempDir dir("myrl-tracefile");
    const std::string own = (dir.Path() / "own.csv").string();
    const std::string fixed = (dir.Path() / kExportFileName).string();
    { std::ofstream(own, std::ios::binary) << TraceCsvBytes(s, info); }
    s.DispTrace = s.NormLevel;
    ASSERT_TRUE(ExportData(s, fixed, ','));

    const TraceRead a = ReadTraceCsv(own);
    EXPECT_EQ(a.FrequencyHz.size(), 251u);
    EXPECT_EQ(a.Levels.size(), 4u);

    const TraceRead b = ReadTraceCsv(fixed);
    ASSERT_EQ(b.Levels.size(), 1u);
    EXPECT_EQ(b.Levels[0].Name, "value");
    ASSERT_EQ(b.FrequencyHz.size(), 251u);
    for (size_t k = 0; k <= 250; ++k) {
        EXPECT_EQ(b.FrequencyHz[k], std::nearbyint(s.FreqAxis[k]));
        // The fixed export keeps 15 significant digits.
        EXPECT_NEAR(b.Levels[0].Values[k], s.NormLevel[k], 1e-13 * std::fabs(s.NormLevel[k]));
    }

    EXPECT_THROW(ReadTraceCsv((dir.Path() / "missing.csv").string()), EInOutError);
}

// A text of the header (program, mode, sweep time) that holds a line end stays within its
// comment line: the file still reads back (found by the trace CSV fuzz target).
TEST_F(TraceFileTest, HeaderTextsWithLineEndsStayWithinTheirCommentLines) {
    info.Program = "MYRL\r1.43";
    info.Mode = "NO\nRM";
    info.SweepTime = "<0.5\r\n";
    info.Calibration = "cal.myrlcal (two\nlines), taken 2026-12-10";
    const std::string bytes = TraceCsvBytes(s, info);
    EXPECT_NE(bytes.find("# MYRL 1.43\n"), std::string::npos);
    EXPECT_NE(bytes.find("# mode: NO RM\n"), std::string::npos);
    EXPECT_EQ(ParseTraceCsv(bytes, "x.csv").FrequencyHz.size(), 251u);
    info.Mode = "NORM";
    for (const std::string& line : Lines(TouchstoneBytes(s, info, TouchstoneParam::S21))) {
        EXPECT_TRUE(line.starts_with("!") || line.starts_with("#") || std::isdigit(line[0]))
            << line;
    }
    EXPECT_EQ(TouchstoneBytes(s, info, TouchstoneParam::S21).rfind("! MYRL 1.43, written ", 0), 0u);
}

TEST(TraceFileReader, RefusesAForeignFileSayingWhereAndWhy) {
    const struct {
        const char* what;
        const char* bytes;
        const char* says;
    } cases[] = {
        {"empty", "", "x.csv: not a trace file of MYRL: it holds no points."},
        {"only comments and a header", "# a\nfrequency_hz,level_db\n", "it holds no points"},
        {"other header", "time,volts\n0,1\n", "x.csv, line 1: not a trace file of MYRL"},
        {"three bare numbers", "1,2,3\n", "line 1: not a trace file of MYRL"},
        {"text in a row", "# c\nfrequency_hz,level_db\n1,2\n3,abc\n",
         "line 4: not a trace file "
         "of MYRL: \"abc\" is not"},
        {"short row", "frequency_hz,level_db,swr\n1,2,3\n4,5\n",
         "line 3: not a trace file of "
         "MYRL: 2 fields where the file "
         "has 3 columns"},
        {"decimal commas", "10650000,-23,5\n", "line 1"},
        {"a header without levels", "frequency_hz\n1\n", "names no level column"},
        {"binary", "\x89PNG\r\n\x1a\n", "line 1: not a trace file of MYRL"},
    };
    for (const auto& c : cases) {
        try {
            ParseTraceCsv(c.bytes, "x.csv");
            ADD_FAILURE() << c.what << ": read";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(TraceFileReader, CrLfLinesBlankLinesAndSpacesAroundNumbersAreRead) {
    const TraceRead r =
        ParseTraceCsv("# MYRL\r\nfrequency_hz,level_db\r\n\r\n1e6, -3.5\r\n2e6,nan\r\n", "x.csv");
    ASSERT_EQ(r.FrequencyHz, (std::vector<double>{1e6, 2e6}));
    ASSERT_EQ(r.Levels.size(), 1u);
    EXPECT_EQ(r.Levels[0].Values[0], -3.5);
    EXPECT_TRUE(std::isnan(r.Levels[0].Values[1]));
}

TEST(TraceFileStatus, SavedLineNamesThePathAndTheTime) {
    EXPECT_EQ(SavedLine("/home/u/myrl_data.csv", At(2026, 12, 10, 9, 5, 7)),
              "Saved /home/u/myrl_data.csv at 09:05:07");
}

// The fixed export's bytes as they have always been: frequencies rounded halves to even,
// values in the general 15-digit form, CR LF, a full stop where the decimal separator is
// the field separator.
TEST(FixedExportBytes, StayAsTheyWere) {
    MeasState s;
    s.SweepSteps = 5;
    const double f[] = {10650000.5, 10650001.5, 10650400.25, 2147483648.0, 99.5, 0};
    const double v[] = {-23.4812345678901234, 0, 1.5e-6, 0.00005, 123456789012345678.0, -0.1};
    for (size_t k = 0; k < 6; ++k) {
        s.FreqAxis[k] = f[k];
        s.DispTrace[k] = v[k];
    }
    s.FreqAxis[6] = 1; // beyond SweepSteps: not written
    const std::string expected = "10650000,-23.4812345678901\r\n"
                                 "10650002,0\r\n"
                                 "10650400,1.5E-6\r\n"
                                 "2147483648,0.00005\r\n"
                                 "100,1.23456789012346E17\r\n"
                                 "0,-0.1\r\n";
    EXPECT_EQ(ExportBytes(s, '.'), expected);
    EXPECT_EQ(ExportBytes(s, ','), expected);
}
