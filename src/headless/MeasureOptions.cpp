#include "MeasureOptions.h"

#include "Convert.h"
#include "FreqEntry.h"
#include "FreqPlan.h"
#include "MeasState.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <set>

namespace myrl {

namespace {

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

bool wholeNumber(const std::string& text, long long lo, long long hi, long long& v) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    return !text.empty() && r.ec == std::errc() && r.ptr == end && v >= lo && v <= hi;
}

bool realNumber(const std::string& text, double& v) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    return !text.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

// A frequency in the entry's syntax, as the entry writes it back: whole hertz that the
// fields can hold (a 32-bit count).
std::optional<std::string> frequency(const std::string& text) {
    try {
        std::string hz = NormalisedFrequency(text, '.');
        if (TryStrToInt(hz) && hz.front() != '-') {
            return hz;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace

MeasureOptions ParseMeasureOptions(const std::vector<std::string>& args) {
    MeasureOptions o;
    std::set<std::string> seen;
    std::optional<std::string> start, stop, centre, span, zero;
    auto fail = [&o](std::string line) {
        if (o.Error.empty()) {
            o.Error = std::move(line);
        }
    };
    for (size_t i = 0; i < args.size() && o.Error.empty(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (name.rfind("--", 0) == 0) {
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        } else if (name != "-h") {
            fail("unexpected argument '" + name + "'; see myrl measure --help.");
            break;
        }
        static const std::set<std::string> flags = {"-h",        "--help", "--frex",
                                                    "--no-frex", "--swr",  "--json"};
        static const std::set<std::string> valued = {
            "--port",      "--workdir",    "--start",   "--stop", "--center", "--span",
            "--zero-span", "--sweep-time", "--average", "--mode", "--cal",    "--sweeps",
            "--out",       "--timeout",    "--limits",  "--setup"};
        if (!flags.count(name) && !valued.count(name)) {
            fail("unknown option '" + name + "'; see myrl measure --help.");
            break;
        }
        if (!seen.insert(name == "-h" ? "--help" : name).second) {
            fail("option '" + name + "' given more than once.");
            break;
        }
        std::string value;
        if (valued.count(name)) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                fail("option '" + name + "' needs a value; see myrl measure --help.");
                break;
            }
        } else if (inlineValue) {
            fail("option '" + name + "' takes no value.");
            break;
        }

        long long n = 0;
        if (name == "-h" || name == "--help") {
            o.Help = true;
        } else if (name == "--frex" || name == "--no-frex") {
            if (o.Frex) {
                fail("--frex and --no-frex exclude each other.");
            }
            o.Frex = name == "--frex";
        } else if (name == "--swr") {
            o.Swr = true;
        } else if (name == "--json") {
            o.Json = true;
        } else if (name == "--port" || name == "--workdir" || name == "--cal" || name == "--out" ||
                   name == "--limits" || name == "--setup") {
            if (value.empty()) {
                fail("option '" + name + "' needs a value; see myrl measure --help.");
            }
            (name == "--port"      ? o.Port
             : name == "--workdir" ? o.Workdir
             : name == "--cal"     ? o.CalFile
             : name == "--limits"  ? o.LimitsFile
             : name == "--setup"   ? o.SetupFile
                                   : o.Out) = value;
        } else if (name == "--start" || name == "--stop" || name == "--center" ||
                   name == "--span" || name == "--zero-span") {
            const auto hz = frequency(value);
            if (!hz) {
                fail(name + ": '" + value +
                     "' is not a frequency (whole hertz, or with k or M: 500k, 10.7M) from 0 "
                     "to 2147483647 Hz.");
                break;
            }
            (name == "--start"    ? start
             : name == "--stop"   ? stop
             : name == "--center" ? centre
             : name == "--span"   ? span
                                  : zero) = *hz;
        } else if (name == "--sweep-time") {
            const auto item = SweepTimeItemFromText(value);
            if (!item) {
                fail("--sweep-time: '" + value +
                     "' is not an item of the SWEEP TIME list (<0.5, 0.5s, 1.0s ... 6.0s, 8.0s, "
                     "10s, 15s, 20s).");
                break;
            }
            o.SweepTimeItem = *item;
        } else if (name == "--average") {
            if (!wholeNumber(value, 1, kRingDepth, n)) {
                fail("--average: '" + value + "' is not a whole number from 1 to 64.");
                break;
            }
            o.Average = static_cast<int>(n);
        } else if (name == "--sweeps") {
            if (!wholeNumber(value, 0, 1000000, n)) {
                fail("--sweeps: '" + value + "' is not a whole number from 0 to 1000000.");
                break;
            }
            o.Sweeps = static_cast<int>(n);
        } else if (name == "--mode") {
            const std::string m = lower(value);
            if (m != "thru" && m != "norm") {
                fail("--mode: '" + value + "' is neither thru nor norm.");
                break;
            }
            o.Mode = m == "norm" ? MeasMode::Norm : MeasMode::Thru;
        } else if (name == "--timeout") {
            double s = 0;
            if (!realNumber(value, s) || s <= 0 || s > 1e6) {
                fail("--timeout: '" + value + "' is not a number of seconds above 0.");
                break;
            }
            o.TimeoutSeconds = s;
        }
    }
    if (!o.Error.empty() || o.Help) {
        return o;
    }
    o.Given = seen;

    // The plan: one definition, complete.
    const int definitions = (start || stop ? 1 : 0) + (centre || span ? 1 : 0) + (zero ? 1 : 0);
    if (definitions > 1) {
        fail("give one plan: --start and --stop, --center and --span, or --zero-span.");
    } else if ((start || stop) && !(start && stop)) {
        fail("--start and --stop go together.");
    } else if ((centre || span) && !(centre && span)) {
        fail("--center and --span go together.");
    } else if (start) {
        long long a = 0, b = 0;
        wholeNumber(*start, 0, INT32_MAX, a);
        wholeNumber(*stop, 0, INT32_MAX, b);
        if (a >= b) {
            fail("--start must lie below --stop (for one frequency use --zero-span).");
        }
        o.PlanKind = MeasureOptions::Plan::StartStop;
        o.Freq1 = *start;
        o.Freq2 = *stop;
    } else if (centre) {
        o.PlanKind = MeasureOptions::Plan::CentreSpan;
        o.Freq1 = *centre;
        o.Freq2 = *span;
    } else if (zero) {
        o.PlanKind = MeasureOptions::Plan::ZeroSpan;
        o.Freq1 = *zero;
        o.Freq2.assign(1, '0'); // not = "0": GCC 12 at -O3 warns falsely (-Wrestrict)
    }
    if (o.Mode == MeasMode::Norm && o.CalFile.empty() && o.SetupFile.empty()) {
        fail("--mode norm needs --cal FILE (a calibration file saved in the tools window).");
    }
    if (!o.CalFile.empty() && !seen.count("--mode")) {
        o.Mode = MeasMode::Norm;
    }
    if (o.Mode == MeasMode::Thru && !o.CalFile.empty()) {
        fail("--cal is for --mode norm.");
    }
    if (!o.Out.empty() && o.Out != "-") {
        const auto dot = o.Out.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : lower(o.Out.substr(dot));
        if (ext != ".csv" && ext != ".s1p") {
            fail("--out: '" + o.Out +
                 "' ends neither in .csv nor in .s1p (or give - for the CSV "
                 "on standard output).");
        } else if (ext == ".s1p" && o.Swr) {
            fail("--out: a Touchstone file holds levels in dB; leave out --swr.");
        }
    }
    if (o.Out == "-" && o.Json) {
        fail("--out - and --json both write to standard output: give --out a file.");
    }
    return o;
}

std::string MeasureHelp() {
    return "Usage: myrl measure [OPTION]...\n"
           "Measures without windows and without a display: opens the port, sweeps until the\n"
           "average has settled, writes the trace and ends. For scripts and test stands.\n"
           "\n"
           "  --port DEVICE        the unit's device (default: the port of line 1 of\n"
           "                       myrl_prm.txt in the working folder, only read)\n"
           "  --workdir DIR        the folder of myrl_prm.txt and the COMn links\n"
           "  --start F --stop F   the plan by its edges,\n"
           "  --center F --span F  by centre and span, or\n"
           "  --zero-span F        one frequency; F in hertz, or with k or M (500k, 10.7M);\n"
           "                       default: the plan of myrl_prm.txt\n"
           "  --frex, --no-frex    the FREX extension on or off (default: myrl_prm.txt's)\n"
           "  --sweep-time ITEM    an item of the SWEEP TIME list: <0.5, 0.5s, 1.0s ... 20s\n"
           "                       (default 0.5s)\n"
           "  --average N          sweeps in the running average, 1 to 64 (default 1)\n"
           "  --mode thru|norm     THRU (default), or NORM against --cal\n"
           "  --cal FILE           a calibration file saved in the tools window (.myrlcal);\n"
           "                       implies --mode norm\n"
           "  --swr                the SWR view (the JSON summary gives the lowest SWR)\n"
           "  --sweeps N           complete sweeps to take after the average has settled\n"
           "                       (default 0: the first settled sweep is the result)\n"
           "  --out FILE           write the result: FILE.csv (the columns of Save data as),\n"
           "                       FILE.s1p (Touchstone, level in dB), or - for the CSV on\n"
           "                       standard output; written whole or not at all\n"
           "  --json               one summary object on standard output\n"
           "  --timeout S          give up after S seconds (default: 30 s plus the sweeps'\n"
           "                       own time)\n"
           "  --limits FILE        judge the result against the limit lines of FILE (a limits\n"
           "                       file of the tools window, .myrllim): the verdict, the worst\n"
           "                       margin and the points outside in a line on standard error\n"
           "                       and in the summary; exit status 1 on FAIL\n"
           "  --setup FILE         a set-up saved in the tools window (.myrlsetup): its plan,\n"
           "                       FREX, sweep time, averaging, mode, view, reference level,\n"
           "                       calibration file and limit lines, for what the other\n"
           "                       options do not give\n"
           "  -h, --help           show this text\n"
           "\n"
           "A result is never a sweep that began before the settings took effect, nor a\n"
           "half-received one. Progress goes to standard error when it is a terminal.\n"
           "myrl_prm.txt, the data export and the user's settings are never written.\n"
           "\n"
           "Exit status: 0 done (and PASS with limit lines); 1 FAIL: the result lies outside its\n"
           "limit lines, or none of them covers it (the file is written all the same); 2 usage;\n"
           "3 port or unit (cannot open, busy, no complete reply in time, line lost and not\n"
           "back); 4 file (calibration, limits or set-up file unreadable or foreign, output not\n"
           "writable, parameter file unreadable); 130 interrupted (SIGINT, SIGTERM: nothing\n"
           "written).\n";
}

} // namespace myrl
