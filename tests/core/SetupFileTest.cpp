// Set-up files: written and read back, refused files with their line named, the version-1
// sample kept in tests/data, and the calibration path taken from the set-up's folder.
#include "SetupFile.h"

#include "Errors.h"
#include "TempDir.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace myrl {
namespace {

// (Inside a test, "Setup" names gtest's misspelling trap.)
using SetupValues = myrl::Setup;

SetupValues Example() {
    SetupValues s;
    s.FDefIndex = 0;
    s.Freq1 = "1000000";
    s.Freq2 = "30000000";
    s.Frex = true;
    s.SweepTimeIdx = 0;
    s.AvrNum = 64;
    s.Mode = "CAL";
    s.Swr = true;
    s.RefPos = 9;
    s.RefLevel = 0.30000000000000004;
    s.DbPerDiv = 2;
    s.Calibration = "/home/someone/cal files/antenna #2.myrlcal";
    s.LimitsOn = true;
    s.Limits = {LimitView::Swr,
                {{true, 1e6, 1.5, 30e6, 2, true}, {true, 5e6, 1.2, 6e6, 1.2, false}}};
    return s;
}

TEST(SetupFile, WrittenAndReadBackIsTheSameSetup) {
    SetupValues zero;
    zero.FDefIndex = 2;
    zero.Freq1 = "10700000";
    zero.Freq2 = "0";
    for (const SetupValues& s : {SetupValues{}, Example(), zero}) {
        const std::string text = FormatSetupFile(s);
        EXPECT_EQ(text.rfind("MYRL setup 1\n", 0), 0u);
        EXPECT_EQ(ParseSetupFile(text), s) << text;
        EXPECT_EQ(FormatSetupFile(ParseSetupFile(text)), text);
    }
    SetupValues bad = Example();
    bad.RefLevel = NAN;
    EXPECT_THROW(FormatSetupFile(bad), ESetupFileError);
    bad = Example();
    bad.Calibration = "two\nlines";
    EXPECT_THROW(FormatSetupFile(bad), ESetupFileError);
}

// The version-1 sample: a renamed key or a changed syntax makes this fail.
TEST(SetupFile, TheVersion1SampleReads) {
    const std::string path = TestDataPath("setup-v1.myrlsetup");
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const SetupValues s = ReadSetupFile(path);
    EXPECT_EQ(s.FDefIndex, 1);
    EXPECT_EQ(s.Freq1, "10700000");
    EXPECT_EQ(s.Freq2, "400000");
    EXPECT_FALSE(s.Frex);
    EXPECT_EQ(s.SweepTimeIdx, 2);
    EXPECT_EQ(s.AvrNum, 4);
    EXPECT_EQ(s.Mode, "NORM");
    EXPECT_FALSE(s.Swr);
    EXPECT_EQ(s.RefPos, 1);
    EXPECT_EQ(s.RefLevel, -0.5);
    EXPECT_EQ(s.DbPerDiv, 5);
    EXPECT_EQ(s.Calibration, folder + "/stand.myrlcal"); // beside the set-up
    EXPECT_TRUE(s.LimitsOn);
    EXPECT_EQ(s.Limits.View, LimitView::Level);
    ASSERT_EQ(s.Limits.Segments.size(), 4u);
    EXPECT_EQ(s.Limits.Segments[2], (LimitSegment{false, 10651500, -3, 10748500, -3, true}));
}

TEST(SetupFile, KeysInAnyOrderCommentsAndNoCalibration) {
    const SetupValues s = ParseSetupFile("MYRL setup 1\r\n"
                                         "limits_view swr\r\n"
                                         "limits off # for now\r\n"
                                         "calibration none\r\n"
                                         "db_per_div 10\r\n"
                                         "ref_level_db +1.5\r\n"
                                         "ref_position 0\r\n"
                                         "view swr\r\n"
                                         "upper,1e6,2,2e6,2\r\n"
                                         "mode THRU\r\n"
                                         "averaging 1\r\n"
                                         "sweep_time 20\r\n"
                                         "frex on\r\n"
                                         "plan zero_span 455k\r\n",
                                         "/somewhere");
    EXPECT_EQ(s.FDefIndex, 2);
    EXPECT_EQ(s.Freq1, "455000");
    EXPECT_EQ(s.Freq2, "0");
    EXPECT_EQ(s.SweepTimeIdx, 16);
    EXPECT_EQ(s.Calibration, "");
    EXPECT_EQ(s.RefLevel, 1.5);
    EXPECT_EQ(s.Limits.Segments.size(), 1u);
    EXPECT_EQ(s.Limits.View, LimitView::Swr);
}

TEST(SetupFile, ABadOrForeignFileIsRefusedNamingItsLine) {
    const std::string good = FormatSetupFile(Example());
    // `good` with line `n` (1-based, counting the comment on line 2) replaced.
    auto with = [&](int n, const std::string& line) {
        std::string out;
        int i = 1;
        size_t pos = 0;
        while (pos < good.size()) {
            const size_t end = good.find('\n', pos);
            out += (i == n ? line : good.substr(pos, end - pos)) + "\n";
            pos = end + 1;
            ++i;
        }
        return out;
    };
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"", "Line 1 of the set-up file: this is not a MYRL set-up file"},
        {"MYRL limits 1\nview level\n", "Line 1 of the set-up file: this is not a MYRL set-up"},
        {"MYRL setup 7\n", "Line 1 of the set-up file: this set-up file is of version '7'"},
        {with(3, "plan centre_span 10700000 100000"), "Line 3 of the set-up file: the plan is"},
        {with(3, "plan start_stop 30M 1M"), "Line 3 of the set-up file: the start must lie"},
        {with(3, "plan center_span 10.7X 1k"), "Line 3 of the set-up file: '10.7X' is not a "
                                               "frequency"},
        {with(3, "plan center_span 3G 1k"), "Line 3 of the set-up file: '3G' is not a frequency"},
        {with(3, "plan zero_span 1M 2M"), "Line 3 of the set-up file: a plan zero_span has one "
                                          "frequency"},
        {with(4, "frex yes"), "Line 4 of the set-up file: frex is \"on\" or \"off\""},
        {with(5, "sweep_time 7s"), "Line 5 of the set-up file: sweep_time is an item"},
        {with(6, "averaging 65"), "Line 6 of the set-up file: averaging must be a whole number "
                                  "from 1 to 64"},
        {with(7, "mode norm"), "Line 7 of the set-up file: the mode is THRU, NORM or CAL"},
        {with(8, "view dB"), "Line 8 of the set-up file: view is \"level\" or \"swr\""},
        {with(9, "ref_position 10"), "Line 9 of the set-up file: ref_position must be"},
        {with(10, "ref_level_db 0,5"), "Line 10 of the set-up file: ref_level_db is a number"},
        {with(10, "ref_level_db 100"), "Line 10 of the set-up file: ref_level_db is a number"},
        {with(11, "db_per_div 3"), "Line 11 of the set-up file: db_per_div is 1, 2, 5 or 10"},
        {with(12, "calibration"), "Line 12 of the set-up file: calibration names a file"},
        {with(13, "limits maybe"), "Line 13 of the set-up file: limits is \"on\" or \"off\""},
        {with(15, "upper,1,2,3"), "Line 15 of the set-up file: a segment has five fields"},
        // A renamed key is an unknown key, and then its own is missing.
        {with(6, "average 4"), "Line 6 of the set-up file: 'average' is not a key"},
        {with(6, "mode THRU"), "Line 7 of the set-up file: mode is given twice (also on line 6)"},
        {with(6, "# averaging left out"), "Line 17 of the set-up file: the file ends without its "
                                          "\"averaging\" line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseSetupFile(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ESetupFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}

TEST(SetupFile, StrangeFilesAreRefusedWithoutWaiting) {
    TempDir dir("myrl-setup");
    EXPECT_THROW(ReadSetupFile("/dev/zero"), EInOutError);
    EXPECT_THROW(ReadSetupFile(dir.Path().string()), EInOutError);
    const std::string path = (dir.Path() / "a.myrlsetup").string();
    WriteSetupFile(path, Example());
    EXPECT_EQ(ReadSetupFile(path), Example()); // an absolute calibration path stays
}

} // namespace
} // namespace myrl
