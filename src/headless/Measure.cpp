#include "Measure.h"

#include "CalFile.h"
#include "CommX.h"
#include "ErrorDetail.h"
#include "Errors.h"
#include "FilterReadout.h"
#include "FreqPlan.h"
#include "HeadlessStart.h"
#include "Instrument.h"
#include "ParamFile.h"
#include "TextFile.h"
#include "TraceFile.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace myrl {

namespace {

using Clock = std::chrono::steady_clock;

void say(const std::string& line) {
    std::fprintf(stderr, "myrl measure: %s\n", line.c_str());
}

// The shortest text that reads back to the same double; whole numbers in plain digits.
std::string num(double v) {
    if (!std::isfinite(v)) {
        return "null";
    }
    if (v == std::trunc(v) && std::fabs(v) < 1e15) {
        return std::to_string(static_cast<long long>(v));
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string jsonText(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string optNum(const std::optional<double>& v) {
    return v ? num(*v) : "null";
}

// Sleeps `ms`, or less when a signal arrives.
void pause(int ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&t, nullptr);
}

// The sweeps a settled result takes after a restart of the average: an average over n >= 2
// settles with the (n + 1)-th sweep, as the first is shown alone and then overwritten.
int sweepsToSettle(int average) {
    return average >= 2 ? average + 1 : 1;
}

} // namespace

int RunMeasure(const MeasureOptions& o) {
    const auto t0 = Clock::now();
    StopSignals signals;

    if (!o.Workdir.empty() && ::chdir(o.Workdir.c_str()) != 0) {
        say("cannot work in " + o.Workdir + ": " + std::strerror(errno));
        return kExitUsage;
    }

    // The folder's parameter file, only read: the port, the instrument's constants, FREX and
    // the plan, as the windowed program would start with them.
    StoredParams params;
    try {
        params = ReadFolderParams();
    } catch (const std::exception& e) {
        say(e.what());
        return kExitFile;
    }
    switch (o.PlanKind) {
    case MeasureOptions::Plan::StartStop:
        params.FDefIndex = 0;
        break;
    case MeasureOptions::Plan::CentreSpan:
        params.FDefIndex = 1;
        break;
    case MeasureOptions::Plan::ZeroSpan:
        params.FDefIndex = 2;
        break;
    case MeasureOptions::Plan::FromFile:
        break;
    }
    if (o.PlanKind != MeasureOptions::Plan::FromFile) {
        params.Edit1 = o.Freq1;
        params.Edit2 = o.Freq2;
    }
    if (o.Frex) {
        params.Frex = *o.Frex;
    }

    TCommX port;
    Instrument core;
    AttachUnitPort(core, port, params.PortNo, o.Port);
    const std::string device = port.DevicePath();
    try {
        StartInstrument(core, params);
    } catch (const std::exception& e) {
        say(std::string("the plan of ") + kParamFileName + " does not convert (" + ErrorReason(e) +
            ")");
        return kExitFile;
    }
    SweepSettings settings = core.Settings();
    settings.SweepTimeIdx = o.SweepTimeItem;
    settings.AvrNum = o.Average;
    settings.Mode = o.Mode;
    settings.Swr = o.Swr;
    core.Apply(settings);

    if (!o.CalFile.empty()) {
        try {
            core.LoadCalibration(o.CalFile);
        } catch (const std::exception& e) {
            const std::string why = ErrorReason(e);
            say(why.find(o.CalFile) == std::string::npos ? o.CalFile + ": " + why : why);
            return kExitFile;
        }
    }
    const bool touchstone = o.Out.size() > 4 && (o.Out.compare(o.Out.size() - 4, 4, ".s1p") == 0 ||
                                                 o.Out.compare(o.Out.size() - 4, 4, ".S1P") == 0);
    if (touchstone && !TouchstoneAxisRises(core.State())) {
        say("--out: a Touchstone file needs a span (this plan is zero span)");
        return kExitUsage;
    }
    if (!o.Out.empty() && o.Out != "-") {
        // Refused before the measurement rather than after it.
        std::filesystem::path folder = std::filesystem::path(o.Out).parent_path();
        if (folder.empty()) {
            folder = ".";
        }
        if (::access(folder.c_str(), W_OK) != 0) {
            say(o.Out + ": cannot be written: " + folder.string() + ": " + std::strerror(errno));
            return kExitFile;
        }
    }

    try {
        core.OpenPort();
    } catch (const std::exception& e) {
        say(ErrorReason(e));
        return kExitUnit;
    }

    const int wanted = sweepsToSettle(o.Average) + o.Sweeps;
    const double timeout =
        o.TimeoutSeconds.value_or(30 + wanted * (SweepSeconds(o.SweepTimeItem) + 1.0));
    // The steps end in time for the port's close (its own pauses take 0.3 s) to end the run
    // within the time-out.
    const auto deadline =
        t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout)) -
        std::chrono::milliseconds(350);
    const bool progress = ::isatty(STDERR_FILENO) != 0;
    int completed = 0;
    int settled = 0;
    auto events = core.Subscribe([&](InstrumentEvent e) {
        if (e != InstrumentEvent::SweepCompleted) {
            return;
        }
        ++completed;
        const auto last = core.LastSweep();
        if (last->Settled) {
            ++settled;
        }
        if (progress) {
            std::fprintf(stderr, "\rsweep %d of %d, averaging %d/%d ", completed,
                         std::max(wanted, completed), last->Averaging.Count, last->Averaging.Num);
        }
    });
    auto endProgress = [&] {
        if (progress && completed > 0) {
            std::fputs("\n", stderr);
        }
    };

    NoStepView view;
    while (settled < o.Sweeps + 1) {
        if (signals.Stopped()) {
            core.ClosePort();
            endProgress();
            say("interrupted: the port is closed and nothing was written");
            return kExitInterrupted;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            const LinkState& link = core.Link();
            core.ClosePort();
            endProgress();
            const std::string secs = num(timeout) + " s";
            if (link.Kind() == LinkKind::Lost) {
                say(DeviceWithTarget(device) + ": the line was lost and did not come back within " +
                    secs);
            } else if (completed == 0) {
                say(DeviceWithTarget(device) + ": no complete reply from the unit within " + secs);
            } else {
                say(DeviceWithTarget(device) + ": the average did not settle within " + secs +
                    " (" + std::to_string(completed) + " sweeps completed, " +
                    std::to_string(wanted) + " needed)");
            }
            return kExitUnit;
        }
        // The read of the last step ends with the time allowed.
        port.SetTimeOutReceive(static_cast<int32_t>(std::min<long long>(300, left)));
        try {
            core.Step(view);
        } catch (const std::exception& e) {
            core.ClosePort();
            endProgress();
            say(DeviceWithTarget(device) + ": " + ErrorReason(e));
            return kExitUnit;
        }
        if (settled < o.Sweeps + 1 && !signals.Stopped()) {
            pause(50); // the cycle's rhythm: the next step 50 ms after this one ended
        }
    }
    core.ClosePort();
    endProgress();

    const auto result = core.LastSweep();
    const MeasState s = result->AsState();
    TraceFileInfo info = SweepFileInfo(*result, params.FDefIndex);
    info.Calibration = core.CalibrationSource();

    std::string written;
    if (!o.Out.empty()) {
        const std::string bytes =
            touchstone ? TouchstoneBytes(s, info, TouchstoneParam::S21) : TraceCsvBytes(s, info);
        if (o.Out == "-") {
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            std::fflush(stdout);
        } else {
            try {
                WriteFileReplacing(o.Out, bytes);
            } catch (const std::exception& e) {
                const std::string why = ErrorReason(e);
                say(why.find(o.Out) == std::string::npos ? o.Out + ": " + why : why);
                return kExitFile;
            }
            written = o.Out;
        }
    }

    if (o.Json) {
        // Readouts over the points the files hold (0 .. SweepSteps), of the level they hold.
        const int last = std::min(s.SweepSteps, kArrayLen - 1);
        std::string readout = "null";
        if (const auto r = SweepReadout(*result, 3)) {
            auto edge = [](const Edge& e) { return e.Found ? num(e.Hz) : "null"; };
            readout = "{\"peak_hz\":" + num(r->PeakHz) + ",\"peak_db\":" + num(r->PeakDb) +
                      ",\"minimum_hz\":" + num(r->MinHz) + ",\"minimum_db\":" + num(r->MinDb) +
                      ",\"down_db\":3,\"lower_edge_hz\":" + edge(r->Lower) +
                      ",\"upper_edge_hz\":" + edge(r->Upper) +
                      ",\"bandwidth_hz\":" + optNum(r->BandwidthHz) +
                      ",\"center_hz\":" + optNum(r->CentreHz) + ",\"q\":" + optNum(r->Q) + "}";
        }
        std::string swr = "null";
        if (result->Settings.Swr) {
            int at = 0;
            for (int i = 1; i <= last; ++i) {
                if (s.SwrTrace[static_cast<size_t>(i)] < s.SwrTrace[static_cast<size_t>(at)]) {
                    at = i;
                }
            }
            swr = "{\"lowest\":" + num(s.SwrTrace[static_cast<size_t>(at)]) +
                  ",\"at_hz\":" + num(s.FreqAxis[static_cast<size_t>(at)]) + "}";
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
        std::string j = "{";
        j += "\"program\":" + jsonText(info.Program);
        j += ",\"device\":" + jsonText(DeviceWithTarget(device));
        j += ",\"link\":" + jsonText(core.Link().LinkLine());
        j += ",\"plan\":{\"definition\":" + jsonText(FDefItem(static_cast<int>(info.Plan))) +
             ",\"start_hz\":" + num(s.StartFreq) + ",\"stop_hz\":" + num(s.StopFreq) +
             ",\"center_hz\":" + num((s.StartFreq + s.StopFreq) / 2) +
             ",\"span_hz\":" + num(s.StopFreq - s.StartFreq) +
             ",\"zero_span\":" + (s.ZeroSpan ? "true" : "false") + "}";
        j += std::string(",\"frex\":") + (info.Frex ? "true" : "false");
        j += ",\"sweep_time\":" + jsonText(info.SweepTime);
        j += ",\"mode\":" + jsonText(info.Mode);
        j += std::string(",\"view\":") + (result->Settings.Swr ? "\"swr\"" : "\"level\"");
        j += ",\"calibration\":" + (o.CalFile.empty() ? std::string("null") : jsonText(o.CalFile));
        j += ",\"averaging\":{\"count\":" + std::to_string(result->Settings.AvrNum) +
             ",\"reached\":" + std::to_string(result->Averaging.Count) + "}";
        j += ",\"sweeps\":{\"completed\":" + std::to_string(completed) +
             ",\"settled\":" + std::to_string(settled) + "}";
        j += ",\"readout\":" + readout;
        j += ",\"swr\":" + swr;
        j += ",\"file\":" + (written.empty() ? std::string("null") : jsonText(written));
        j += ",\"elapsed_s\":" + num(std::round(elapsed * 1000) / 1000);
        j += "}\n";
        std::fputs(j.c_str(), stdout);
        std::fflush(stdout);
    }
    return kExitDone;
}

int MeasureMain(const std::vector<std::string>& args) {
    const MeasureOptions o = ParseMeasureOptions(args);
    if (!o.Error.empty()) {
        say(o.Error);
        return kExitUsage;
    }
    if (o.Help) {
        std::fputs(MeasureHelp().c_str(), stdout);
        return kExitDone;
    }
    return RunMeasure(o);
}

} // namespace myrl
