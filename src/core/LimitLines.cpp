#include "LimitLines.h"

#include "CalFile.h"
#include "Format.h"
#include "TextFields.h"
#include "TextFile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace myrl {

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

std::string number(double v) {
    if (!std::isfinite(v)) {
        throw ELimitFileError("A limit value is not a finite number; nothing was written.");
    }
    return ShortestDouble(v);
}

// The line without its comment and surrounding blanks.
std::string_view content(std::string_view line) {
    const size_t hash = line.find('#');
    return TrimBlanks(hash == std::string_view::npos ? line : line.substr(0, hash));
}

[[noreturn]] void fail(size_t line, const std::string& what) {
    throw ELimitFileError("Line " + std::to_string(line) + " of the limits file: " + what + ".");
}

} // namespace

const char* LimitViewName(LimitView view) {
    return view == LimitView::Swr ? "swr" : "level";
}

std::optional<LimitView> LimitViewFromName(std::string_view name) {
    if (name == "level") {
        return LimitView::Level;
    }
    if (name == "swr") {
        return LimitView::Swr;
    }
    return std::nullopt;
}

double LimitAt(const LimitSegment& s, double hz) {
    if (s.F1 == s.F2) {
        return s.Upper ? std::max(s.V1, s.V2) : std::min(s.V1, s.V2);
    }
    if (hz == s.F1) {
        return s.V1;
    }
    if (hz == s.F2) {
        return s.V2;
    }
    return s.V1 + (hz - s.F1) * (s.V2 - s.V1) / (s.F2 - s.F1);
}

std::string FormatLimitSegment(const LimitSegment& s) {
    std::string line = s.Upper ? "upper" : "lower";
    for (double v : {s.F1, s.V1, s.F2, s.V2}) {
        line += ',';
        line += number(v);
    }
    if (!s.On) {
        line += ",off";
    }
    return line;
}

std::optional<LimitSegment> ParseLimitSegment(std::string_view line, std::string& why) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (true) {
        const size_t comma = line.find(',', pos);
        fields.push_back(
            TrimBlanks(line.substr(pos, comma == std::string_view::npos ? comma : comma - pos)));
        if (comma == std::string_view::npos) {
            break;
        }
        pos = comma + 1;
    }
    LimitSegment s;
    if (fields[0] == "upper" || fields[0] == "lower") {
        s.Upper = fields[0] == "upper";
    } else {
        why = "a segment \"upper|lower,F1,V1,F2,V2\" expected";
        return std::nullopt;
    }
    if (fields.size() < 5 || fields.size() > 6) {
        why = "a segment has five fields, \"upper|lower,F1,V1,F2,V2\", and \",off\" after them "
              "at most";
        return std::nullopt;
    }
    const char* names[] = {"F1", "V1", "F2", "V2"};
    double* values[] = {&s.F1, &s.V1, &s.F2, &s.V2};
    for (size_t i = 0; i < 4; ++i) {
        const auto v = ParseDouble(fields[i + 1]);
        if (!v) {
            why = std::string(i % 2 == 0 ? "the frequency " : "the value ") + names[i] +
                  " is not a number (a full stop for decimals)";
            return std::nullopt;
        }
        *values[i] = *v;
    }
    if (fields.size() == 6) {
        if (fields[5] != "off") {
            why = "only \"off\" may follow V2";
            return std::nullopt;
        }
        s.On = false;
    }
    return s;
}

std::string FormatLimitFile(const LimitSet& set) {
    std::string out = std::string(kLimitFileMagic) + " " + std::to_string(kLimitFileVersion) + "\n";
    out += "# MYRL limit lines: upper|lower,F1 (Hz),V1,F2 (Hz),V2[,off]; values in ";
    out += set.View == LimitView::Swr ? "SWR\n" : "dB (the level a data file holds)\n";
    out += std::string("view ") + LimitViewName(set.View) + "\n";
    for (const LimitSegment& s : set.Segments) {
        out += FormatLimitSegment(s) + "\n";
    }
    return out;
}

LimitSet ParseLimitFile(std::string_view text) {
    std::string why;
    const std::vector<std::string_view> lines =
        VersionedTextLines(text, kLimitFileMagic, kLimitFileVersion, "limits", why);
    if (!why.empty()) {
        throw ELimitFileError(why);
    }
    LimitSet set;
    bool viewSeen = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view l = content(lines[i]);
        if (l.empty()) {
            continue;
        }
        const size_t number = i + 1;
        if (!viewSeen) {
            if (!l.starts_with("view ") && l != "view") {
                fail(number, "\"view level\" or \"view swr\" expected");
            }
            const auto view = LimitViewFromName(TrimBlanks(l.substr(4)));
            if (!view) {
                fail(number, "the view is \"level\" or \"swr\"");
            }
            set.View = *view;
            viewSeen = true;
            continue;
        }
        std::string why;
        const auto segment = ParseLimitSegment(l, why);
        if (!segment) {
            fail(number, why);
        }
        if (set.Segments.size() == kMaxLimitSegments) {
            fail(number, "more than " + std::to_string(kMaxLimitSegments) + " segments");
        }
        set.Segments.push_back(*segment);
    }
    if (!viewSeen) {
        fail(lines.size() + 1, "the file ends before its \"view\" line");
    }
    return set;
}

LimitSet ReadLimitFile(const std::string& path) {
    const std::string text = ReadFileBytes(path, kMaxFileBytes);
    if (text.size() > kMaxFileBytes) {
        throw ELimitFileError("This file is far larger than any limits file.");
    }
    return ParseLimitFile(text);
}

void WriteLimitFile(const std::string& path, const LimitSet& set) {
    WriteFileReplacing(path, FormatLimitFile(set));
}

LimitSet LimitsAroundTrace(std::span<const double> freq, std::span<const double> level,
                           double offsetDb) {
    const double off = std::fabs(offsetDb);
    const size_t n = std::min(freq.size(), level.size());
    LimitSet set;
    for (bool upper : {true, false}) {
        const double d = upper ? off : -off;
        for (size_t i = 0; i + 1 < n; ++i) {
            if (freq[i + 1] > freq[i]) {
                set.Segments.push_back(
                    {upper, freq[i], level[i] + d, freq[i + 1], level[i + 1] + d, true});
            }
        }
    }
    return set;
}

LimitSet Tightened(const LimitSet& set, double by) {
    LimitSet out = set;
    for (LimitSegment& s : out.Segments) {
        const double d = s.Upper ? -by : by;
        s.V1 += d;
        s.V2 += d;
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Verdict

const char* VerdictName(VerdictKind kind) {
    switch (kind) {
    case VerdictKind::Pass:
        return "PASS";
    case VerdictKind::Fail:
        return "FAIL";
    case VerdictKind::NoPoints:
        break;
    }
    return "no points in range";
}

LimitVerdict JudgeLimits(const LimitSet& set, std::span<const double> freq,
                         std::span<const double> value) {
    const size_t n = std::min(freq.size(), value.size());
    LimitVerdict v;
    v.View = set.View;
    std::vector<char> tested(n, 0);
    std::vector<char> failing(n, 0);
    struct End {
        double Hz;
        double Value;
        bool Fails;
    };
    std::vector<End> ends;
    double worst = std::numeric_limits<double>::infinity();
    bool any = false;
    auto judge = [&](const LimitSegment& s, double hz, double trace) {
        const double limit = LimitAt(s, hz);
        double margin = s.Upper ? limit - trace : trace - limit;
        if (std::isnan(margin)) {
            margin = -std::numeric_limits<double>::infinity(); // a trace value of no number
        }
        any = true;
        if (margin < worst) {
            worst = margin;
            v.WorstHz = hz;
        }
        return margin < 0;
    };
    for (const LimitSegment& s : set.Segments) {
        if (!s.On) {
            continue;
        }
        const double lo = std::min(s.F1, s.F2);
        const double hi = std::max(s.F1, s.F2);
        for (size_t i = 0; i < n; ++i) {
            if (freq[i] >= lo && freq[i] <= hi) {
                tested[i] = 1;
                if (judge(s, freq[i], value[i])) {
                    failing[i] = 1;
                }
            }
        }
        // The segment's ends between two points, against the trace interpolated there.
        for (const double hz : {s.F1, s.F2}) {
            for (size_t j = 0; j + 1 < n; ++j) {
                if (freq[j] < hz && hz < freq[j + 1]) {
                    const double t = value[j] + (hz - freq[j]) * (value[j + 1] - value[j]) /
                                                    (freq[j + 1] - freq[j]);
                    ends.push_back({hz, t, judge(s, hz, t)});
                    break;
                }
            }
            if (s.F1 == s.F2) {
                break;
            }
        }
    }
    if (!any) {
        v.Kind = VerdictKind::NoPoints;
        v.WorstMargin = 0;
        v.WorstHz = 0;
        return v;
    }
    v.WorstMargin = worst;
    v.Kind = worst < 0 ? VerdictKind::Fail : VerdictKind::Pass;

    // Each end position once (two segments meeting between two points share it), failing
    // when any test there failed.
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
        return a.Hz < b.Hz || (a.Hz == b.Hz && a.Fails > b.Fails);
    });
    ends.erase(std::unique(ends.begin(), ends.end(),
                           [](const End& a, const End& b) { return a.Hz == b.Hz; }),
               ends.end());
    v.Tested = static_cast<int>(std::count(tested.begin(), tested.end(), 1) + ends.size());
    size_t e = 0;
    for (size_t i = 0; i <= n; ++i) {
        while (e < ends.size() && (i == n || ends[e].Hz < freq[i])) {
            if (ends[e].Fails) {
                v.Failures.push_back({ends[e].Hz, ends[e].Value, -1});
            }
            ++e;
        }
        if (i < n && failing[i]) {
            v.Failures.push_back({freq[i], value[i], static_cast<int>(i)});
        }
    }
    return v;
}

std::string MarginText(const LimitVerdict& v, char decimalSep) {
    if (v.View == LimitView::Swr) {
        return FormatFixed(v.WorstMargin, 1, 3, decimalSep) + " SWR";
    }
    return FormatFixed(v.WorstMargin, 1, 2, decimalSep) + " dB";
}

std::string VerdictLine(const LimitVerdict& v, char decimalSep) {
    std::string line = std::string("limits: ") + (v.Kind == VerdictKind::Pass ? "PASS" : "FAIL");
    if (v.Kind == VerdictKind::NoPoints) {
        return line + ", no points in range";
    }
    if (v.Kind == VerdictKind::Fail) {
        line += ", " + std::to_string(v.Failing()) +
                (v.Failing() == 1 ? " point outside" : " points outside");
    }
    std::string hz = ShortHz(v.WorstHz);
    if (decimalSep != '.') {
        std::replace(hz.begin(), hz.end(), '.', decimalSep);
    }
    return line + ", worst margin " + MarginText(v, decimalSep) + " at " + hz;
}

} // namespace myrl
