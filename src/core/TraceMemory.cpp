#include "TraceMemory.h"

#include "Errors.h"
#include "TraceFile.h"

#include <algorithm>
#include <cmath>

namespace myrl {

StoredTrace CurrentTrace(const MeasState& s) {
    StoredTrace t;
    const int n = std::clamp(s.PointNum, 0, kArrayLen);
    for (int i = 0; i < n; ++i) {
        t.Freq.push_back(s.FreqAxis[static_cast<size_t>(i)]);
        t.Level.push_back(s.NormLevel[static_cast<size_t>(i)]);
    }
    return t;
}

namespace {

StoredTrace memoryFrom(const TraceRead& read, const std::string& name, double refLevel) {
    const auto column = [&](const char* wanted) -> const TraceColumn* {
        for (const TraceColumn& c : read.Levels) {
            if (c.Name == wanted) {
                return &c;
            }
        }
        return nullptr;
    };
    StoredTrace t;
    t.Freq = read.FrequencyHz;
    if (const TraceColumn* norm = column("norm_level_db")) {
        t.Level = norm->Values;
    } else if (const TraceColumn* value = column("value")) {
        for (const double v : value->Values) {
            t.Level.push_back(v + refLevel);
        }
    } else {
        throw EMemoryFileError(name + ": the file has no column norm_level_db.");
    }
    if (t.Freq.size() < 2) {
        throw EMemoryFileError(name + ": the file holds fewer than two points.");
    }
    if (t.Freq.size() > static_cast<size_t>(kArrayLen)) {
        throw EMemoryFileError(name + ": the file holds more points than a sweep has.");
    }
    for (size_t i = 0; i < t.Freq.size(); ++i) {
        if (!std::isfinite(t.Freq[i]) || !std::isfinite(t.Level[i])) {
            throw EMemoryFileError(name + ": point " + std::to_string(i + 1) +
                                   " is not a finite number.");
        }
        if (i > 0 && !(t.Freq[i] > t.Freq[i - 1])) {
            throw EMemoryFileError(name + ": the frequencies do not rise at point " +
                                   std::to_string(i + 1) + ".");
        }
    }
    return t;
}

} // namespace

StoredTrace MemoryFromTraceFile(const std::string& bytes, const std::string& name,
                                double refLevel) {
    TraceRead read;
    try {
        read = ParseTraceCsv(bytes, name);
    } catch (const std::runtime_error& e) {
        throw EMemoryFileError(e.what());
    }
    return memoryFrom(read, name, refLevel);
}

StoredTrace ReadMemoryFile(const std::string& path, double refLevel) {
    TraceRead read;
    try {
        read = ReadTraceCsv(path);
    } catch (const EInOutError&) {
        throw;
    } catch (const std::runtime_error& e) {
        throw EMemoryFileError(e.what());
    }
    return memoryFrom(read, path, refLevel);
}

void SetMemory(MeasState& s, const StoredTrace& t) {
    const size_t n = std::min({t.Freq.size(), t.Level.size(), static_cast<size_t>(kArrayLen)});
    s.MemFreq.fill(0);
    s.MemLevel.fill(0);
    std::copy_n(t.Freq.begin(), n, s.MemFreq.begin());
    std::copy_n(t.Level.begin(), n, s.MemLevel.begin());
    s.MemPoints = static_cast<int32_t>(n);
}

} // namespace myrl
