// The trace memory's content: the current trace, or a data export read back.
#pragma once

#include "MeasState.h"

#include <cstdint>
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

// The memory's colour on Graph1 (0x00BBGGRR): magenta.
constexpr uint32_t kMemoryColour = 0x00FF00FF;

// Levels (dB, as NormLevel holds them) over a rising frequency axis (Hz).
struct StoredTrace {
    std::vector<double> Freq;
    std::vector<double> Level;
};

// Points 0..PointNum-1 of the current trace: FreqAxis and NormLevel.
StoredTrace CurrentTrace(const MeasState& s);

// A trace file read back (TraceFile.h: the CSV with its header, or the fixed data export) as
// the memory's content. The CSV's norm_level_db column is taken as it stands; the export's
// one column holds levels relative to the reference level it was taken with, and `refLevel`
// is added back. At least two and at most kArrayLen points, with rising frequencies; else
// EMemoryFileError, as for a file that is neither (`name` names it in the sentence).
StoredTrace MemoryFromTraceFile(const std::string& bytes, const std::string& name, double refLevel);

// The same for the file at `path`, read by ReadTraceCsv (TraceFile.h): EInOutError when it
// cannot be read (a FIFO, /dev/zero, no permission: the reason in its detail),
// EMemoryFileError when it is no trace file or too large.
StoredTrace ReadMemoryFile(const std::string& path, double refLevel);

// Puts the trace into the state's memory (MemFreq, MemLevel, MemPoints); the mode stays.
void SetMemory(MeasState& s, const StoredTrace& t);

} // namespace myrl
