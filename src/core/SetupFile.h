// Set-ups: everything a measurement is taken and judged with, kept as one named file to be
// recalled in one step: the plan, FREX, sweep time, averaging, mode, view, reference
// position and level, dB per division, the limit lines and the calibration file.
//
// The set-up file, version 1 (UTF-8 text, LF or CR LF line ends), written by the program and
// by hand alike:
//
//   MYRL setup 1
//   plan center_span 10700000 100000   or: plan start_stop F1 F2 / plan zero_span F
//   frex off                           on|off
//   sweep_time 0.5s                    an item of the SWEEP TIME list: <0.5, 0.5s ... 20s
//   averaging 4                        1 .. 64
//   mode NORM                          THRU|NORM|CAL
//   view level                         level|swr
//   ref_position 1                     the REF. grid line, 0 .. 9
//   ref_level_db 0                     above -100, below 100
//   db_per_div 10                      1|2|5|10
//   calibration /home/me/bp.myrlcal    a calibration file, or "none"
//   limits on                          on|off: the limit lines drawn and judged
//   limits_view level                  level|swr: what the segments bound
//   upper,10640000,1,10760000,1        the segments, as in a limits file
//
// Every key once, in any order; segment lines anywhere after the first line. Frequencies in
// whole hertz (or with k or M: 10.7M), numbers with a full stop whatever the locale. A
// calibration path that is not absolute is taken from the set-up file's folder. '#' starts
// a comment that runs to the end of the line, except in the calibration line (a path may
// hold one); blank lines are skipped. A missing or unknown key, a key given twice or a
// value out of its range refuses the whole file, naming the line.
#pragma once

#include "LimitLines.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace myrl {

constexpr const char* kSetupFileMagic = "MYRL setup";
constexpr int kSetupFileVersion = 1;
constexpr const char* kSetupFileSuffix = ".myrlsetup";

// A file that is not a set-up file this program can read; what() is an English sentence
// naming the line and what is wrong with it.
class ESetupFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Setup {
    // The plan as the frequency entry takes it: the F_DEF item (0 START/STOP, 1 CENTER/SPAN,
    // 2 ZERO SPAN) and the two fields in whole hertz ("0" the second in zero span).
    int FDefIndex = 1;
    std::string Freq1 = "10700000";
    std::string Freq2 = "100000";
    bool Frex = false;
    int SweepTimeIdx = 1;      // item of the sweep-time list, 0 .. 16
    int AvrNum = 1;            // 1 .. 64
    std::string Mode = "THRU"; // an item of MODE: "THRU", "NORM", "CAL"
    bool Swr = false;          // the SWR view
    int RefPos = 1;            // item of the REF. position list, 0 .. 9
    double RefLevel = 0;       // dB
    int DbPerDiv = 10;         // one of 1, 2, 5, 10
    std::string Calibration;   // the calibration file's path; empty: none
    bool LimitsOn = false;
    LimitSet Limits;

    bool operator==(const Setup&) const = default;
};

// The text of a set-up file. Throws ESetupFileError for a value that cannot be written (a
// number not finite, a calibration path with a line end or named "none").
std::string FormatSetupFile(const Setup& s);
// Reads a set-up file's text; a relative calibration path is joined to `folder` when that
// is not empty. Throws ESetupFileError naming the line.
Setup ParseSetupFile(std::string_view text, const std::string& folder = {});
// Reads the regular file at `path` (at most 1 MiB): ESetupFileError for its content,
// EInOutError when it cannot be read.
Setup ReadSetupFile(const std::string& path);
// Writes the file whole (an old one is replaced only once the new one is complete).
void WriteSetupFile(const std::string& path, const Setup& s);

} // namespace myrl
