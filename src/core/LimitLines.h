// Limit lines: a mask of straight segments, each an upper or a lower bound between two
// (frequency, value) points, and the verdict of a trace against it. Values are levels in dB
// (the level a data file holds, before the reference-level shift) for the level view, or
// SWR for the SWR view.
//
// The limits file, version 1 (UTF-8 text, LF or CR LF line ends), written by the program and
// by hand alike:
//
//   MYRL limits 1
//   view level                       or: view swr
//   upper,10640000,1,10760000,1      one segment a line: upper|lower,F1,V1,F2,V2
//   lower,10650000,-3,10750000,-3,off   ",off": kept, neither drawn nor tested
//
// Frequencies in hertz, values in dB or SWR, numbers with a full stop as the decimal
// separator whatever the locale (an exponent is allowed), finite. Blanks around a field are
// ignored. '#' starts a comment that runs to the end of the line; blank lines are skipped.
// The first line is the magic and version, the "view" line comes next, then any number of
// segments. Anything else refuses the whole file, naming the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

constexpr const char* kLimitFileMagic = "MYRL limits";
constexpr int kLimitFileVersion = 1;
constexpr const char* kLimitFileSuffix = ".myrllim";
// Segments a set holds at most (a mask built from a trace of 257 points needs 512).
constexpr size_t kMaxLimitSegments = 1024;

// A file that is not a limits file this program can read, or a segment line that does not
// read; what() is an English sentence naming the line and what is wrong with it.
class ELimitFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the limits bound: the level (dB) or the SWR.
enum class LimitView { Level, Swr };
// "level" or "swr".
const char* LimitViewName(LimitView view);
std::optional<LimitView> LimitViewFromName(std::string_view name);

struct LimitSegment {
    bool Upper = true; // the trace must lie at or below it (false: at or above it)
    double F1 = 0;     // Hz
    double V1 = 0;     // dB or SWR
    double F2 = 0;
    double V2 = 0;
    bool On = true; // drawn and tested

    bool operator==(const LimitSegment&) const = default;
};

struct LimitSet {
    LimitView View = LimitView::Level;
    std::vector<LimitSegment> Segments;

    bool operator==(const LimitSet&) const = default;
};

// The value of the segment's line at `hz`: linear between its two points. A segment
// whose two frequencies are equal (a vertical step of a mask) bounds nothing of its own:
// it gives its more lenient value there (the higher for an upper limit, the lower for a
// lower one).
double LimitAt(const LimitSegment& s, double hz);

// "upper,10640000,1,10760000,1" or with ",off": the numbers in the shortest form that
// reads back to the same double. Throws ELimitFileError for a value that is not finite.
std::string FormatLimitSegment(const LimitSegment& s);
// One segment line (without comment); nothing when it is not one, with the reason in
// `why` (a phrase such as "the value V1 is not a number").
std::optional<LimitSegment> ParseLimitSegment(std::string_view line, std::string& why);

// The text of a limits file.
std::string FormatLimitFile(const LimitSet& set);
// Reads a limits file's text; throws ELimitFileError naming the line.
LimitSet ParseLimitFile(std::string_view text);
// Reads the regular file at `path` (at most 1 MiB): ELimitFileError for its content,
// EInOutError when it cannot be read.
LimitSet ReadLimitFile(const std::string& path);
// Writes the file whole (an old one is replaced only once the new one is complete).
void WriteLimitFile(const std::string& path, const LimitSet& set);

// A level mask around a stored trace (`freq` rising, `level` in dB): an upper limit
// `offsetDb` above it and a lower limit `offsetDb` below it, one segment between each two
// neighbouring points (neighbours at the same frequency are passed over). `offsetDb` is
// taken as its magnitude.
LimitSet LimitsAroundTrace(std::span<const double> freq, std::span<const double> level,
                           double offsetDb);

// The same set with every upper limit lowered and every lower limit raised by `by`
// (negative: loosened); values of an SWR set change by `by` as well.
LimitSet Tightened(const LimitSet& set, double by);

// ---- The verdict.

enum class VerdictKind {
    Pass,    // every test position lies within its limits (touching counts as within)
    Fail,    // some position lies outside
    NoPoints // no limit that is on covers any point of the trace: fails as well
};

// "PASS", "FAIL", "no points in range".
const char* VerdictName(VerdictKind kind);

// A position of the trace outside a limit: a point of the trace, or a segment's end point
// between two points (the trace interpolated there).
struct LimitFailure {
    double Hz = 0;
    double Value = 0; // the trace's value there (dB or SWR)
    int Point = -1;   // the trace's point, or -1 for a segment's end between two points
    bool operator==(const LimitFailure&) const = default;
};

struct LimitVerdict {
    VerdictKind Kind = VerdictKind::NoPoints;
    LimitView View = LimitView::Level;
    // Positions tested: points of the trace inside a segment's range (each counted once)
    // and segment ends within the trace's range that fall between two points.
    int Tested = 0;
    // The smallest margin over all tests (dB or SWR; negative outside a limit) and where:
    // for an upper limit the limit minus the trace, for a lower one the trace minus the
    // limit. Meaningless with NoPoints.
    double WorstMargin = 0;
    double WorstHz = 0;
    // The positions outside a limit, each once, in the order of the trace.
    std::vector<LimitFailure> Failures;
    int Failing() const { return static_cast<int>(Failures.size()); }

    bool operator==(const LimitVerdict&) const = default;
};

// The verdict of a trace against the segments of `set` that are on. `freq` and `value` hold
// the trace's points (the points a data file writes, 0 .. SweepSteps), `freq` not falling;
// values of the set's view. Every point whose frequency lies within a segment's range
// (both ends included) is tested against the segment's line there, and every end point of
// a segment that lies within the trace's range against the trace interpolated linearly at
// its frequency; between those positions trace and limit are both straight, so a trace that
// crosses a limit between two points is caught at the end point that lies beyond the
// crossing. In zero span every point has the one frequency of the plan: pass that
// frequency for each point.
LimitVerdict JudgeLimits(const LimitSet& set, std::span<const double> freq,
                         std::span<const double> value);

// One line on the verdict: "limits: PASS, worst margin 0.42 dB at 10.652 MHz",
// "limits: FAIL, 12 points outside, worst margin -0.35 dB at 10.65 MHz" or
// "limits: FAIL, no points in range"; numbers with `decimalSep`.
std::string VerdictLine(const LimitVerdict& v, char decimalSep = '.');
// The worst margin with its unit: "-0.35 dB" or "-0.120 SWR".
std::string MarginText(const LimitVerdict& v, char decimalSep = '.');

} // namespace myrl
