// Files a user takes away from a measurement, beside the fixed data export: a CSV of the
// whole trace with a header that says how it was measured, a one-port Touchstone file of
// the normalised level, the names offered for them and for a picture of the display, and
// the reader that loads such a CSV (or the fixed export) back as a trace. Numbers are
// always written with a full stop, whatever the process locale, in the shortest form that
// reads back to the same double.
#pragma once

#include "MeasState.h"

#include <ctime>
#include <string>
#include <vector>

namespace myrl {

// The frequency definitions of the plan, as F_DEF lists them.
enum class PlanDefinition { StartStop = 0, CentreSpan = 1, ZeroSpan = 2 };

// A frequency in its natural unit, the largest of GHz, MHz, kHz and Hz in which it is at
// least 1, rounded to the hertz, without trailing zeros: 10700000 -> "10.7MHz",
// 100000 -> "100kHz", 1234567 -> "1.234567MHz", 0 -> "0Hz".
std::string FreqInUnit(double hz);

// The name offered for a file of the current plan, without a folder: "myrl-", the plan
// ("10.7MHz-100kHz" centre and span, "10.65MHz-10.75MHz" start and stop, "10.7MHz" in zero
// span), the local time `when` as "-YYYYMMDD-HHMM", then `extension` (".png").
std::string OfferedFileName(PlanDefinition def, double startHz, double stopHz, const std::tm& when,
                            const std::string& extension);

// What the header of a trace file says beyond the measurement state itself.
struct TraceFileInfo {
    std::string Program; // "MYRL 1.43"
    std::tm Written{};   // local time of the write
    PlanDefinition Plan = PlanDefinition::StartStop;
    bool Frex = false;
    std::string SweepTime; // the SWEEP TIME item, "<0.5", "2s"
    std::string Mode;      // "THRU", "NORM" or "CAL"
    std::string Averaging; // the AVERAGING text
    // The calibration file whose tables are in use ("<path> (<note>), taken <time>"); empty
    // when they are a CAL sweep of this run.
    std::string Calibration;
};

// The CSV's column names, in their order.
extern const char* const kTraceColumns[5];

// The CSV of points 0 .. SweepSteps: comment lines starting with "# " (program, time,
// plan, FREX, sweep time, mode, reference level, averaging, calibration in use, what the
// columns mean), then the header line "frequency_hz,level_db,swr,raw_level_db,
// norm_level_db" and one line per point; LF line ends. level_db is the level relative to
// the reference level, as the level chart shows it.
std::string TraceCsvBytes(const MeasState& s, const TraceFileInfo& info);

// What a Touchstone file says its one parameter is.
enum class TouchstoneParam { S11, S21 };

// True when the trace is an S-parameter magnitude: NORM mode, level presentation (SWR
// unticked), a span of more than one frequency.
bool TouchstoneApplies(const MeasState& s, const std::string& mode, bool swr);
// The part of that which is the plan's: a span whose points 0 .. SweepSteps rise.
bool TouchstoneAxisRises(const MeasState& s);

// A one-port Touchstone file of points 0 .. SweepSteps: "!" comment lines (program, time,
// which parameter it holds, that the angle was not measured), the option line
// "# Hz S DB R 50", then "<frequency> <NormLevel in dB> 0" per point. With info.Mode "THRU",
// or in NORM without a calibration, the comment says the level is the unit's own, with no
// calibration subtracted; in NORM with one, which (the CAL sweep of this run, or the file).
std::string TouchstoneBytes(const MeasState& s, const TraceFileInfo& info, TouchstoneParam param);

// A trace read back from a file.
struct TraceColumn {
    std::string Name;
    std::vector<double> Values;
};
struct TraceRead {
    std::vector<double> FrequencyHz;
    std::vector<TraceColumn> Levels; // the level columns, in the file's order
};

// Reads a CSV written by TraceCsvBytes (comment lines, the header, then rows of numbers)
// or the fixed data export ("frequency,value" lines without a header; its one column is
// named "value"), at most 1 MiB, opened as TextFile.h's ReadFileBytes does; its lines as
// TextLines takes them (any line end, a byte order mark ignored). Throws EInOutError when
// the file cannot be read and std::runtime_error with an English sentence naming the
// file's line when it is neither (a foreign file); such a sentence quotes at most 100
// characters of the file.
TraceRead ReadTraceCsv(const std::string& path);
// The same over a file's bytes; `name` only for the messages.
TraceRead ParseTraceCsv(const std::string& bytes, const std::string& name);

// The local time now.
std::tm LocalTimeNow();

// The line of the status board after a file was written: "Saved <path> at HH:MM:SS".
std::string SavedLine(const std::string& path, const std::tm& when);

} // namespace myrl
