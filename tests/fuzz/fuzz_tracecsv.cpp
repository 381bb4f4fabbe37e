// The trace CSV reader. The input is a file's text, read as ReadTraceCsv reads a file: it is
// either refused with a short English sentence (std::runtime_error) or read into columns of
// one length each, which the file read from disk and the same text in memory agree on. An
// input starting with '!' is instead a trace of the input's own numbers (any double: NaN,
// infinities, -0): written as the CSV with its header, it reads back to the same numbers,
// bit for bit (a NaN as a NaN).
#include "Errors.h"
#include "FuzzSupport.h"
#include "TraceFile.h"

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

using namespace myrl;

namespace {

fuzz::MemFile& File() {
    static fuzz::MemFile file;
    return file;
}

bool Same(double a, double b) {
    return fuzz::SameBits(a, b) || (std::isnan(a) && std::isnan(b));
}

void WrittenThenRead(fuzz::Reader& in) {
    auto s = std::make_unique<MeasState>();
    s->SweepSteps = in.Take<uint8_t>() % kArrayLen; // points 0 .. SweepSteps are written
    s->RefLevel = in.Take<double>();
    for (size_t k = 0; k < static_cast<size_t>(kArrayLen); ++k) {
        s->FreqAxis[k] = in.Take<double>();
        s->NormLevel[k] = in.Take<double>();
        s->SwrTrace[k] = in.Take<double>();
        s->RawLevel[k] = in.Take<double>();
    }
    TraceFileInfo info;
    info.Program = in.Line();
    info.Mode = in.Line();
    info.Calibration = in.Line();
    const std::string bytes = TraceCsvBytes(*s, info);
    const TraceRead r = ReadTraceCsv(File().Put(bytes));
    const auto n = static_cast<size_t>(s->SweepSteps) + 1;
    FUZZ_CHECK(r.FrequencyHz.size() == n && r.Levels.size() == 4);
    for (size_t k = 0; k < n; ++k) {
        FUZZ_CHECK(Same(r.FrequencyHz[k], s->FreqAxis[k]));
        FUZZ_CHECK(Same(r.Levels[0].Values[k], s->NormLevel[k] - s->RefLevel));
        FUZZ_CHECK(Same(r.Levels[1].Values[k], s->SwrTrace[k]));
        FUZZ_CHECK(Same(r.Levels[2].Values[k], s->RawLevel[k]));
        FUZZ_CHECK(Same(r.Levels[3].Values[k], s->NormLevel[k]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input[0] == '!') {
        fuzz::Reader in(data + 1, size - 1);
        WrittenThenRead(in);
        return 0;
    }
    TraceRead fromFile;
    try {
        fromFile = ReadTraceCsv(File().Put(input));
    } catch (const EInOutError&) {
        FUZZ_CHECK(false); // a file in memory always reads
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string(e.what()).size() < 600);
        FUZZ_CHECK(std::string(e.what()).find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(!fromFile.FrequencyHz.empty() && !fromFile.Levels.empty());
    for (const TraceColumn& c : fromFile.Levels) {
        FUZZ_CHECK(c.Values.size() == fromFile.FrequencyHz.size());
    }
    const TraceRead fromText = ParseTraceCsv(input, File().Put(input));
    FUZZ_CHECK(fromText.FrequencyHz.size() == fromFile.FrequencyHz.size());
    return 0;
}
