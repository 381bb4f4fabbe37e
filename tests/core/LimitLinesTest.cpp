// Limit lines: the verdict of a trace against a mask (inside, touching, crossing between two
// points, outside the plan, SWR, zero span), the limits file written and read back, files
// refused with their line named, and the version-1 sample kept in tests/data.
#include "LimitLines.h"

#include "Errors.h"
#include "TempDir.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace myrl {
namespace {

LimitSegment Upper(double f1, double v1, double f2, double v2, bool on = true) {
    return {true, f1, v1, f2, v2, on};
}
LimitSegment Lower(double f1, double v1, double f2, double v2, bool on = true) {
    return {false, f1, v1, f2, v2, on};
}

// Eleven points 0, 1 kHz ... 10 kHz.
std::vector<double> Axis() {
    std::vector<double> f;
    for (int i = 0; i <= 10; ++i) {
        f.push_back(1000.0 * i);
    }
    return f;
}

// -10 dB everywhere but a peak of 0 dB at 5 kHz.
std::vector<double> Peaked() {
    std::vector<double> v(11, -10.0);
    v[5] = 0;
    return v;
}

// A straight rise: i dB at point i.
std::vector<double> Ramp() {
    std::vector<double> v;
    for (int i = 0; i <= 10; ++i) {
        v.push_back(i);
    }
    return v;
}

TEST(LimitVerdict, TableOfTracesAgainstMasks) {
    struct Case {
        const char* name;
        std::vector<double> freq, value;
        LimitSet set;
        VerdictKind kind;
        double worst;   // margin
        double worstHz; // where
        int failing;
        int tested;
    };
    const std::vector<double> f = Axis();
    const std::vector<double> flat(11, -10.0);
    const LimitView swr = LimitView::Swr;
    std::vector<double> swrTrace(11, 1.5);
    swrTrace[7] = 2.5;
    const std::vector<double> zeroAxis(11, 10.7e6);
    const Case cases[] = {
        {"inside", f, flat, {{}, {Upper(0, -5, 10000, -5)}}, VerdictKind::Pass, 5, 0, 0, 11},
        {"touching counts as inside",
         f,
         flat,
         {{}, {Upper(0, -10, 10000, -10)}},
         VerdictKind::Pass,
         0,
         0,
         0,
         11},
        {"a lower limit touching",
         f,
         Ramp(),
         {{}, {Lower(0, 0, 10000, 10)}},
         VerdictKind::Pass,
         0,
         0,
         0,
         11},
        {"a point above an upper limit",
         f,
         Peaked(),
         {{}, {Upper(0, -5, 10000, -5)}},
         VerdictKind::Fail,
         -5,
         5000,
         1,
         11},
        // No point lies between 4.5 and 4.9 kHz; the trace rises through the limit there.
        {"crossing between two points, caught at the segment's end",
         f,
         Peaked(),
         {{}, {Upper(4500, -5, 4900, -5)}},
         VerdictKind::Fail,
         -4,
         4900,
         1,
         2},
        {"a lower limit crossed between two points",
         f,
         Ramp(),
         {{}, {Lower(2500, 2.6, 2700, 2.6)}},
         VerdictKind::Fail,
         -0.1,
         2500,
         1,
         2},
        {"a sloped limit the straight trace meets at one end only",
         f,
         Ramp(),
         {{}, {Upper(2000, 3, 4000, 4)}},
         VerdictKind::Pass,
         0,
         4000,
         0,
         3},
        {"a segment outside the plan judges nothing",
         f,
         Peaked(),
         {{}, {Upper(20000, -50, 30000, -50)}},
         VerdictKind::NoPoints,
         0,
         0,
         0,
         0},
        {"beside one that covers the trace, it plays no part",
         f,
         flat,
         {{}, {Upper(20000, -50, 30000, -50), Lower(0, -12, 10000, -12)}},
         VerdictKind::Pass,
         2,
         0,
         0,
         11},
        {"a segment that is off is neither tested nor counted",
         f,
         Peaked(),
         {{}, {Upper(0, -5, 10000, -5, false)}},
         VerdictKind::NoPoints,
         0,
         0,
         0,
         0},
        {"no segments", f, flat, {}, VerdictKind::NoPoints, 0, 0, 0, 0},
        {"SWR limits",
         f,
         swrTrace,
         {swr, {Upper(0, 2.0, 10000, 2.0)}},
         VerdictKind::Fail,
         -0.5,
         7000,
         1,
         11},
        {"SWR within",
         f,
         std::vector<double>(11, 1.2),
         {swr, {Upper(0, 2.0, 10000, 2.0)}},
         VerdictKind::Pass,
         0.8,
         0,
         0,
         11},
        // In zero span every point is at the plan's one frequency.
        {"zero span, the segment covers the frequency",
         zeroAxis,
         Peaked(),
         {{}, {Upper(10.6e6, -5, 10.8e6, -5)}},
         VerdictKind::Fail,
         -5,
         10.7e6,
         1,
         11},
        {"zero span, the segment lies elsewhere",
         zeroAxis,
         Peaked(),
         {{}, {Upper(11e6, -5, 12e6, -5)}},
         VerdictKind::NoPoints,
         0,
         0,
         0,
         0},
        // A vertical step of a mask (F1 == F2) bounds with its more lenient value.
        {"a vertical step",
         f,
         flat,
         {{}, {Upper(5000, -20, 5000, -9)}},
         VerdictKind::Pass,
         1,
         5000,
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LimitVerdict v = JudgeLimits(c.set, c.freq, c.value);
        EXPECT_EQ(v.Kind, c.kind);
        EXPECT_EQ(v.View, c.set.View);
        EXPECT_EQ(v.Failing(), c.failing);
        EXPECT_EQ(v.Tested, c.tested);
        if (c.kind != VerdictKind::NoPoints) {
            EXPECT_NEAR(v.WorstMargin, c.worst, 1e-12);
            EXPECT_DOUBLE_EQ(v.WorstHz, c.worstHz);
        }
    }
}

TEST(LimitVerdict, FailuresAreEachPositionOnceInTheTracesOrder) {
    // Two overlapping segments both fail point 5; the ends of a third between points 5 and 6
    // fail as well, and the end shared with a fourth counts once (its other end passes).
    const LimitSet set{{},
                       {Upper(0, -5, 10000, -5), Upper(4000, -6, 6000, -6),
                        Upper(5200, -6, 5500, -6), Upper(5500, -6, 5900, -8.5)}};
    const LimitVerdict v = JudgeLimits(set, Axis(), Peaked());
    ASSERT_EQ(v.Failing(), 3);
    EXPECT_EQ(v.Failures[0], (LimitFailure{5000, 0, 5}));
    EXPECT_EQ(v.Failures[1].Point, -1);
    EXPECT_DOUBLE_EQ(v.Failures[1].Hz, 5200);
    EXPECT_DOUBLE_EQ(v.Failures[1].Value, -2); // the trace interpolated there
    EXPECT_EQ(v.Failures[2].Point, -1);
    EXPECT_DOUBLE_EQ(v.Failures[2].Hz, 5500);
    EXPECT_EQ(v.Tested, 11 + 3);
    EXPECT_DOUBLE_EQ(v.WorstMargin, -6);
    EXPECT_DOUBLE_EQ(v.WorstHz, 5000);
}

TEST(LimitVerdict, LinesSayTheVerdictWithTheLocalesSeparator) {
    LimitVerdict v = JudgeLimits({{}, {Upper(0, -5, 10000, -5)}}, Axis(), Peaked());
    EXPECT_EQ(VerdictLine(v), "limits: FAIL, 1 point outside, worst margin -5.00 dB at 5 kHz");
    v = JudgeLimits({{}, {Upper(0, -9.5, 10000, -9.5)}}, Axis(), std::vector<double>(11, -10));
    EXPECT_EQ(VerdictLine(v, ','), "limits: PASS, worst margin 0,50 dB at 0 Hz");
    v = JudgeLimits({LimitView::Swr, {Upper(0, 1.5, 10000, 1.5)}}, Axis(),
                    std::vector<double>(11, 1.25));
    EXPECT_EQ(VerdictLine(v), "limits: PASS, worst margin 0.250 SWR at 0 Hz");
    v = JudgeLimits({}, Axis(), Peaked());
    EXPECT_EQ(VerdictLine(v), "limits: FAIL, no points in range");
    EXPECT_STREQ(VerdictName(VerdictKind::NoPoints), "no points in range");
}

TEST(LimitLines, TightenedMovesEveryLimitInward) {
    const LimitSet set{LimitView::Level, {Upper(0, 1, 10, 2), Lower(0, -3, 10, -4)}};
    const LimitSet t = Tightened(set, 0.5);
    EXPECT_EQ(t.Segments[0], Upper(0, 0.5, 10, 1.5));
    EXPECT_EQ(t.Segments[1], Lower(0, -2.5, 10, -3.5));
    EXPECT_EQ(Tightened(t, -0.5), set);
}

TEST(LimitLines, AroundATraceAnUpperAndALowerSegmentBetweenNeighbours) {
    const std::vector<double> f = {1, 2, 2, 4};
    const std::vector<double> v = {-1, -2, -5, -3};
    const LimitSet s = LimitsAroundTrace(f, v, -1.5);
    EXPECT_EQ(s.View, LimitView::Level);
    ASSERT_EQ(s.Segments.size(), 4u); // (2, 2) is passed over
    EXPECT_EQ(s.Segments[0], Upper(1, 0.5, 2, -0.5));
    EXPECT_EQ(s.Segments[1], Upper(2, -3.5, 4, -1.5));
    EXPECT_EQ(s.Segments[2], Lower(1, -2.5, 2, -3.5));
    EXPECT_EQ(s.Segments[3], Lower(2, -6.5, 4, -4.5));
    // A trace lies within its own mask, by the offset everywhere.
    const std::vector<double> cf = {1, 2, 4};
    const std::vector<double> cv = {-1, -2, -3};
    const LimitVerdict own = JudgeLimits(LimitsAroundTrace(cf, cv, 1), cf, cv);
    EXPECT_EQ(own.Kind, VerdictKind::Pass);
    EXPECT_DOUBLE_EQ(own.WorstMargin, 1);
}

// ---------------------------------------------------------------------------------------
// The file

TEST(LimitFile, WrittenAndReadBackIsTheSameSet) {
    const LimitSet sets[] = {
        {},
        {LimitView::Level,
         {Upper(10640000, 1, 10760000, 1), Lower(10650000, -3.25, 10750000, -3.25, false),
          Upper(0.1, -1e-300, 2147483647.5, 1.7976931348623157e308)}},
        {LimitView::Swr, {Upper(1e6, 1.5, 30e6, 2.0000000000000004)}},
    };
    for (const LimitSet& set : sets) {
        const std::string text = FormatLimitFile(set);
        EXPECT_EQ(text.rfind("MYRL limits 1\n", 0), 0u);
        EXPECT_EQ(ParseLimitFile(text), set) << text;
    }
    EXPECT_THROW(FormatLimitFile({{}, {Upper(0, NAN, 1, 0)}}), ELimitFileError);
}

TEST(LimitFile, AHandWrittenFileReads) {
    const std::string text = "\xEF\xBB\xBFMYRL limits 1\r\n"
                             "# a mask for the 10.7 MHz filter\r\n"
                             "\r\n"
                             "view   level  # dB\r\n"
                             "  upper , 10.64e6 , +1 , 10760000 , 1  \r\n"
                             "lower,10650000,-3,10750000,-3,off # not yet\r\n";
    const LimitSet s = ParseLimitFile(text);
    EXPECT_EQ(
        s, (LimitSet{LimitView::Level,
                     {Upper(10640000, 1, 10760000, 1), Lower(10650000, -3, 10750000, -3, false)}}));
}

TEST(LimitFile, ABadOrForeignFileIsRefusedNamingItsLine) {
    struct Case {
        const char* text;
        const char* message; // the whole sentence or its start
    };
    const Case cases[] = {
        {"", "Line 1 of the limits file: this is not a MYRL limits file"},
        {"MYRL calibration 1\nstart_hz 1\n", "Line 1 of the limits file: this is not a MYRL"},
        {"10200000,-3.5\n", "Line 1 of the limits file: this is not a MYRL limits file"},
        {"MYRL limits 2\nview level\n",
         "Line 1 of the limits file: this limits file is of version '2'; this MYRL reads "
         "version 1."},

        {"MYRL limits 1\n", "Line 2 of the limits file: the file ends before its \"view\" line."},
        {"MYRL limits 1\nupper,1,2,3,4\n",
         "Line 2 of the limits file: \"view level\" or \"view swr\" expected."},
        {"MYRL limits 1\nview dB\n", "Line 2 of the limits file: the view is \"level\" or "
                                     "\"swr\"."},
        {"MYRL limits 1\nview level\nview swr\n",
         "Line 3 of the limits file: a segment \"upper|lower,F1,V1,F2,V2\" expected."},
        {"MYRL limits 1\n# c\nview level\n\nabove,1,2,3,4\n", "Line 5 of the limits file: a "
                                                              "segment"},
        {"MYRL limits 1\nview level\nupper,1,2,3\n", "Line 3 of the limits file: a segment has "
                                                     "five fields"},
        {"MYRL limits 1\nview level\nupper,1,2,3,4,5\n",
         "Line 3 of the limits file: only \"off\" may follow V2."},
        // A decimal comma makes six fields of five.
        {"MYRL limits 1\nview level\nupper,10000,-3,5,20000,-3,5\n",
         "Line 3 of the limits file: a segment has five fields"},
        {"MYRL limits 1\nview level\nlower,1,x,3,4\n",
         "Line 3 of the limits file: the value V1 is not a number (a full stop for decimals)."},
        {"MYRL limits 1\nview level\nlower,1,2,1e999,4\n",
         "Line 3 of the limits file: the frequency F2 is not a number"},
        {"MYRL limits 1\nview level\nlower,1,2,3,nan\n",
         "Line 3 of the limits file: the value V2 is not a number"},
        {"MYRL limits 1\nview level\nupper,,2,3,4\n",
         "Line 3 of the limits file: the frequency F1 is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseLimitFile(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ELimitFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
    // A NUL in the text quoted would end the sentence where it is read as a C string.
    try {
        ParseLimitFile(std::string("MYRL limits 1\0002\n", 16));
        ADD_FAILURE() << "accepted";
    } catch (const ELimitFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Line 1 of the limits file: this limits file is of "
                                         "version '1\u24002'; this MYRL reads version 1.");
    }
    std::string many = "MYRL limits 1\nview level\n";
    for (size_t i = 0; i <= kMaxLimitSegments; ++i) {
        many += "upper,1,2,3,4\n";
    }
    EXPECT_THROW(ParseLimitFile(many), ELimitFileError);
}

// The version-1 sample: a renamed key or a changed syntax makes this fail.
TEST(LimitFile, TheVersion1SampleReads) {
    const LimitSet s = ReadLimitFile(TestDataPath("limits-v1.myrllim"));
    EXPECT_EQ(s, (LimitSet{LimitView::Level,
                           {Upper(10500000, -40, 10540000, -40), Upper(10640000, 1, 10760000, 1),
                            Lower(10651500, -3, 10748500, -3), Upper(10860000, -40, 10900000, -40),
                            Lower(10690000, -0.5, 10710000, -0.5, false)}}));
    const LimitSet swr = ReadLimitFile(TestDataPath("limits-swr-v1.myrllim"));
    EXPECT_EQ(swr, (LimitSet{LimitView::Swr, {Upper(1e6, 1.5, 30e6, 1.5)}}));
}

TEST(LimitFile, StrangeFilesAreRefusedWithoutWaiting) {
    TempDir dir("myrl-limits");
    const std::string fifo = (dir.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = (dir.Path() / "big.myrllim").string();
    {
        std::ofstream out(big);
        out << "MYRL limits 1\nview level\n# " << std::string(2 << 20, 'x') << "\n";
    }
    for (const std::string& path :
         {fifo, std::string("/dev/zero"), dir.Path().string(), (dir.Path() / "missing").string()}) {
        SCOPED_TRACE(path);
        EXPECT_THROW(ReadLimitFile(path), EInOutError);
    }
    EXPECT_THROW(ReadLimitFile(big), ELimitFileError);

    const std::string path = (dir.Path() / "mask.myrllim").string();
    const LimitSet set{LimitView::Swr, {Upper(1, 2, 3, 4)}};
    WriteLimitFile(path, set);
    EXPECT_EQ(ReadLimitFile(path), set);
}

} // namespace
} // namespace myrl
