// Calibration files. The input is a file's text, read as the tools window reads it (from a
// file, by ReadCalFile): it is either refused with ECalFileError, whose sentence stays short
// whatever the file holds, or read into a record that the writer writes as a file which
// reads back to the same record, bit for bit, and writes the same bytes again. An input
// starting with '!' is instead a record of the input's own numbers and texts (the numbers
// made finite), written and read back to the same record.
#include "CalFile.h"
#include "Errors.h"
#include "FuzzSupport.h"

#include <cmath>
#include <string>

using namespace myrl;

namespace {

fuzz::MemFile& File() {
    static fuzz::MemFile file;
    return file;
}

bool SameRecord(const CalRecord& a, const CalRecord& b) {
    bool same = fuzz::SameBits(a.StartFreq, b.StartFreq) &&
                fuzz::SameBits(a.StopFreq, b.StopFreq) && a.ZeroSpan == b.ZeroSpan &&
                a.Frex == b.Frex && fuzz::SameBits(a.SweepTimeIdx, b.SweepTimeIdx) &&
                fuzz::SameBits(a.LevelOffset, b.LevelOffset) && a.AvrNum == b.AvrNum &&
                a.Taken == b.Taken && a.Note == b.Note;
    for (size_t i = 0; same && i < static_cast<size_t>(kArrayLen); ++i) {
        same = fuzz::SameBits(a.CalFreq[i], b.CalFreq[i]) &&
               fuzz::SameBits(a.CalLevel[i], b.CalLevel[i]);
    }
    return same;
}

// Writes `r` and reads it back: the same record, and the same bytes when written again.
void RoundTrip(const CalRecord& r) {
    const std::string text = FormatCalFile(r);
    const CalRecord back = ReadCalFile(File().Put(text));
    FUZZ_CHECK(SameRecord(back, r));
    FUZZ_CHECK(FormatCalFile(back) == text);
}

double Finite(double v) {
    return std::isfinite(v) ? v : 0.0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input[0] == '!') {
        fuzz::Reader in(data + 1, size - 1);
        CalRecord r;
        r.StartFreq = Finite(in.Take<double>());
        r.StopFreq = Finite(in.Take<double>());
        const auto flags = in.Take<uint8_t>();
        r.ZeroSpan = (flags & 1) != 0;
        r.Frex = (flags & 2) != 0;
        r.SweepTimeIdx = static_cast<double>(in.Take<uint8_t>() % 17);
        r.LevelOffset = Finite(in.Take<double>());
        r.AvrNum = 1 + in.Take<uint8_t>() % kRingDepth;
        r.Taken = in.Line();
        r.Note = in.Line();
        for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
            r.CalFreq[i] = Finite(in.Take<double>());
            r.CalLevel[i] = Finite(in.Take<double>());
        }
        RoundTrip(r);
        return 0;
    }
    CalRecord r;
    try {
        r = ReadCalFile(File().Put(input));
    } catch (const ECalFileError& e) {
        // A sentence of its own, quoting at most 100 characters of the file.
        FUZZ_CHECK(std::string(e.what()).size() < 600);
        return 0;
    }
    FUZZ_CHECK(r == ParseCalFile(input));
    RoundTrip(r);
    return 0;
}
