// Remote control as lab scripts use it: Python with PyVISA (Debian's python3-pyvisa and
// python3-pyvisa-py, the pure-Python backend) as the client, `myrl serve` as a process of its
// own without a display; and what the tests of both programs ask of them alike: the scripts,
// the table of bad commands with their standard numbers.
#pragma once

#include "MeasureRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace myrl {

// Opens the instrument the way a lab script does; a missing PyVISA ends with status 77.
inline const char* const kPyVisaPrelude = R"PY(
import json, socket, sys, time
try:
    import pyvisa
except ImportError:
    sys.exit(77)

def open_instrument(port, timeout_ms=30000):
    rm = pyvisa.ResourceManager('@py')
    return rm.open_resource('TCPIP::127.0.0.1::%d::SOCKET' % port, read_termination='\n',
                            write_termination='\n', timeout=timeout_ms)

def error_code(inst):
    return int(inst.query('SYST:ERR?').split(',')[0])

def say(key, value):
    print('%s\t%s' % (key, value))
)PY";

// Sets a plan, takes one acquisition and reads the trace: prints one "key<TAB>value" line
// of each answer. argv: port [, a file for MMEM:STOR:TRAC].
inline const char* const kAcquireScript = R"PY(
inst = open_instrument(int(sys.argv[1]))
inst.write('*RST;*CLS')
inst.write('SENS:FREQ:CENT 10.7MHZ;SPAN 500 KHZ')
inst.write('SENS:AVER:COUN 4')
t0 = time.monotonic()
opc = inst.query('INIT;*OPC?')
seconds = time.monotonic() - t0
say('opc', opc)
say('seconds', seconds)
say('reached', inst.query('SENS:AVER:COUN:CURR?'))
say('cont', inst.query('INIT:CONT?'))
say('plan', inst.query('FREQ:STAR?;STOP?;CENT?;SPAN?'))
say('data', inst.query('TRAC:DATA?'))
say('points', inst.query('TRAC:POIN?'))
say('edges', inst.query('CALC:BWID:LOW?;UPP?'))
say('errors', '%d %d' % (error_code(inst), error_code(inst)))
if len(sys.argv) > 2:
    inst.write('MMEM:STOR:TRAC "%s"' % sys.argv[2])
    say('saved', '%s %d' % (inst.query('*OPC?'), error_code(inst)))
)PY";

// Sends each bad command of a file (one per line) and reads SYST:ERR? after it, then
// *IDN?: prints one line "<code> <idn>" per command. argv: port, file.
inline const char* const kBadCommandsScript = R"PY(
inst = open_instrument(int(sys.argv[1]), 5000)
inst.write('*CLS')
with open(sys.argv[2], 'rb') as f:
    lines = f.read().split(b'\n')[:-1]
for line in lines:
    inst.write_raw(line + b'\n')
    code = error_code(inst)
    left = error_code(inst)
    print(code, left, inst.query('*IDN?').split(',')[0])
)PY";

// A second client while the first one is connected: prints the line it got, whether it was
// closed then, the line a plain socket on ::1 got, and what the first one answers before and
// after. argv: port.
inline const char* const kSecondClientScript = R"PY(
first = open_instrument(int(sys.argv[1]), 5000)
before = first.query('FREQ:CENT 1MHZ;:FREQ:CENT?')
second = open_instrument(int(sys.argv[1]), 1000)
line = second.read()
try:
    closed = second.read() == ''
except Exception:
    closed = True
raw = socket.create_connection(('::1', int(sys.argv[1])))
raw_line = raw.makefile('rb').readline().decode().rstrip('\n')
say('before', before)
say('line', line)
say('closed', closed)
say('raw', raw_line)
say('after', first.query('FREQ:CENT?;:SYST:ERR?'))
)PY";

// Bad commands and the standard number each leaves in the queue; the instrument answers
// *IDN? after each as ever.
struct BadCommand {
    std::string Line;
    int Code;
};
inline std::vector<BadCommand> BadCommands() {
    return {
        {"FOO:BAR", -113},
        {"SENS:FREQ:STAR", -109},
        {"SENS:FREQ:STAR 1MHZ,2MHZ", -108},
        {"SENS:FREQ:STAR ON", -148},
        {"SENS:FREQ:STAR 10 PARSEC", -131},
        {"SENS:FREQ:STAR 3GHZ", -222},
        {"SENS:FREQ:STAR 1e999", -123},
        {"SENS:AVER:COUN 65", -222},
        {"SENS:SWE:TIME 7", -222},
        {"CALC:MODE SIDEWAYS", -224},
        {"CALC:MODE 2", -128},
        {"CALC:MARK3:X 1MHZ", -114},
        {"DISP:VIEW 'SWR'", -158},
        {"*RST?", -113},
        {"FREQ::STAR 1", -102},
        {"FREQ:STAR,1", -111},
        {"SENSEFREQUENCY:STAR 1", -112},
        {"MMEM:LOAD:CAL \"no-such.myrlcal\"", -256},
        {"MMEM:STOR:TRAC \"\"", -257},
        {std::string("FREQ:STAR \x01") + "1", -101},
        {"MMEM:STOR:TRAC \"\xC3\x28\"", -101},
        {"FREQ:STAR " + std::string(5000, '1'), -363},
    };
}

// The table as kBadCommandsScript reads it.
inline std::string BadCommandsFile() {
    std::string lines;
    for (const BadCommand& b : BadCommands()) {
        lines += b.Line + "\n";
    }
    return lines;
}

// What kBadCommandsScript printed: for each bad command its number, the queue empty after
// it, and *IDN? answered.
inline void ExpectBadCommandsAnswered(const std::string& out) {
    std::stringstream in(out);
    for (const BadCommand& b : BadCommands()) {
        int code = 0, left = 1;
        std::string idn;
        in >> code >> left >> idn;
        EXPECT_EQ(code, b.Code) << b.Line.substr(0, 50);
        EXPECT_EQ(left, 0) << b.Line.substr(0, 50);
        EXPECT_EQ(idn, "MYRL") << b.Line.substr(0, 50);
    }
}

// Debian's interpreter, which the distribution's PyVISA belongs to.
inline std::string PythonPath() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Runs `script` (after the prelude) with `args` in `dir`; `pump` runs while it has not
// ended (the event loop of a program in this process). Code 77: PyVISA is missing.
inline Outcome RunPython(const std::filesystem::path& dir, const std::string& script,
                         std::vector<std::string> args, const std::function<void()>& pump = {},
                         std::chrono::seconds timeout = std::chrono::seconds(120)) {
    static int serial = 0;
    const std::filesystem::path file = dir / ("client" + std::to_string(++serial) + ".py");
    std::ofstream(file) << kPyVisaPrelude << script;
    const std::filesystem::path out = dir / "py-stdout.txt", err = dir / "py-stderr.txt";
    args.insert(args.begin(), {PythonPath(), file.string()});
    Outcome r;
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e);
    }
    const pid_t pid = SpawnIn(dir, args, env, out, err);
    if (pid < 0) {
        r.Err = "cannot start " + args[0];
        return r;
    }
    int status = 0;
    for (;;) {
        const pid_t w = ::waitpid(pid, &status, WNOHANG);
        if (w == pid) {
            break;
        }
        if (std::chrono::steady_clock::now() - t0 > timeout) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        if (pump) {
            pump();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    return r;
}

// The value a script printed as "key<TAB>value"; "<none>" when it printed none.
inline std::string Field(const std::string& out, const std::string& key) {
    std::stringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "\t", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return "<none>";
}

// The pairs of a TRAC:DATA? answer, or of the frequency and level_db columns of a CSV
// saved with its header, as numbers.
inline std::vector<std::pair<double, double>> TracePairs(const std::string& answer) {
    std::vector<std::pair<double, double>> pairs;
    std::stringstream in(answer);
    std::string f, l;
    while (std::getline(in, f, ',') && std::getline(in, l, ',')) {
        pairs.emplace_back(std::stod(f), std::stod(l));
    }
    return pairs;
}
inline std::vector<std::pair<double, double>> CsvPairs(const std::string& csv) {
    std::vector<std::pair<double, double>> pairs;
    std::stringstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("frequency_hz", 0) == 0) {
            continue;
        }
        std::stringstream fields(line);
        std::string f, l;
        std::getline(fields, f, ',');
        std::getline(fields, l, ',');
        pairs.emplace_back(std::stod(f), std::stod(l));
    }
    return pairs;
}

// `myrl serve` as a process of its own, without DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM, in `dir`; ended by SIGTERM.
class ServeProcess {
public:
    ServeProcess(const std::filesystem::path& dir, std::vector<std::string> args,
                 std::vector<std::string> env = {})
        : err_(dir / "serve-stderr.txt") {
        args.insert(args.begin(), {MyrlProgramPath(), "serve"});
        pid_ = SpawnIn(dir, std::move(args), EnvironmentWithoutDisplay(env), "/dev/null", err_);
    }
    ~ServeProcess() { Stop(); }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    // Waits until it says where it listens (or ends); the TCP port, 0 for none.
    int WaitListening(std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        const std::regex where("remote control on (127\\.0\\.0\\.1:([0-9]+)|/[^\\n]+)");
        while (std::chrono::steady_clock::now() < end && Running()) {
            std::smatch m;
            const std::string err = Err();
            if (std::regex_search(err, m, where)) {
                return m[2].matched ? std::stoi(m[2]) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }
    bool Running() {
        if (pid_ < 0 || code_ >= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return false;
        }
        return true;
    }
    // SIGTERM, then its exit status.
    int Stop() {
        if (Running()) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return code_;
    }
    // Waits for it to end by itself; its status (-1 when it did not within the time).
    int Wait(std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (Running() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return code_;
    }
    std::string Err() const { return Slurp(err_); }

private:
    std::filesystem::path err_;
    pid_t pid_ = -1;
    int code_ = -1;
};

} // namespace myrl
