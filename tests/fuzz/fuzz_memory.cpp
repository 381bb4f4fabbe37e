// The trace memory's loader. The input is a file's text, loaded as "Load data file…" loads
// it (ReadMemoryFile, through the trace reader): refused with EMemoryFileError and a short
// sentence, or a memory of 2 to 257 finite points over rising frequencies, the same whether
// read from the file or from the text. An input starting with '!' is instead a trace of the
// input's own finite numbers over rising frequencies: written as the CSV with its header it
// loads back as exactly that trace, and written as the fixed data export it loads back at its
// 15 significant digits over the frequencies rounded to the hertz.
#include "Errors.h"
#include "Export.h"
#include "FuzzSupport.h"
#include "Presentation.h"
#include "Rnd.h"
#include "TraceFile.h"
#include "TraceMemory.h"

#include <cmath>
#include <memory>
#include <string>

using namespace myrl;

namespace {

fuzz::MemFile& File() {
    static fuzz::MemFile file;
    return file;
}

void CheckMemory(const StoredTrace& t) {
    FUZZ_CHECK(t.Freq.size() == t.Level.size());
    FUZZ_CHECK(t.Freq.size() >= 2 && t.Freq.size() <= static_cast<size_t>(kArrayLen));
    for (size_t i = 0; i < t.Freq.size(); ++i) {
        FUZZ_CHECK(std::isfinite(t.Freq[i]) && std::isfinite(t.Level[i]));
        FUZZ_CHECK(i == 0 || t.Freq[i] > t.Freq[i - 1]);
    }
}

double Finite(double v, double limit) {
    return std::isfinite(v) ? std::fmod(v, limit) : 0.0;
}

void WrittenThenLoaded(fuzz::Reader& in) {
    auto s = std::make_unique<MeasState>();
    s->SweepSteps = 1 + in.Take<uint8_t>() % (kArrayLen - 1);
    s->PointNum = kPointCount;
    s->RefLevel = Finite(in.Take<double>(), 200);
    double f = Finite(in.Take<double>(), 1e9);
    for (size_t k = 0; k < static_cast<size_t>(kArrayLen); ++k) {
        // Steps of at least 2 Hz, so that the export's frequencies rounded to the hertz rise.
        f += 2 + std::fabs(Finite(in.Take<double>(), 1e6));
        s->FreqAxis[k] = f;
        s->NormLevel[k] = Finite(in.Take<double>(), 1000);
        s->SwrTrace[k] = 1;
    }
    FillDispTrace(*s, false);
    const auto n = static_cast<size_t>(s->SweepSteps) + 1;

    const StoredTrace csv = ReadMemoryFile(File().Put(TraceCsvBytes(*s, TraceFileInfo{})), 0);
    CheckMemory(csv);
    FUZZ_CHECK(csv.Freq.size() == n);
    for (size_t k = 0; k < n; ++k) {
        FUZZ_CHECK(fuzz::SameBits(csv.Freq[k], s->FreqAxis[k]));
        FUZZ_CHECK(fuzz::SameBits(csv.Level[k], s->NormLevel[k]));
    }

    const StoredTrace fixed = ReadMemoryFile(File().Put(ExportBytes(*s)), s->RefLevel);
    CheckMemory(fixed);
    FUZZ_CHECK(fixed.Freq.size() == n);
    for (size_t k = 0; k < n; ++k) {
        FUZZ_CHECK(fixed.Freq[k] == static_cast<double>(rnd64(s->FreqAxis[k])));
        const double shown = s->NormLevel[k] - s->RefLevel;
        FUZZ_CHECK(std::fabs(fixed.Level[k] - s->RefLevel - shown) <=
                   1e-13 * std::fmax(1.0, std::fabs(shown)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input[0] == '!') {
        fuzz::Reader in(data + 1, size - 1);
        WrittenThenLoaded(in);
        return 0;
    }
    const std::string& path = File().Put(input);
    StoredTrace t;
    try {
        t = ReadMemoryFile(path, -10);
    } catch (const EMemoryFileError& e) {
        FUZZ_CHECK(std::string(e.what()).size() < 600);
        try {
            MemoryFromTraceFile(input, path, -10);
            FUZZ_CHECK(false); // the text refused as the file was
        } catch (const EMemoryFileError&) {
        }
        return 0;
    }
    CheckMemory(t);
    const StoredTrace again = MemoryFromTraceFile(input, path, -10);
    FUZZ_CHECK(again.Freq == t.Freq);
    return 0;
}
