// Calibration files: the CAL tables (CalLevel over CalFreq) kept beyond the run, with the
// plan and settings they were taken with.
//
// The format, version 1 (UTF-8 text, LF line ends; CR LF, a lone CR and a UTF-8 byte
// order mark at the start are read too, as by every reader of this program):
//
//   MYRL calibration 1
//   start_hz <number>            the plan: StartFreq
//   stop_hz <number>             StopFreq
//   zero_span <0|1>
//   frex <0|1>                   the FREX box
//   sweep_time <number>          item of the sweep-time list, 0..16
//   level_offset_db <number>
//   averaging <integer>          AvrNum, 1..64
//   taken <text>                 date and time, "YYYY-MM-DD hh:mm:ss UTC"
//   note <text>                  free text, one line (\n and \\ escaped)
//   points <count>               257
//   <index> <CalFreq> <CalLevel> one line per entry, index 0..count-1 in order
//   end
//
// The first line (magic and version) comes first and alone; the keys follow in this order,
// each once. Numbers are written in the shortest form that reads back to the same double,
// always with a full stop as the decimal separator, whatever the locale; they must be
// finite. Blank lines, and lines starting with '#', after the first are skipped. Anything else, a
// missing line or text after "end" refuses the file.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace myrl {

constexpr const char* kCalFileMagic = "MYRL calibration";
constexpr int kCalFileVersion = 1;
constexpr const char* kCalFileSuffix = ".myrlcal";

// A file that is not a calibration file this program can read; what() is an English
// sentence naming the line and what is wrong with it.
class ECalFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CalRecord {
    double StartFreq = 0;
    double StopFreq = 0;
    bool ZeroSpan = false;
    bool Frex = false;
    double SweepTimeIdx = 0;
    double LevelOffset = 0;
    int32_t AvrNum = 1;
    std::string Taken;
    std::string Note;
    PointArray CalFreq{};
    PointArray CalLevel{};

    bool operator==(const CalRecord&) const = default;
};

// A calibration is in the state's CAL tables (taken by a CAL sweep or loaded from a file):
// some entry of CalFreq or CalLevel is not zero.
bool CalibrationTaken(const MeasState& s);

// The record of the tables and settings in `s` (frex: the FREX box), taken at `taken`.
CalRecord CalRecordFrom(const MeasState& s, bool frex, std::string taken, std::string note);

// The text of a calibration file. Throws ECalFileError for a value that cannot be written
// (not finite).
std::string FormatCalFile(const CalRecord& r);

// Reads a calibration file's text; throws ECalFileError and returns nothing else.
CalRecord ParseCalFile(std::string_view text);

// Reads the file at `path` (at most 1 MiB; opened as TextFile.h's ReadFileBytes does):
// ECalFileError for its content, EInOutError when it cannot be read.
CalRecord ReadCalFile(const std::string& path);
// Writes the file whole (replacing an old one only once the new one is complete).
void WriteCalFile(const std::string& path, const CalRecord& r);

// The frequency range the tables were taken over: CalFreq[0] .. CalFreq[kSweepStepCount],
// the points of the plan's span (the entries beyond lie above its STOP).
struct CalCoverage {
    double Lo = 0;
    double Hi = 0;
};
CalCoverage CoverageOf(const CalRecord& r);

// What the tables cover, for the user: "1 MHz–11 MHz", or "a zero-span sweep" for one taken
// in zero span (whose frequencies are the positions 0..100 of the axis, not hertz).
std::string CoverageText(const CalRecord& r);

// What NORM does with a calibration over a plan [planLo, planHi] (Hz): "" when the plan
// lies within the calibration's range, else the sentence saying where NORM holds the edge
// levels, e.g. "the calibration covers 1 MHz–11 MHz, the plan 0 Hz–20 MHz: outside it NORM
// uses the edge levels". A zero-span calibration says so for every plan.
std::string CoverageWarning(const CalRecord& r, double planLo, double planHi);

// A frequency in the shortest of Hz, kHz or MHz with up to six significant digits
// ("10.7 MHz", "455 kHz", "50 Hz"); a full stop as decimal separator.
std::string ShortHz(double hz);

} // namespace myrl
