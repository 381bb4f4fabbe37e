#include "SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif
#ifndef MYRL_GIT_REVISION
#define MYRL_GIT_REVISION "unknown"
#endif

namespace myrl::sim {

namespace {

bool ToDouble(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

bool ToInt(const std::string& text, long min, long max, long& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

// C-style escapes \r \n \t \\ in a trailer text.
bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0x11 || text[i] == 0x13) {
            return false; // flow-control characters would stop the program's line
        }
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

struct Option {
    bool TakesValue;
    // Applies the value; returns what the value must be when it does not fit, else "".
    std::function<std::string(const std::string&, SimOptions&)> Apply;
};

Option Real(double min, double max, std::function<double&(SimOptions&)> field) {
    return {true, [=](const std::string& v, SimOptions& o) -> std::string {
                double d;
                if (!ToDouble(v, d) || d < min || d > max) {
                    return "a number from " + std::to_string(min) + " to " + std::to_string(max);
                }
                field(o) = d;
                return "";
            }};
}

Option Integer(long min, long max, std::function<void(SimOptions&, long)> set) {
    return {true, [=](const std::string& v, SimOptions& o) -> std::string {
                long n;
                if (!ToInt(v, min, max, n)) {
                    return "an integer from " + std::to_string(min) + " to " + std::to_string(max);
                }
                set(o, n);
                return "";
            }};
}

Option Flag(std::function<void(SimOptions&)> set) {
    return {false, [=](const std::string&, SimOptions& o) -> std::string {
                set(o);
                return "";
            }};
}

// An option whose value is text that `apply` checks and applies.
Option Text(std::string (*apply)(const std::string&, SimOptions&)) {
    return {true, apply};
}

std::string ApplyDir(const std::string& v, SimOptions& o) {
    if (v.empty()) {
        return "a directory";
    }
    o.Config.Dir = v;
    return "";
}

std::string ApplyLog(const std::string& v, SimOptions& o) {
    if (v.empty()) {
        return "a file name";
    }
    o.Config.LogPath = v;
    return "";
}

std::string ApplyDevice(const std::string& v, SimOptions& o) {
    auto kind = DeviceKindFromName(v);
    if (!kind) {
        return "one of thru, bandpass, lowpass, open, short, cable";
    }
    o.Config.Unit.Device.Kind = *kind;
    return "";
}

std::string ApplyTrailer(const std::string& v, SimOptions& o) {
    std::string t;
    if (!Unescape(v, t)) {
        return "text with the escapes \\r \\n \\t \\\\ only";
    }
    o.Config.Unit.Faults.Trailer = t;
    return "";
}

std::string ApplyFirstDelay(const std::string& v, SimOptions& o) {
    double ms;
    if (!ToDouble(v, ms) || ms < 0 || ms > 1e7) {
        return "milliseconds from 0 to 10000000";
    }
    o.Config.Unit.Faults.FirstDelaySeconds = ms / 1000.0;
    return "";
}

const std::map<std::string, Option>& Options() {
    constexpr double kBig = 1e12;
    static const std::map<std::string, Option> options = {
        {"--help", Flag([](SimOptions& o) { o.Help = true; })},
        {"--version", Flag([](SimOptions& o) { o.Version = true; })},
        {"--dir", Text(ApplyDir)},
        {"--port", Integer(1, 255, [](SimOptions& o, long n) { o.Config.PortNo = int(n); })},
        {"--log", Text(ApplyLog)},
        {"--ignore-stdin", Flag([](SimOptions& o) { o.IgnoreStdin = true; })},
        {"--device", Text(ApplyDevice)},
        {"--centre",
         Real(1, kBig, [](SimOptions& o) -> double& { return o.Config.Unit.Device.CentreHz; })},
        {"--bandwidth",
         Real(1, kBig, [](SimOptions& o) -> double& { return o.Config.Unit.Device.BandwidthHz; })},
        {"--cutoff",
         Real(1, kBig, [](SimOptions& o) -> double& { return o.Config.Unit.Device.CutoffHz; })},
        {"--order",
         Integer(1, 20, [](SimOptions& o, long n) { o.Config.Unit.Device.Order = int(n); })},
        {"--length",
         Real(0, 1e6, [](SimOptions& o) -> double& { return o.Config.Unit.Device.CableLengthM; })},
        {"--velocity",
         Real(0.01, 1,
              [](SimOptions& o) -> double& { return o.Config.Unit.Device.VelocityFactor; })},
        {"--load",
         Real(0, 1e9, [](SimOptions& o) -> double& { return o.Config.Unit.Device.LoadOhm; })},
        {"--directivity",
         Real(0, 200, [](SimOptions& o) -> double& { return o.Config.Unit.Device.DirectivityDb; })},
        {"--ripple",
         Real(0, 60, [](SimOptions& o) -> double& { return o.Config.Unit.Device.RippleDb; })},
        {"--ripple-period",
         Real(1, kBig,
              [](SimOptions& o) -> double& { return o.Config.Unit.Device.RipplePeriodHz; })},
        {"--clock",
         Real(1, kBig, [](SimOptions& o) -> double& { return o.Config.Unit.Generator.ClockHz; })},
        {"--frex", Flag([](SimOptions& o) { o.Config.Unit.Generator.Frex = true; })},
        {"--no-frex", Flag([](SimOptions& o) { o.Config.Unit.Generator.Frex = false; })},
        {"--frex-ref",
         Real(1, kBig, [](SimOptions& o) -> double& { return o.Config.Unit.Generator.FrexRefHz; })},
        {"--fast", Flag([](SimOptions& o) { o.Config.Unit.Pacing.Fast = true; })},
        {"--paced", Flag([](SimOptions& o) { o.Config.Unit.Pacing.Fast = false; })},
        {"--noise",
         Real(0, 100, [](SimOptions& o) -> double& { return o.Config.Unit.Faults.NoiseDb; })},
        {"--seed",
         Integer(0, 2147483647,
                 [](SimOptions& o, long n) { o.Config.Unit.Seed = static_cast<uint64_t>(n); })},
        {"--silence",
         Real(0, 1, [](SimOptions& o) -> double& { return o.Config.Unit.Faults.Silence; })},
        {"--xoff-noise",
         Real(0, 1, [](SimOptions& o) -> double& { return o.Config.Unit.Faults.XoffNoise; })},
        {"--stall",
         Integer(-1, 100000,
                 [](SimOptions& o, long n) { o.Config.Unit.Faults.StallAfter = int(n); })},
        {"--stall-prob",
         Real(0, 1, [](SimOptions& o) -> double& { return o.Config.Unit.Faults.StallProb; })},
        {"--corrupt",
         Real(0, 1, [](SimOptions& o) -> double& { return o.Config.Unit.Faults.Corrupt; })},
        {"--trailer", Text(ApplyTrailer)},
        {"--hangup-after",
         Integer(0, 1000000000,
                 [](SimOptions& o, long n) { o.Config.Unit.Faults.HangupAfter = int(n); })},
        {"--hangup-chars",
         Integer(-1, 100000,
                 [](SimOptions& o, long n) { o.Config.Unit.Faults.HangupChars = int(n); })},
        {"--return-after",
         Real(-1, 1e6,
              [](SimOptions& o) -> double& { return o.Config.Unit.Faults.ReturnAfterSeconds; })},
        {"--first-delay", Text(ApplyFirstDelay)},
    };
    return options;
}

} // namespace

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options) {
    const auto& table = Options();
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        auto it = table.find(name);
        if (it == table.end()) {
            return "unknown option '" + args[i] + "' (see --help)";
        }
        const Option& opt = it->second;
        if (opt.TakesValue && !inlineValue) {
            if (i + 1 == args.size()) {
                return "option " + name + " needs a value";
            }
            value = args[++i];
        } else if (!opt.TakesValue && inlineValue) {
            return "option " + name + " takes no value";
        }
        std::string need = opt.Apply(value, options);
        if (!need.empty()) {
            return "bad value '" + value + "' for " + name + ": expected " + need;
        }
    }
    return "";
}

std::string SimUsage() {
    return R"(Usage: myrl-sim [OPTION]...
Simulated analyser unit on a pseudo-terminal. Publishes the terminal as the symbolic
link DIR/COM<N> (never replacing anything that is not a symbolic link), prints
"ready <link> <device>" once it exists, answers each 18-digit command line with 512
hexadecimal characters, and removes the link on SIGINT, SIGTERM or end of standard
input. While running, each line on standard input is a set of the options below
(device, generator, pacing and fault options) that takes effect with the next command.
Standard input that is /dev/null (a start in the background) is not watched.

Line:
  --dir DIR            directory of the link (default .)
  --port N             link name COM<N>, 1..255 (default 1)
  --log FILE           every line received, each publication of the link ("ready")
                       and hang-up, with a monotonic time stamp in ms, and a summary at
                       exit
  --ignore-stdin       neither read standard input nor stop at its end
Device under test:
  --device NAME        thru, bandpass, lowpass, open, short or cable (default thru)
  --centre HZ          bandpass centre (default 10700000)
  --bandwidth HZ       bandpass -3 dB bandwidth (default 100000)
  --cutoff HZ          lowpass -3 dB frequency (default 10000000)
  --order N            poles of bandpass and lowpass, 1..20 (default 4)
  --length M           cable length in metres (default 10)
  --velocity VF        cable velocity factor (default 0.66)
  --load OHM           cable termination, on a 50 ohm line (default 75)
  --directivity DB     bridge directivity for open, short and cable (default 30)
  --ripple DB          ripple added to any device, peak to peak, 0 dB at its tops
                       (default 0: none)
  --ripple-period HZ   frequency period of the ripple (default 1000000)
Generator:
  --clock HZ           generator clock (default 67108864); frequency = word * clock / 2^26,
                       usable up to 0.4 * clock, beyond it the detector floor
  --frex / --no-frex   FREX extension attached: 32 * generator - ref * 256 / 11
  --frex-ref HZ        FREX reference (default 12800000)
Timing:
  --fast               no pacing: replies leave at once (for tests)
  --paced              real pacing (default): 19200 bit/s, the command's own characters
                       too (the sweep starts once they would have crossed the line), and
                       point i of the sweep not before i/256 of the sweep time
                       (code + 2) / 9.5 seconds
  --first-delay MS     extra delay before the first reply character (default 0)
Detector noise:
  --noise DB           Gaussian noise, standard deviation in dB (default 0)
  --seed N             seed of noise and fault choices (default 1)
Faults:
  --silence P          probability of no reply to a command (default 0)
  --xoff-noise P       probability that noise replaces a reply by a lone XOFF (0x13),
                       which stops the program's output until it resumes it (default 0)
  --stall K            replies stop after K characters (-1: off, default)
  --stall-prob P       probability that a reply stalls when --stall is set (default 1)
  --corrupt P          per-character probability of a non-hexadecimal character
  --trailer TEXT       characters after the 512, escapes \r \n \t \\ (e.g. '\r\n')
  --hangup-after N     close the line with the reply to the N-th command of a
                       connection, or when a new command cuts that reply (0: never,
                       default)
  --hangup-chars K     ... after K characters of that reply (default: all of it)
  --return-after S     publish a new pseudo-terminal under the same link S seconds after
                       a hang-up (default: stay away)
  --help               this text
  --version            the version and the revision it was built from
Options take their value as the next argument or after '='. Bad options: one line on
standard error, exit code 2.
)";
}

std::string SimVersionText() {
    return std::string("myrl-sim " MYRL_VERSION " (revision ") + MYRL_GIT_REVISION + ")\n";
}

} // namespace myrl::sim
