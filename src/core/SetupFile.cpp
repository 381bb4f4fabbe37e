#include "SetupFile.h"

#include "Convert.h"
#include "FreqEntry.h"
#include "FreqPlan.h"
#include "MeasState.h"
#include "Presentation.h"
#include "TextFields.h"
#include "TextFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace myrl {

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

const char* const kPlanNames[] = {"start_stop", "center_span", "zero_span"};
const char* const kKeys[] = {"plan",       "frex",        "sweep_time",   "averaging",
                             "mode",       "view",        "ref_position", "ref_level_db",
                             "db_per_div", "calibration", "limits",       "limits_view"};

std::string number(double v, const char* what) {
    if (!std::isfinite(v)) {
        throw ESetupFileError(std::string("The set-up's ") + what +
                              " is not a finite number; nothing was written.");
    }
    return ShortestDouble(v);
}

std::string_view uncommented(std::string_view line) {
    const size_t hash = line.find('#');
    return TrimBlanks(hash == std::string_view::npos ? line : line.substr(0, hash));
}

[[noreturn]] void fail(size_t line, const std::string& what) {
    throw ESetupFileError("Line " + std::to_string(line) + " of the set-up file: " + what + ".");
}

// A frequency field as the entry takes it ("10.7M" -> "10700000"), within what the fields
// hold; nothing for anything else.
std::optional<std::string> frequency(std::string_view text) {
    try {
        std::string hz = NormalisedFrequency(std::string(text), '.');
        if (TryStrToInt(hz) && hz.front() != '-') {
            return hz;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

bool onOff(size_t line, std::string_view key, std::string_view v) {
    if (v == "on") {
        return true;
    }
    if (v != "off") {
        fail(line, std::string(key) + " is \"on\" or \"off\"");
    }
    return false;
}

int whole(size_t line, std::string_view key, std::string_view v, int lo, int hi) {
    int n = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
    if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || n < lo || n > hi) {
        fail(line, std::string(key) + " must be a whole number from " + std::to_string(lo) +
                       " to " + std::to_string(hi));
    }
    return n;
}

} // namespace

std::string FormatSetupFile(const Setup& s) {
    if (s.FDefIndex < 0 || s.FDefIndex > 2) {
        throw ESetupFileError("The set-up's plan definition is not one of the list.");
    }
    if (std::any_of(s.Calibration.begin(), s.Calibration.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }) ||
        s.Calibration == "none" || TrimBlanks(s.Calibration) != s.Calibration) {
        throw ESetupFileError("The calibration file's name cannot be kept in a set-up file.");
    }
    std::string out = std::string(kSetupFileMagic) + " " + std::to_string(kSetupFileVersion) + "\n";
    out += "# MYRL set-up: plan, sweep, display, calibration file and limit lines\n";
    out += std::string("plan ") + kPlanNames[s.FDefIndex] + " " + s.Freq1;
    if (s.FDefIndex != 2) {
        out += " " + s.Freq2;
    }
    out += "\n";
    out += std::string("frex ") + (s.Frex ? "on" : "off") + "\n";
    out += "sweep_time " + SweepTimeItemText(s.SweepTimeIdx) + "\n";
    out += "averaging " + std::to_string(s.AvrNum) + "\n";
    out += "mode " + s.Mode + "\n";
    out += std::string("view ") + (s.Swr ? "swr" : "level") + "\n";
    out += "ref_position " + std::to_string(s.RefPos) + "\n";
    out += "ref_level_db " + number(s.RefLevel, "reference level") + "\n";
    out += "db_per_div " + std::to_string(s.DbPerDiv) + "\n";
    out += "calibration " + (s.Calibration.empty() ? std::string("none") : s.Calibration) + "\n";
    out += std::string("limits ") + (s.LimitsOn ? "on" : "off") + "\n";
    out += std::string("limits_view ") + LimitViewName(s.Limits.View) + "\n";
    try {
        for (const LimitSegment& seg : s.Limits.Segments) {
            out += FormatLimitSegment(seg) + "\n";
        }
    } catch (const ELimitFileError&) {
        throw ESetupFileError("A limit value is not a finite number; nothing was written.");
    }
    return out;
}

Setup ParseSetupFile(std::string_view text, const std::string& folder) {
    std::string why;
    const std::vector<std::string_view> lines =
        VersionedTextLines(text, kSetupFileMagic, kSetupFileVersion, "set-up", why);
    if (!why.empty()) {
        throw ESetupFileError(why);
    }

    Setup s;
    std::map<std::string, size_t, std::less<>> seen; // key -> line
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t at = i + 1;
        const std::string_view raw = TrimBlanks(lines[i]);
        if (raw.empty() || raw.front() == '#') {
            continue;
        }
        if (raw.starts_with("upper") || raw.starts_with("lower")) {
            std::string why;
            const auto seg = ParseLimitSegment(uncommented(raw), why);
            if (!seg) {
                fail(at, why);
            }
            if (s.Limits.Segments.size() == kMaxLimitSegments) {
                fail(at, "more than " + std::to_string(kMaxLimitSegments) + " segments");
            }
            s.Limits.Segments.push_back(*seg);
            continue;
        }
        const size_t blank = raw.find_first_of(" \t");
        const std::string_view key = raw.substr(0, blank);
        bool known = false;
        for (const char* k : kKeys) {
            known = known || key == k;
        }
        if (!known) {
            fail(at, QuotedText(key) + " is not a key of a set-up file");
        }
        if (const auto it = seen.find(key); it != seen.end()) {
            fail(at, std::string(key) + " is given twice (also on line " +
                         std::to_string(it->second) + ")");
        }
        seen.emplace(std::string(key), at);
        const std::string_view rest = blank == std::string_view::npos ? "" : raw.substr(blank);
        if (key == "calibration") {
            const std::string_view path = TrimBlanks(rest);
            if (path.empty()) {
                fail(at, "calibration names a file, or \"none\"");
            }
            if (std::any_of(path.begin(), path.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
                fail(at, "the calibration file's name holds a control character");
            }
            if (path == "none") {
                s.Calibration.clear();
            } else {
                std::filesystem::path p{std::string(path)};
                if (p.is_relative() && !folder.empty()) {
                    p = std::filesystem::path(folder) / p;
                }
                s.Calibration = p.string();
            }
            continue;
        }
        const std::string_view v = uncommented(rest);
        if (key == "plan") {
            const size_t b1 = v.find_first_of(" \t");
            const std::string_view kind = v.substr(0, b1);
            int def = -1;
            for (int k = 0; k < 3; ++k) {
                if (kind == kPlanNames[k]) {
                    def = k;
                }
            }
            if (def < 0) {
                fail(at, "the plan is \"start_stop F1 F2\", \"center_span F1 F2\" or "
                         "\"zero_span F\"");
            }
            std::vector<std::string_view> fields;
            std::string_view r = b1 == std::string_view::npos ? "" : TrimBlanks(v.substr(b1));
            while (!r.empty()) {
                const size_t b = r.find_first_of(" \t");
                fields.push_back(r.substr(0, b));
                r = b == std::string_view::npos ? "" : TrimBlanks(r.substr(b));
            }
            if (fields.size() != (def == 2 ? 1u : 2u)) {
                fail(at, std::string("a plan ") + kPlanNames[def] + " has " +
                             (def == 2 ? "one frequency" : "two frequencies"));
            }
            std::string hz[2] = {"", "0"};
            for (size_t k = 0; k < fields.size(); ++k) {
                const auto f = frequency(fields[k]);
                if (!f) {
                    fail(at, QuotedText(fields[k]) +
                                 " is not a frequency (whole hertz, or with k or M) from 0 to "
                                 "2147483647 Hz");
                }
                hz[k] = *f;
            }
            if (def == 0 && StrToInt(hz[0]) >= StrToInt(hz[1])) {
                fail(at, "the start must lie below the stop (for one frequency use zero_span)");
            }
            s.FDefIndex = def;
            s.Freq1 = hz[0];
            s.Freq2 = hz[1];
        } else if (key == "frex") {
            s.Frex = onOff(at, key, v);
        } else if (key == "sweep_time") {
            const auto item = SweepTimeItemFromText(v);
            if (!item) {
                fail(at, "sweep_time is an item of the SWEEP TIME list (<0.5, 0.5s ... 20s)");
            }
            s.SweepTimeIdx = *item;
        } else if (key == "averaging") {
            s.AvrNum = whole(at, key, v, 1, kRingDepth);
        } else if (key == "mode") {
            if (v != "THRU" && v != "NORM" && v != "CAL") {
                fail(at, "the mode is THRU, NORM or CAL");
            }
            s.Mode = std::string(v);
        } else if (key == "view" || key == "limits_view") {
            const auto view = LimitViewFromName(v);
            if (!view) {
                fail(at, std::string(key) + " is \"level\" or \"swr\"");
            }
            if (key == "view") {
                s.Swr = *view == LimitView::Swr;
            } else {
                s.Limits.View = *view;
            }
        } else if (key == "ref_position") {
            s.RefPos = whole(at, key, v, 0, 9);
        } else if (key == "ref_level_db") {
            const auto d = ParseDouble(v);
            if (!d || !(std::fabs(*d) < 100)) {
                fail(at, "ref_level_db is a number above -100 and below 100 (a full stop for "
                         "decimals)");
            }
            s.RefLevel = *d;
        } else if (key == "db_per_div") {
            const int d = whole(at, key, v, 1, 10);
            if (ValidDbPerDiv(d) != d) {
                fail(at, "db_per_div is 1, 2, 5 or 10");
            }
            s.DbPerDiv = d;
        } else if (key == "limits") {
            s.LimitsOn = onOff(at, key, v);
        }
    }
    for (const char* k : kKeys) {
        if (!seen.count(k)) {
            fail(lines.size() + 1, std::string("the file ends without its \"") + k + "\" line");
        }
    }
    return s;
}

Setup ReadSetupFile(const std::string& path) {
    const std::string text = ReadFileBytes(path, kMaxFileBytes);
    if (text.size() > kMaxFileBytes) {
        throw ESetupFileError("This file is far larger than any set-up file.");
    }
    return ParseSetupFile(text, std::filesystem::path(path).parent_path().string());
}

void WriteSetupFile(const std::string& path, const Setup& s) {
    WriteFileReplacing(path, FormatSetupFile(s));
}

} // namespace myrl
