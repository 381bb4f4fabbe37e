// The trace memory's content: the current trace, or a data export read back.
#pragma once

#include "MeasState.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

// A file that is not a data export; what() is an English sentence naming the line.
class EMemoryFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Levels (dB, as NormLevel holds them) over a rising frequency axis (Hz).
struct StoredTrace {
    std::vector<double> Freq;
    std::vector<double> Level;
};

// Points 0..PointNum-1 of the current trace: FreqAxis and NormLevel.
StoredTrace CurrentTrace(const MeasState& s);

// The lines "<freq>,<value>" of a data export (CR LF or LF, a decimal full stop): the
// values are levels relative to the reference level the export was taken with; `refLevel`
// is added back. At least two and at most kArrayLen lines, with rising frequencies.
StoredTrace ParseExportText(std::string_view text, double refLevel);

// Puts the trace into the state's memory (MemFreq, MemLevel, MemPoints); the mode stays.
void SetMemory(MeasState& s, const StoredTrace& t);

} // namespace myrl
