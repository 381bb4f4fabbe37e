// Calibration files: what is written reads back identically in any locale; foreign,
// corrupt and truncated files are refused whole with a message naming the line.
#include "CalFile.h"

#include "Errors.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace myrl {
namespace {

CalRecord Sample() {
    CalRecord r;
    r.StartFreq = 10.2e6;
    r.StopFreq = 11.2e6;
    r.Frex = true;
    r.SweepTimeIdx = 3;
    r.LevelOffset = -1.25;
    r.AvrNum = 16;
    r.Taken = "2026-12-10 14:35:54 UTC";
    r.Note = "band-pass 10.7 MHz\\after tuning\nsecond line, 測定";
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        r.CalFreq[i] = 10.2e6 + 1e6 * static_cast<double>(i) / 256 + 0.1 / 3;
        r.CalLevel[i] = -87.0 + 100.0 / 256 * static_cast<double>(i % 200) + 1e-13;
    }
    return r;
}

// Replaces the first occurrence of `from` in the sample's text by `to`.
std::string Edited(const std::string& from, const std::string& to) {
    std::string t = FormatCalFile(Sample());
    const size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
}

TEST(CalFile, WrittenThenReadIsTheSameRecordBitForBit) {
    const CalRecord r = Sample();
    const std::string text = FormatCalFile(r);
    EXPECT_EQ(text.substr(0, text.find('\n')), "MYRL calibration 1");
    EXPECT_EQ(ParseCalFile(text), r);
    // CR LF line ends and comments read alike.
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(ParseCalFile(crlf), r);
    EXPECT_EQ(ParseCalFile(Edited("start_hz", "# a comment\n\n# another\nstart_hz")).StartFreq,
              10.2e6);
}

TEST(CalFile, NumbersIgnoreTheLocale) {
    const std::string before = FormatCalFile(Sample());
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    }
    const std::string during = FormatCalFile(Sample());
    const CalRecord read = ParseCalFile(before);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(during, before);
    EXPECT_EQ(read, Sample());
    EXPECT_NE(before.find("level_offset_db -1.25\n"), std::string::npos);
}

TEST(CalFile, ForeignCorruptAndTruncatedFilesAreRefused) {
    const std::string good = FormatCalFile(Sample());
    struct Case {
        const char* name;
        std::string text;
        const char* says; // part of the message
    };
    const std::vector<Case> cases = {
        {"empty", "", "not a MYRL calibration file"},
        {"export file", "Frequency,Level\n1,2\n", "not a MYRL calibration file"},
        {"parameter file", "1\n3.2E+07\n", "not a MYRL calibration file"},
        {"later version", Edited("MYRL calibration 1", "MYRL calibration 2"), "version \"2\""},
        {"comment before magic", "# x\n" + good, "not a MYRL calibration file"},
        {"decimal comma", Edited("level_offset_db -1.25", "level_offset_db -1,25"),
         "level_offset_db is not a number"},
        {"not finite", Edited("start_hz 10200000", "start_hz inf"), "start_hz is not a number"},
        {"nan level", Edited("\n0 ", "\n0 nan "), "the frequency is not a number"},
        {"keys swapped", Edited("start_hz", "stop_hz"), "\"start_hz\" expected"},
        {"averaging 0", Edited("averaging 16", "averaging 0"), "from 1 to 64"},
        {"averaging 65", Edited("averaging 16", "averaging 65"), "from 1 to 64"},
        {"flag 2", Edited("frex 1", "frex 2"), "from 0 to 1"},
        {"sweep time", Edited("sweep_time 3", "sweep_time 17"), "0 to 16"},
        {"too few points", Edited("points 257", "points 256"), "from 257 to 257"},
        {"index out of order", Edited("\n5 ", "\n6 "), "index"},
        {"entry cut short", Edited("\n7 ", "\n7 123\n"), "an entry"},
        {"truncated", good.substr(0, good.size() / 2), ""},
        {"no end", good.substr(0, good.rfind("end")), "ends early"},
        {"after end", good + "more\n", "text after \"end\""},
        {"bad escape", Edited("note band", "note \\x band"), "unknown escape"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ParseCalFile(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ECalFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(CalFile, ANonFiniteValueIsNotWritten) {
    CalRecord r = Sample();
    r.CalLevel[100] = NAN;
    EXPECT_THROW(FormatCalFile(r), ECalFileError);
}

TEST(CalFile, RealFilesRoundTripAndAnUnreadableOneIsAnIoError) {
    TempDir dir;
    const std::string path = (dir.Path() / "a.myrlcal").string();
    WriteCalFile(path, Sample());
    EXPECT_EQ(ReadCalFile(path), Sample());
    EXPECT_THROW(ReadCalFile((dir.Path() / "missing.myrlcal").string()), EInOutError);
    {
        std::ofstream big(path, std::ios::binary);
        big << std::string(2 << 20, 'x');
    }
    EXPECT_THROW(ReadCalFile(path), ECalFileError);
}

TEST(CalFile, RecordFromTheStateAndItsCoverage) {
    auto s = std::make_unique<MeasState>();
    s->StartFreq = 1e6;
    s->StopFreq = 11e6;
    s->SweepTimeIdx = 2;
    s->LevelOffset = 0.5;
    s->AvrNum = 4;
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        s->CalFreq[i] = 1e6 + 10e6 * static_cast<double>(i) / kSweepStepCount; // a 1-11 MHz plan
        s->CalLevel[i] = -static_cast<double>(i);
    }
    const CalRecord r = CalRecordFrom(*s, true, "t", "n");
    EXPECT_EQ(r.CalFreq, s->CalFreq);
    EXPECT_EQ(r.CalLevel, s->CalLevel);
    EXPECT_TRUE(r.Frex);
    EXPECT_EQ(r.AvrNum, 4);
    EXPECT_EQ(CoverageOf(r).Lo, 1e6);
    EXPECT_EQ(CoverageOf(r).Hi, 11e6); // entry 250, the plan's STOP (255 lies 5 steps above)
    struct Case {
        double lo, hi;
        const char* warning;
    };
    for (const Case& c :
         {Case{1e6, 11e6, ""}, Case{2e6, 3e6, ""}, Case{11e6, 1e6, ""},
          Case{0, 20e6,
               "the calibration covers 1 MHz–11 MHz, the plan 0 Hz–20 MHz: outside it NORM "
               "uses the edge levels"},
          Case{5e6, 11.5e6,
               "the calibration covers 1 MHz–11 MHz, the plan 5 MHz–11.5 MHz: outside it NORM "
               "uses the edge levels"}}) {
        EXPECT_EQ(CoverageWarning(r, c.lo, c.hi), c.warning);
    }
    EXPECT_EQ(CoverageText(r), "1 MHz–11 MHz");
}

TEST(CalFile, ZeroSpanCalibrationIsNamedSoNotByItsAxis) {
    // Taken in zero span, then the plan went back to a span: the record is the sweep's.
    auto s = std::make_unique<MeasState>();
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        s->CalFreq[i] = static_cast<double>(i) * 100 / 250 - 1;
    }
    s->AvrNum = 1;
    s->CalZeroSpan = true;
    s->ZeroSpan = false;
    const CalRecord r = CalRecordFrom(*s, false, "t", "");
    EXPECT_TRUE(r.ZeroSpan);
    EXPECT_TRUE(ParseCalFile(FormatCalFile(r)).ZeroSpan);
    EXPECT_EQ(CoverageText(r), "a zero-span sweep");
    for (const auto& [lo, hi] : {std::pair{1e6, 11e6}, std::pair{10.0, 50.0}}) {
        EXPECT_EQ(CoverageWarning(r, lo, hi), "the calibration is a zero-span sweep, the plan " +
                                                  ShortHz(lo) + "–" + ShortHz(hi) +
                                                  ": NORM uses its edge levels");
    }
    s->CalZeroSpan = false;
    s->ZeroSpan = true;
    EXPECT_FALSE(CalRecordFrom(*s, false, "t", "").ZeroSpan);
}

TEST(ShortHz, ShortestUnitSixDigits) {
    struct Case {
        double hz;
        const char* text;
    };
    for (const Case& c :
         {Case{10.7e6, "10.7 MHz"}, Case{455e3, "455 kHz"}, Case{50, "50 Hz"}, Case{0, "0 Hz"},
          Case{123456789, "123.457 MHz"}, Case{999.5, "999.5 Hz"}}) {
        EXPECT_EQ(ShortHz(c.hz), c.text);
    }
}

} // namespace
} // namespace myrl
