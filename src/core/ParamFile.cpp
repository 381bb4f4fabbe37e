#include "ParamFile.h"

#include "Convert.h"
#include "Errors.h"
#include "Format.h"
#include "Rnd.h"
#include "TextFile.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <limits>
#include <sys/stat.h>

namespace myrl {

std::vector<std::string> ReadParamLines(const std::string& path) {
    return ReadTextLines(path, 15, kParamLineBytes, kParamFileBytes);
}

ParamFileStart CheckParamFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        return {};
    }
    try {
        ReadFileBytes(path, 0); // opens it as the loader will, and reads at most one byte
        return {true, {}};
    } catch (const EInOutError& e) {
        if (e.Errno == ENOENT) {
            return {}; // a link to a file not there (yet)
        }
        EInOutError reason = e;
        reason.Path.clear(); // the reason alone
        return {false, path + " exists but cannot be read (" + InOutErrorDetail(reason) +
                           "): MYRL starts with the defaults and leaves the file as it is when "
                           "it closes."};
    } catch (const std::exception& e) {
        return {false, path + " cannot be read (" + e.what() +
                           "): MYRL starts with the defaults and leaves the file as it is when "
                           "it closes."};
    }
}

void ApplyParamLines(const std::vector<std::string>& lines, char decimalSep, ParamSink& sink,
                     int* failedLine) {
    int scratch = 0;
    int& current = failedLine ? *failedLine : scratch;
    auto line = [&](size_t n) -> std::string {
        current = static_cast<int>(n);
        return n <= lines.size() ? lines[n - 1] : "";
    };
    auto real = [&](size_t n) { return StrToFloat(line(n), decimalSep); };

    sink.SetPortNo(StrToInt(line(1)));
    sink.SetGenClock(real(2));
    sink.SetFrexRef(real(3));
    sink.SetLevelOffset(real(4));
    sink.SetFDefIndex(StrToInt(line(5)));
    sink.SetEdit1(line(6));
    sink.SetEdit2(line(7));
    sink.SetFrex(line(8) == "ON");
    sink.SetMarker1X(StrToInt(line(9)));
    sink.SetMarker2X(StrToInt(line(10)));
    sink.SetForm1Top(StrToInt(line(11)));
    sink.SetForm1Left(StrToInt(line(12)));

    auto width = TryStrToInt(line(13));
    if (!width) {
        sink.PlaceForm2BesideForm1();
        return;
    }
    sink.SetForm1Width(*width);
    auto top = TryStrToInt(line(14));
    if (!top) {
        sink.PlaceForm2BesideForm1();
        return;
    }
    sink.SetForm2Top(*top);
    auto left = TryStrToInt(line(15));
    if (!left) {
        sink.PlaceForm2BesideForm1();
        return;
    }
    sink.SetForm2Left(*left);
}

namespace {

struct ParamsRecord : ParamSink {
    StoredParams p;
    void SetPortNo(int32_t v) override { p.PortNo = v; }
    void SetGenClock(double v) override { p.GenClock = v; }
    void SetFrexRef(double v) override { p.FrexRef = v; }
    void SetLevelOffset(double v) override { p.LevelOffset = v; }
    void SetFDefIndex(int32_t v) override { p.FDefIndex = v; }
    void SetEdit1(const std::string& v) override { p.Edit1 = v; }
    void SetEdit2(const std::string& v) override { p.Edit2 = v; }
    void SetFrex(bool v) override { p.Frex = v; }
    void SetMarker1X(int32_t v) override { p.Marker1X = v; }
    void SetMarker2X(int32_t v) override { p.Marker2X = v; }
    void SetForm1Top(int32_t v) override { p.Form1Top = v; }
    void SetForm1Left(int32_t v) override { p.Form1Left = v; }
    void SetForm1Width(int32_t v) override { p.Form1Width = v; }
    void SetForm2Top(int32_t v) override { p.Form2Top = v; }
    void SetForm2Left(int32_t v) override { p.Form2Left = v; }
    void PlaceForm2BesideForm1() override {}
};

} // namespace

StoredParams ParamsFromLines(const std::vector<std::string>& lines, char decimalSep,
                             int* failedLine) {
    ParamsRecord r;
    ApplyParamLines(lines, decimalSep, r, failedLine);
    return r.p;
}

void ApplyDefaultParams(int32_t graph1Width, ParamSink& sink) {
    const StoredParams d;
    sink.SetPortNo(d.PortNo);
    sink.SetGenClock(d.GenClock);
    sink.SetFrexRef(d.FrexRef);
    sink.SetLevelOffset(d.LevelOffset);
    sink.SetFDefIndex(d.FDefIndex);
    sink.SetEdit1(d.Edit1);
    sink.SetEdit2(d.Edit2);
    sink.SetFrex(d.Frex);
    sink.SetMarker1X(rnd((graph1Width - 1) * 0.2));
    sink.SetMarker2X(rnd((graph1Width - 1) * 0.8));
    sink.SetForm1Top(d.Form1Top);
    sink.SetForm1Left(d.Form1Left);
    sink.PlaceForm2BesideForm1();
}

WindowLines WindowLinesAsRead(const std::vector<std::string>& lines, int32_t layoutWidth) {
    auto line = [&](size_t n) -> std::optional<std::string> {
        return n <= lines.size() ? std::optional(lines[n - 1]) : std::nullopt;
    };
    const std::string top = line(11).value_or("0");
    const std::string left = line(12).value_or("0");
    const std::string width = line(13).value_or(std::to_string(layoutWidth));
    const std::optional<int32_t> w = TryStrToInt(width);
    const int32_t shownWidth = w && *w >= 1 ? *w : layoutWidth;
    const int64_t besideLeft = int64_t{TryStrToInt(left).value_or(0)} + shownWidth;
    const int64_t clamped = std::clamp<int64_t>(besideLeft, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
    return {top, left, width, line(14).value_or(top), line(15).value_or(std::to_string(clamped))};
}

std::string FormatParamFile(const StoredParams& p, char decimalSep) {
    const std::string lines[] = {std::to_string(p.PortNo),
                                 FormatGeneral(p.GenClock, decimalSep),
                                 FormatGeneral(p.FrexRef, decimalSep),
                                 FormatGeneral(p.LevelOffset, decimalSep),
                                 std::to_string(p.FDefIndex),
                                 p.Edit1,
                                 p.Edit2,
                                 p.Frex ? "ON" : "OFF",
                                 std::to_string(p.Marker1X),
                                 std::to_string(p.Marker2X),
                                 std::to_string(p.Form1Top),
                                 std::to_string(p.Form1Left),
                                 std::to_string(p.Form1Width),
                                 std::to_string(p.Form2Top),
                                 std::to_string(p.Form2Left)};
    std::string out;
    for (size_t i = 0; i < std::size(lines); ++i) {
        out += i >= 10 && p.WindowLinesAsRead ? (*p.WindowLinesAsRead)[i - 10] : lines[i];
        out += "\r\n";
    }
    return out;
}

} // namespace myrl
