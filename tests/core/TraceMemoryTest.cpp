// The trace memory's content: the current trace, or a data export read back.
#include "TraceMemory.h"

#include "Export.h"
#include "Presentation.h"
#include "TraceFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace myrl {
namespace {

TEST(TraceMemory, AnExportReadBackIsTheMemoryOfTheTraceItShowed) {
    auto s = std::make_unique<MeasState>();
    s->PointNum = kPointCount;
    s->SweepSteps = 250;
    s->RefLevel = -10;
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        s->FreqAxis[i] = 1e6 + 4000.0 * static_cast<double>(i);
        s->NormLevel[i] = -30 + 0.125 * static_cast<double>(i % 17);
    }
    FillDispTrace(*s, false);
    for (char decimal : {'.', ','}) {
        SCOPED_TRACE(decimal);
        const StoredTrace t = MemoryFromTraceFile(ExportBytes(*s, decimal), "export", s->RefLevel);
        ASSERT_EQ(t.Freq.size(), 251u);
        for (size_t i = 0; i < t.Freq.size(); ++i) {
            EXPECT_EQ(t.Freq[i], s->FreqAxis[i]);
            EXPECT_NEAR(t.Level[i], s->NormLevel[i], 1e-12);
        }
        SetMemory(*s, t);
        EXPECT_EQ(s->MemPoints, 251);
        EXPECT_DOUBLE_EQ(MemoryAt(*s, s->FreqAxis[100]), s->NormLevel[100]);
    }
    // The data file with its header gives the levels as they were, whatever the reference.
    const StoredTrace csv = MemoryFromTraceFile(TraceCsvBytes(*s, TraceFileInfo{}), "csv", 99);
    ASSERT_EQ(csv.Freq.size(), 251u);
    for (size_t i = 0; i < csv.Freq.size(); ++i) {
        EXPECT_EQ(csv.Freq[i], s->FreqAxis[i]);
        EXPECT_EQ(csv.Level[i], s->NormLevel[i]);
    }
    const StoredTrace now = CurrentTrace(*s);
    ASSERT_EQ(now.Freq.size(), static_cast<size_t>(kPointCount));
    EXPECT_EQ(now.Level[255], s->NormLevel[255]);
}

TEST(TraceMemory, AFileThatIsNotAnExportIsRefused) {
    struct Case {
        const char* name;
        std::string text;
    };
    std::string tooLong;
    for (int i = 0; i <= kArrayLen; ++i) {
        tooLong += std::to_string(i + 1) + ",0\r\n";
    }
    const std::vector<Case> cases = {
        {"empty", ""},
        {"one point", "100,-3\r\n"},
        {"a calibration file", "MYRL calibration 1\nstart_hz 1\n"},
        {"header line", "Frequency,Level\r\n100,1\r\n200,2\r\n"},
        {"falling", "200,1\r\n100,2\r\n"},
        {"decimal comma value", "100,1,5\r\n200,2\r\n"},
        {"not finite", "100,nan\r\n200,2\r\n"},
        {"more than a sweep", tooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(MemoryFromTraceFile(c.text, "file", 0), EMemoryFileError);
    }
}

} // namespace
} // namespace myrl
