#include "TraceFile.h"

#include "CalFile.h"
#include "Convert.h"
#include "Rnd.h"
#include "TextFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace myrl {

const char* const kTraceColumns[5] = {"frequency_hz", "level_db", "swr", "raw_level_db",
                                      "norm_level_db"};

namespace {

// A trace file of more rows, or more bytes, than this is no trace of this program.
constexpr size_t kMaxTraceLines = 100000;
constexpr size_t kMaxTraceBytes = 1 << 20;

// The shortest text that reads back to the same double, always with a full stop.
std::string Num(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string Two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string Date(const std::tm& t) {
    return std::to_string(t.tm_year + 1900) + "-" + Two(t.tm_mon + 1) + "-" + Two(t.tm_mday);
}

std::string Time(const std::tm& t) {
    return Two(t.tm_hour) + ":" + Two(t.tm_min) + ":" + Two(t.tm_sec);
}

std::string Hz(double v) {
    return Num(v) + " Hz";
}

int32_t LastPoint(const MeasState& s) {
    return std::min(s.SweepSteps, kArrayLen - 1);
}

std::string PlanText(const MeasState& s, PlanDefinition def) {
    const double start = s.StartFreq;
    const double stop = s.StopFreq;
    switch (def) {
    case PlanDefinition::CentreSpan:
        return "CENTER/SPAN, center " + FreqInUnit((start + stop) / 2) + ", span " +
               FreqInUnit(stop - start) + " (start " + Hz(start) + ", stop " + Hz(stop) + ")";
    case PlanDefinition::ZeroSpan:
        return "ZERO SPAN, frequency " + FreqInUnit(start);
    case PlanDefinition::StartStop:
        break;
    }
    return "START/STOP, start " + FreqInUnit(start) + ", stop " + FreqInUnit(stop) + " (" +
           Hz(start) + " to " + Hz(stop) + ")";
}

std::string CalibrationText(const MeasState& s, const TraceFileInfo& info) {
    const std::string& mode = info.Mode;
    const auto last = static_cast<size_t>(LastPoint(s));
    const bool taken = CalibrationTaken(s);
    const std::string which = info.Calibration.empty() ? std::string("the last CAL sweep")
                                                       : "the calibration file " + info.Calibration;
    std::string cal = !taken ? "no CAL sweep taken in this run"
                      : s.CalZeroSpan
                          ? which + ", in zero span"
                          : which + ", " + Hz(s.CalFreq[0]) + " to " + Hz(s.CalFreq[last]);
    if (mode == "NORM") {
        return cal + ", subtracted from each level";
    }
    if (mode == "CAL") {
        return "this sweep is taken as the calibration";
    }
    return "none applied (" + mode + "); " + cal;
}

// `text` as one line of a file: a line end in it (CR or LF, each a line end to the readers)
// would end the comment it stands in and start a line that is no comment.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> out;
    size_t from = 0;
    for (;;) {
        const size_t comma = line.find(',', from);
        out.push_back(line.substr(from, comma - from));
        if (comma == std::string_view::npos) {
            return out;
        }
        from = comma + 1;
    }
}

bool ParseNumber(std::string_view field, double& v) {
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    if (field.empty()) {
        return false;
    }
    const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
    return r.ec == std::errc() && r.ptr == field.data() + field.size();
}

[[noreturn]] void Foreign(const std::string& name, size_t line, const std::string& why) {
    throw std::runtime_error(name + ", line " + std::to_string(line) +
                             ": not a trace file of MYRL: " + why + ".");
}

TraceRead ParseLines(const std::vector<std::string_view>& lines, const std::string& name) {
    if (lines.size() > kMaxTraceLines) {
        throw std::runtime_error(name + ": not a trace file of MYRL: more than " +
                                 std::to_string(kMaxTraceLines) + " lines.");
    }
    TraceRead out;
    size_t columns = 0; // number of fields per row, once known
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fields = Split(line);
        if (columns == 0) {
            double probe = 0;
            if (fields.front() == kTraceColumns[0]) {
                if (fields.size() < 2) {
                    Foreign(name, i + 1, "the header names no level column");
                }
                for (size_t c = 1; c < fields.size(); ++c) {
                    if (fields[c].empty()) {
                        Foreign(name, i + 1, "a column of the header has no name");
                    }
                    out.Levels.push_back({std::string(fields[c]), {}});
                }
                columns = fields.size();
                continue;
            }
            if (fields.size() != 2 || !ParseNumber(fields[0], probe)) {
                Foreign(name, i + 1,
                        "it starts neither with the header \"frequency_hz,...\" nor with a "
                        "line \"frequency,value\"");
            }
            out.Levels.push_back({"value", {}});
            columns = 2;
        }
        if (fields.size() != columns) {
            Foreign(name, i + 1,
                    std::to_string(fields.size()) + " fields where the file has " +
                        std::to_string(columns) + " columns");
        }
        double v = 0;
        for (size_t c = 0; c < columns; ++c) {
            if (!ParseNumber(fields[c], v)) {
                Foreign(name, i + 1, QuotedText(fields[c], '"') + " is not a number");
            }
            (c == 0 ? out.FrequencyHz : out.Levels[c - 1].Values).push_back(v);
        }
    }
    if (out.FrequencyHz.empty()) {
        throw std::runtime_error(name + ": not a trace file of MYRL: it holds no points.");
    }
    return out;
}

} // namespace

std::string FreqInUnit(double hz) {
    const long long n = rnd64(hz);
    const unsigned long long a =
        n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    struct Unit {
        unsigned long long scale;
        int digits;
        const char* name;
    };
    static constexpr Unit units[] = {
        {1000000000ULL, 9, "GHz"}, {1000000ULL, 6, "MHz"}, {1000ULL, 3, "kHz"}, {1ULL, 0, "Hz"}};
    for (const Unit& u : units) {
        if (a >= u.scale || u.scale == 1) {
            std::string text = std::string(n < 0 ? "-" : "").append(std::to_string(a / u.scale));
            if (u.digits > 0 && a % u.scale != 0) {
                std::string frac = std::to_string(a % u.scale);
                frac.insert(0, static_cast<size_t>(u.digits) - frac.size(), '0');
                frac.erase(frac.find_last_not_of('0') + 1);
                text += "." + frac;
            }
            return text + u.name;
        }
    }
    return "0Hz";
}

std::string OfferedFileName(PlanDefinition def, double startHz, double stopHz, const std::tm& when,
                            const std::string& extension) {
    std::string plan;
    switch (def) {
    case PlanDefinition::CentreSpan:
        plan = FreqInUnit((startHz + stopHz) / 2) + "-" + FreqInUnit(stopHz - startHz);
        break;
    case PlanDefinition::ZeroSpan:
        plan = FreqInUnit(startHz);
        break;
    case PlanDefinition::StartStop:
        plan = FreqInUnit(startHz) + "-" + FreqInUnit(stopHz);
        break;
    }
    return "myrl-" + plan + "-" + std::to_string(when.tm_year + 1900) + Two(when.tm_mon + 1) +
           Two(when.tm_mday) + "-" + Two(when.tm_hour) + Two(when.tm_min) + extension;
}

std::string TraceCsvBytes(const MeasState& s, const TraceFileInfo& info) {
    std::string out;
    auto comment = [&out](const std::string& line) { out += "# " + OneLine(line) + "\n"; };
    comment(info.Program);
    comment("written: " + Date(info.Written) + " " + Time(info.Written));
    comment("plan: " + PlanText(s, info.Plan));
    comment(std::string("FREX: ") + (info.Frex ? "on" : "off"));
    comment("sweep time: " + info.SweepTime);
    comment("mode: " + info.Mode);
    comment("reference level: " + Num(s.RefLevel) + " dB");
    comment("averaging: " + info.Averaging + " (" + std::to_string(s.AvrCount) +
            (s.AvrCount == 1 ? " sweep" : " sweeps") + " in the average now)");
    comment("calibration: " + CalibrationText(s, info));
    comment("level_db: level relative to the reference level, as the level chart shows it; "
            "swr: standing-wave ratio; raw_level_db: averaged level before THRU/NORM/CAL; "
            "norm_level_db: level after THRU/NORM/CAL");
    for (size_t c = 0; c < 5; ++c) {
        out += c == 0 ? "" : ",";
        out += kTraceColumns[c];
    }
    out += "\n";
    for (int32_t i = 0; i <= LastPoint(s); ++i) {
        const auto k = static_cast<size_t>(i);
        out += Num(s.FreqAxis[k]) + "," + Num(s.NormLevel[k] - s.RefLevel) + "," +
               Num(s.SwrTrace[k]) + "," + Num(s.RawLevel[k]) + "," + Num(s.NormLevel[k]) + "\n";
    }
    return out;
}

bool TouchstoneApplies(const MeasState& s, const std::string& mode, bool swr) {
    return mode == "NORM" && !swr && TouchstoneAxisRises(s);
}

bool TouchstoneAxisRises(const MeasState& s) {
    if (s.ZeroSpan || s.SweepSteps < 1) {
        return false;
    }
    for (int32_t i = 1; i <= LastPoint(s); ++i) {
        const auto k = static_cast<size_t>(i);
        if (!(s.FreqAxis[k] > s.FreqAxis[k - 1])) {
            return false;
        }
    }
    return true;
}

std::string TouchstoneBytes(const MeasState& s, const TraceFileInfo& info, TouchstoneParam param) {
    const char* what = param == TouchstoneParam::S21 ? "S21 (transmission)" : "S11 (reflection)";
    std::string out;
    out += "! " + OneLine(info.Program) + ", written " + Date(info.Written) + " " +
           Time(info.Written) + "\n";
    if (info.Mode == "THRU") {
        out += std::string("! ") + what + " magnitude in dB: the THRU level as the unit " +
               "measured it, no calibration subtracted\n";
    } else if (!CalibrationTaken(s)) {
        out += std::string("! ") + what + " magnitude in dB: the NORM level with no " +
               "calibration taken or loaded: the level as the unit measured it, nothing " +
               "subtracted\n";
    } else {
        out += std::string("! ") + what + " magnitude in dB: the NORM level, relative to " +
               (info.Calibration.empty() ? std::string("the CAL sweep of this run")
                                         : "the calibration file " + OneLine(info.Calibration)) +
               "\n";
    }
    out += "! " + PlanText(s, info.Plan) + "\n";
    out += "! The angle was not measured: the angle column is 0.\n";
    out += "# Hz S DB R 50\n";
    for (int32_t i = 0; i <= LastPoint(s); ++i) {
        const auto k = static_cast<size_t>(i);
        out += Num(s.FreqAxis[k]) + " " + Num(s.NormLevel[k]) + " 0\n";
    }
    return out;
}

TraceRead ParseTraceCsv(const std::string& bytes, const std::string& name) {
    return ParseLines(TextLines(bytes, kMaxTraceLines + 1), name);
}

TraceRead ReadTraceCsv(const std::string& path) {
    const std::string bytes = ReadFileBytes(path, kMaxTraceBytes);
    if (bytes.size() > kMaxTraceBytes) {
        throw std::runtime_error(path + ": not a trace file of MYRL: larger than " +
                                 std::to_string(kMaxTraceBytes >> 20) + " MiB.");
    }
    return ParseTraceCsv(bytes, path);
}

std::tm LocalTimeNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string SavedLine(const std::string& path, const std::tm& when) {
    return "Saved " + path + " at " + Time(when);
}

} // namespace myrl
