// Version-1 sample files kept as test data (tests/data): a calibration file, a trace CSV
// with its header and a Touchstone file, as this program writes them. The writers still
// write every line that is no comment byte for byte and the readers still read them: a
// renamed key, a changed column or option line fails here before it leaves users with files
// the program no longer reads. (Comment lines are free text for people; they may change.)
#include "CalFile.h"
#include "Plans.h"
#include "TraceFile.h"
#include "TraceMemory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace myrl {
namespace {

const std::string kData = MYRL_SOURCE_DIR "/tests/data/";

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The lines of `text` that are no comment (a comment starts with `comment`).
std::string Format(const std::string& text, char comment) {
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(comment)) {
            out += line + "\n";
        }
    }
    return out;
}

// The measurement the samples were written from: a NORM sweep over 10.65 .. 10.75 MHz.
std::unique_ptr<MeasState> Measured() {
    auto s = std::make_unique<MeasState>();
    SetPlan(*s);
    s->RefLevel = -10;
    s->AvrCount = 4;
    for (size_t k = 0; k < static_cast<size_t>(kArrayLen); ++k) {
        const double x = static_cast<double>(k);
        s->NormLevel[k] = -20 - x / 4;
        s->RawLevel[k] = s->NormLevel[k] - 1.5;
        s->SwrTrace[k] = 1 + x / 256;
        s->CalFreq[k] = s->FreqAxis[k];
        s->CalLevel[k] = -1 - x / 8;
    }
    return s;
}

TraceFileInfo Info() {
    TraceFileInfo info;
    info.Program = "MYRL 1.43";
    info.Written.tm_year = 2026 - 1900;
    info.Written.tm_mon = 11;
    info.Written.tm_mday = 10;
    info.Written.tm_hour = 14;
    info.Written.tm_min = 32;
    info.Written.tm_sec = 5;
    info.Plan = PlanDefinition::CentreSpan;
    info.SweepTime = "<0.5";
    info.Mode = "NORM";
    info.Averaging = "4";
    return info;
}

TEST(SampleFiles, CalibrationVersion1) {
    const auto s = Measured();
    s->AvrNum = 4;
    s->SweepTimeIdx = 1;
    const CalRecord r =
        CalRecordFrom(*s, false, "2026-12-10 14:30:00 UTC", "band-pass 10.7 MHz, cable A");
    const std::string path = kData + "calibration-v1.myrlcal";
    EXPECT_EQ(Format(Slurp(path), '#'), Format(FormatCalFile(r), '#'));
    EXPECT_EQ(ReadCalFile(path), r);
}

TEST(SampleFiles, TraceCsvVersion1) {
    const auto s = Measured();
    const std::string path = kData + "trace-v1.csv";
    EXPECT_EQ(Format(Slurp(path), '#'), Format(TraceCsvBytes(*s, Info()), '#'));
    const TraceRead r = ReadTraceCsv(path);
    ASSERT_EQ(r.Levels.size(), 4u);
    for (size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(r.Levels[c].Name, kTraceColumns[c + 1]);
    }
    ASSERT_EQ(r.FrequencyHz.size(), 251u);
    for (size_t k = 0; k < 251; ++k) {
        EXPECT_EQ(r.FrequencyHz[k], s->FreqAxis[k]);
        EXPECT_EQ(r.Levels[0].Values[k], s->NormLevel[k] - s->RefLevel);
        EXPECT_EQ(r.Levels[1].Values[k], s->SwrTrace[k]);
        EXPECT_EQ(r.Levels[2].Values[k], s->RawLevel[k]);
        EXPECT_EQ(r.Levels[3].Values[k], s->NormLevel[k]);
    }
    const StoredTrace memory = ReadMemoryFile(path, 0);
    ASSERT_EQ(memory.Level.size(), 251u);
    EXPECT_EQ(memory.Level[100], s->NormLevel[100]);
}

TEST(SampleFiles, TouchstoneVersion1) {
    const auto s = Measured();
    const std::string bytes = Slurp(kData + "trace-v1.s1p");
    EXPECT_EQ(Format(bytes, '!'), Format(TouchstoneBytes(*s, Info(), TouchstoneParam::S21), '!'));
    // The option line and the first point, as other programs read them.
    EXPECT_NE(bytes.find("\n# Hz S DB R 50\n10650000 -20 0\n"), std::string::npos);
}

} // namespace
} // namespace myrl
