#include "TraceMemory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace myrl {

namespace {

bool toDouble(std::string_view t, double& v) {
    const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && res.ec == std::errc() && res.ptr == t.data() + t.size() &&
           std::isfinite(v);
}

} // namespace

StoredTrace CurrentTrace(const MeasState& s) {
    StoredTrace t;
    const int n = std::clamp(s.PointNum, 0, kArrayLen);
    for (int i = 0; i < n; ++i) {
        t.Freq.push_back(s.FreqAxis[static_cast<size_t>(i)]);
        t.Level.push_back(s.NormLevel[static_cast<size_t>(i)]);
    }
    return t;
}

StoredTrace ParseExportText(std::string_view text, double refLevel) {
    StoredTrace t;
    size_t pos = 0;
    int line = 0;
    auto fail = [&](const std::string& what) {
        throw EMemoryFileError("Line " + std::to_string(line) + " of the data file: " + what + ".");
    };
    while (pos < text.size()) {
        ++line;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view l = text.substr(pos, end - pos);
        pos = end + 1;
        if (!l.empty() && l.back() == '\r') {
            l.remove_suffix(1);
        }
        const size_t comma = l.find(',');
        double f = 0;
        double v = 0;
        if (comma == std::string_view::npos || !toDouble(l.substr(0, comma), f) ||
            !toDouble(l.substr(comma + 1), v)) {
            fail("\"<frequency>,<value>\" expected");
        }
        if (!t.Freq.empty() && !(f > t.Freq.back())) {
            fail("the frequencies do not rise");
        }
        if (t.Freq.size() == static_cast<size_t>(kArrayLen)) {
            fail("more points than a sweep has");
        }
        t.Freq.push_back(f);
        t.Level.push_back(v + refLevel);
    }
    if (t.Freq.size() < 2) {
        throw EMemoryFileError("The data file holds fewer than two points.");
    }
    return t;
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
