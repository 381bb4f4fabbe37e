// The data export: the trace the main plot shows, written as "freq,value" lines.
#pragma once

#include "MeasState.h"

#include <string>

namespace myrl {

// The export's file name, a bare name in the current working directory.
constexpr const char* kExportFileName = "myrl_data.csv";

// The file's bytes: SweepSteps + 1 lines (points 0 .. SweepSteps, at most the array's
// entries), each "<freq>,<value>" and CR LF, the last line included. freq is FreqAxis[i]
// rounded to the nearest integer, halves to even, in 64 bits (FREX frequencies pass
// 2^31 Hz); value is DispTrace[i] in the general 15-digit form with `decimalSep`, or a
// full stop when `decimalSep` is the comma that separates the fields.
std::string ExportBytes(const MeasState& s, char decimalSep = '.');

// Writes ExportBytes to `path`, replacing any file there as a whole: on failure the old
// file (or none) stays as it was. In zero span nothing is created or touched and false
// is returned; true after a write. Throws EInOutError with the system's text (access
// denied, disk full, "I/O エラー (n)"), without the full stop the message box adds.
bool ExportData(const MeasState& s, const std::string& path, char decimalSep = '.');

} // namespace myrl
