// The parameter file "myrl_prm.txt": fifteen lines, one value each, CR LF line ends.
#pragma once

#include "UnitConstants.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace myrl {

constexpr const char* kParamFileName = "myrl_prm.txt";

// The most of a line the loader keeps. A value the program writes is at most 25
// characters and a typed frequency 11, so no line that is meant as a value comes near
// it, while a line of any length (a file that is not a parameter file) costs no more than
// this much to read and to report. A longer line keeps this much and a "…" after it:
// it converts to no number and lines 6 and 7 carry it into the frequency fields as text
// that does not convert there either.
constexpr size_t kParamLineBytes = 4096;

// A file that runs past this many bytes before its fifteenth line ends is no parameter file
// (fifteen lines of any length up to a few MiB still load, each cut after kParamLineBytes).
constexpr size_t kParamFileBytes = 16 << 20;

// The file's lines as the loader takes them: the first fifteen (a BOM at the start
// ignored), each cut after kParamLineBytes. Throws EInOutError.
std::vector<std::string> ReadParamLines(const std::string& path);

// What a run does with the parameter file, decided once at start.
struct ParamFileStart {
    bool Read = false; // read it; otherwise the defaults
    // When set, the file is left as it is at the close, for this reason (an English
    // sentence naming the file).
    std::string Leave;
};

// A missing file (or a link to a missing one): the defaults, and the file written at the
// close. A file that exists but cannot be read (another user's private file, one without
// read permission, a FIFO or a folder, a link refused as TextFile.h says): the defaults too,
// as for a missing file and without a message box, but left as it is at the close, since
// writing the defaults over it would lose it. Otherwise the file is read. Never throws.
ParamFileStart CheckParamFile(const std::string& path);
// Lines 11 to 15, the windows' placement, as text.
using WindowLines = std::array<std::string, 5>;

// Everything the file keeps.
struct StoredParams {
    int32_t PortNo = 1;
    double GenClock = kDefaultGenClock;
    double FrexRef = kDefaultFrexRef;
    double LevelOffset = 0;
    int32_t FDefIndex = 0; // 0 "START/STOP", 1 "CENTER/SPAN", 2 "ZERO SPAN"
    std::string Edit1 = "0";
    std::string Edit2 = "20000000";
    bool Frex = false;
    int32_t Marker1X = 0;
    int32_t Marker2X = 0;
    int32_t Form1Top = 0;
    int32_t Form1Left = 0;
    int32_t Form1Width = 0;
    int32_t Form2Top = 0;
    int32_t Form2Left = 0;
    // Set: lines 11 to 15 are these texts, not the five numbers above. For a window system
    // that places the windows itself and does not say where (a Wayland compositor), whose
    // positions would be made up: the lines go back as they were read (WindowLinesAsRead).
    std::optional<WindowLines> WindowLinesAsRead;
};

// Where the loaded values go, in file order. Each value is applied as soon as its line
// has converted, so a failure leaves the earlier ones in force.
class ParamSink {
public:
    virtual ~ParamSink() = default;
    virtual void SetPortNo(int32_t) = 0;
    virtual void SetGenClock(double) = 0;
    virtual void SetFrexRef(double) = 0;
    virtual void SetLevelOffset(double) = 0;
    virtual void SetFDefIndex(int32_t) = 0;
    virtual void SetEdit1(const std::string&) = 0;
    virtual void SetEdit2(const std::string&) = 0;
    virtual void SetFrex(bool) = 0;
    virtual void SetMarker1X(int32_t) = 0;
    virtual void SetMarker2X(int32_t) = 0;
    virtual void SetForm1Top(int32_t) = 0;
    virtual void SetForm1Left(int32_t) = 0;
    virtual void SetForm1Width(int32_t) = 0;
    virtual void SetForm2Top(int32_t) = 0;
    virtual void SetForm2Left(int32_t) = 0;
    // Lines 13 to 15 missing or not integers: the display window goes to the right of
    // the control panel.
    virtual void PlaceForm2BesideForm1() = 0;
};

// Applies the lines of a parameter file. Lines 1 to 12 must convert (a missing line
// reads as empty text): the first that does not throws EConvertError with its text, and
// its number (1-based) is left in `failedLine` when given. Lines 13 to 15 are applied as
// far as they convert; when one does not, the rest is skipped and PlaceForm2BesideForm1
// runs.
void ApplyParamLines(const std::vector<std::string>& lines, char decimalSep, ParamSink& sink,
                     int* failedLine = nullptr);

// The values of a parameter file's lines, as ApplyParamLines takes them (lines 13 to 15 as
// far as they convert, the rest keeping StoredParams' defaults). Throws EConvertError as it
// does.
StoredParams ParamsFromLines(const std::vector<std::string>& lines, char decimalSep,
                             int* failedLine = nullptr);

// What a missing file stands for, applied in file order: the defaults of StoredParams, the
// markers at 20 % and 80 % of (graph1Width - 1) rounded, the control panel at the top-left
// corner and the display window beside it (PlaceForm2BesideForm1).
void ApplyDefaultParams(int32_t graph1Width, ParamSink& sink);

// Lines 11 to 15 of `lines` (a file's lines as read; none for a missing file), each as it
// was read. A line the file lacks is what the loader put in its place: 0 for the panel's
// top and left (no file), `layoutWidth` for its width, and the display window beside the
// panel (the panel's top; its left plus its width, within int; a width below one pixel or
// none counts as the layout's).
WindowLines WindowLinesAsRead(const std::vector<std::string>& lines, int32_t layoutWidth);

// The file's bytes: fifteen lines, each ended by CR LF.
std::string FormatParamFile(const StoredParams& p, char decimalSep);

} // namespace myrl
