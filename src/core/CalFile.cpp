#include "CalFile.h"

#include "Convert.h"
#include "Errors.h"
#include "TextFields.h"
#include "TextFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <system_error>
#include <utility>
#include <vector>

namespace myrl {

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

std::string number(double v) {
    if (!std::isfinite(v)) {
        throw ECalFileError("A calibration value is not a finite number; nothing was written.");
    }
    return ShortestDouble(v);
}

std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::string_view text) : lines_(TextLines(text)) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw ECalFileError("Line " + std::to_string(line_ + 1) +
                            " of the calibration file: " + what + ".");
    }

    bool empty() const { return lines_.empty(); }

    // The next line that is neither blank nor a comment (the first line is never skipped).
    std::string_view next() {
        if (started_) {
            ++line_;
        }
        started_ = true;
        while (line_ < lines_.size() && line_ > 0 &&
               (lines_[line_].empty() || lines_[line_][0] == '#')) {
            ++line_;
        }
        if (line_ >= lines_.size()) {
            fail("the file ends early");
        }
        return lines_[line_];
    }

    bool atEnd() {
        ++line_;
        while (line_ < lines_.size() && (lines_[line_].empty() || (lines_[line_][0] == '#'))) {
            ++line_;
        }
        return line_ >= lines_.size();
    }

    // The value of "<key> <value>".
    std::string_view value(std::string_view key) {
        const std::string_view l = next();
        if (l.size() < key.size() + 1 || l.substr(0, key.size()) != key || l[key.size()] != ' ') {
            fail(std::string("\"").append(key) + "\" expected");
        }
        return l.substr(key.size() + 1);
    }

    double real(std::string_view text, const char* what) {
        double v = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
        if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size() ||
            !std::isfinite(v)) {
            fail(std::string(what) + " is not a number");
        }
        return v;
    }

    long integer(std::string_view text, const char* what, long lo, long hi) {
        long v = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
        if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size() ||
            v < lo || v > hi) {
            fail(std::string(what) + " must be a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi));
        }
        return v;
    }

    bool flag(std::string_view key) {
        return integer(value(key), std::string(key).c_str(), 0, 1) == 1;
    }

    std::string unescape(std::string_view text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++i == text.size()) {
                fail("the note ends in a lone backslash");
            }
            switch (text[i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                fail("the note holds an unknown escape");
            }
        }
        return out;
    }

private:
    std::vector<std::string_view> lines_;
    size_t line_ = 0;
    bool started_ = false;
};

} // namespace

bool CalibrationTaken(const MeasState& s) {
    const auto nonZero = [](double v) { return v != 0; };
    return std::any_of(s.CalFreq.begin(), s.CalFreq.end(), nonZero) ||
           std::any_of(s.CalLevel.begin(), s.CalLevel.end(), nonZero);
}

CalRecord CalRecordFrom(const MeasState& s, bool frex, std::string taken, std::string note) {
    CalRecord r;
    r.StartFreq = s.StartFreq;
    r.StopFreq = s.StopFreq;
    r.ZeroSpan = s.CalZeroSpan;
    r.Frex = frex;
    r.SweepTimeIdx = s.SweepTimeIdx;
    r.LevelOffset = s.LevelOffset;
    r.AvrNum = s.AvrNum;
    r.Taken = std::move(taken);
    r.Note = std::move(note);
    r.CalFreq = s.CalFreq;
    r.CalLevel = s.CalLevel;
    return r;
}

std::string FormatCalFile(const CalRecord& r) {
    std::string out = std::string(kCalFileMagic) + " " + std::to_string(kCalFileVersion) + "\n";
    out += "# Calibration sweep of MYRL: the levels (dB) over the frequencies (Hz) of the sweep\n";
    out += "start_hz " + number(r.StartFreq) + "\n";
    out += "stop_hz " + number(r.StopFreq) + "\n";
    out += std::string("zero_span ") + (r.ZeroSpan ? "1" : "0") + "\n";
    out += std::string("frex ") + (r.Frex ? "1" : "0") + "\n";
    out += "sweep_time " + number(r.SweepTimeIdx) + "\n";
    out += "level_offset_db " + number(r.LevelOffset) + "\n";
    out += "averaging " + std::to_string(r.AvrNum) + "\n";
    out += "taken " + escape(r.Taken) + "\n";
    out += "note " + escape(r.Note) + "\n";
    out += "points " + std::to_string(kArrayLen) + "\n";
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        out += std::to_string(i) + " " + number(r.CalFreq[i]) + " " + number(r.CalLevel[i]) + "\n";
    }
    out += "end\n";
    return out;
}

CalRecord ParseCalFile(std::string_view text) {
    Reader in(text);
    const std::string magic = std::string(kCalFileMagic) + " ";
    const std::string_view first = in.empty() ? std::string_view() : in.next();
    if (in.empty() || first.substr(0, magic.size()) != magic) {
        throw ECalFileError("This is not a MYRL calibration file (its first line is not \"" +
                            std::string(kCalFileMagic) + " <version>\").");
    }
    if (first.substr(magic.size()) != std::to_string(kCalFileVersion)) {
        throw ECalFileError("This calibration file is of version " +
                            QuotedText(first.substr(magic.size()), '"') +
                            "; this MYRL reads version " + std::to_string(kCalFileVersion) + ".");
    }
    CalRecord r;
    r.StartFreq = in.real(in.value("start_hz"), "start_hz");
    r.StopFreq = in.real(in.value("stop_hz"), "stop_hz");
    r.ZeroSpan = in.flag("zero_span");
    r.Frex = in.flag("frex");
    r.SweepTimeIdx = in.real(in.value("sweep_time"), "sweep_time");
    if (r.SweepTimeIdx < 0 || r.SweepTimeIdx > 16) {
        in.fail("sweep_time must lie from 0 to 16");
    }
    r.LevelOffset = in.real(in.value("level_offset_db"), "level_offset_db");
    r.AvrNum = static_cast<int32_t>(in.integer(in.value("averaging"), "averaging", 1, kRingDepth));
    r.Taken = in.unescape(in.value("taken"));
    r.Note = in.unescape(in.value("note"));
    in.integer(in.value("points"), "points", kArrayLen, kArrayLen);
    for (long i = 0; i < kArrayLen; ++i) {
        const std::string_view l = in.next();
        const size_t a = l.find(' ');
        const size_t b = a == std::string_view::npos ? a : l.find(' ', a + 1);
        if (b == std::string_view::npos) {
            in.fail("an entry \"<index> <frequency> <level>\" expected");
        }
        in.integer(l.substr(0, a), "the entry's index", i, i);
        const auto k = static_cast<size_t>(i);
        r.CalFreq[k] = in.real(l.substr(a + 1, b - a - 1), "the frequency");
        r.CalLevel[k] = in.real(l.substr(b + 1), "the level");
    }
    if (in.next() != "end") {
        in.fail("\"end\" expected");
    }
    if (!in.atEnd()) {
        in.fail("text after \"end\"");
    }
    return r;
}

CalRecord ReadCalFile(const std::string& path) {
    const std::string text = ReadFileBytes(path, kMaxFileBytes);
    if (text.size() > kMaxFileBytes) {
        throw ECalFileError("This file is far larger than any calibration file.");
    }
    return ParseCalFile(text);
}

void WriteCalFile(const std::string& path, const CalRecord& r) {
    WriteFileReplacing(path, FormatCalFile(r));
}

CalCoverage CoverageOf(const CalRecord& r) {
    return {r.CalFreq[0], r.CalFreq[static_cast<size_t>(kSweepStepCount)]};
}

std::string CoverageText(const CalRecord& r) {
    if (r.ZeroSpan) {
        return "a zero-span sweep";
    }
    const CalCoverage c = CoverageOf(r);
    return ShortHz(c.Lo) + "–" + ShortHz(c.Hi);
}

std::string ShortHz(double hz) {
    const double a = std::fabs(hz);
    const char* unit = "Hz";
    double v = hz;
    if (a >= 1e6) {
        v = hz / 1e6;
        unit = "MHz";
    } else if (a >= 1e3) {
        v = hz / 1e3;
        unit = "kHz";
    }
    std::array<char, 64> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 6);
    return std::string(buf.data(), res.ptr) + " " + unit;
}

std::string CoverageWarning(const CalRecord& r, double planLo, double planHi) {
    if (planHi < planLo) {
        std::swap(planLo, planHi);
    }
    const std::string plan = ", the plan " + ShortHz(planLo) + "–" + ShortHz(planHi);
    if (r.ZeroSpan) {
        return "the calibration is " + CoverageText(r) + plan + ": NORM uses its edge levels";
    }
    const CalCoverage c = CoverageOf(r);
    if (planLo >= c.Lo && planHi <= c.Hi) {
        return "";
    }
    return "the calibration covers " + CoverageText(r) + plan +
           ": outside it NORM uses the edge levels";
}

} // namespace myrl
